# The Windows program: the core's seams on the Windows API, the resources, and the executable
# XTM7731UP.exe (the name the simulated PC uses for the program file as well).

enable_language(RC)

# A build tree keeps the compilers it was first configured with; one configured before the
# 32-bit build moved to the "win32" thread model would still link winpthreads.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT CMAKE_CXX_COMPILER MATCHES "-win32$")
  message(FATAL_ERROR "The 32-bit Windows program is built with the compilers of the \"win32\" "
                      "thread model (cmake/toolchains/mingw-i686.cmake), not ${CMAKE_CXX_COMPILER}: "
                      "configure this build tree afresh (cmake --preset mingw-i686 --fresh).")
endif()

# The oldest Windows whose API the headers are to offer: Windows XP. Everything newer that the
# program uses (shutdown block reasons) is looked up at run time.
set(FWU_WINDOWS_DEFINITIONS WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0501 NOMINMAX)

fwu_layer(fwu_platform_win32 platform/win32 LINKS fwu_resources fwu_platform_seams comctl32)
target_compile_definitions(fwu_platform_win32 PUBLIC ${FWU_WINDOWS_DEFINITIONS})

set(FWU_PROGRAM_RESOURCES ${PROJECT_SOURCE_DIR}/src/resources/program.rc)

# fwu_add_program_resources(<target>): the program's resources compiled into the target, with
# the menu and dialogs written for them (cmake/DialogResources.cmake).
function(fwu_add_program_resources target)
  target_sources(${target} PRIVATE ${FWU_PROGRAM_RESOURCES})
  set(inputs ${PROJECT_SOURCE_DIR}/src/resources/program.ico
             ${PROJECT_SOURCE_DIR}/src/resources/program.manifest ${FWU_PROGRAM_DIALOGS})
  set_source_files_properties(${FWU_PROGRAM_RESOURCES} TARGET_DIRECTORY ${target}
                              PROPERTIES OBJECT_DEPENDS "${inputs}")
  target_include_directories(${target} PRIVATE ${FWU_PROGRAM_DIALOGS_DIR})
  add_dependencies(${target} fwu_program_dialogs)
endfunction()

set(FWU_PROGRAM_ENTRY ${PROJECT_SOURCE_DIR}/src/programs/windows/win_main.cpp)

# A GUI program (no console), linked statically (see the top-level file). The 32-bit program
# is marked for Windows 4.0, the subsystem version Windows 95 and 98 accept (they refuse 5.0;
# Windows 2000 and XP take either); 64-bit Windows knows nothing older than its own 5.02.
function(fwu_add_windows_program target)
  add_executable(${target} WIN32 ${FWU_PROGRAM_ENTRY})
  fwu_add_program_resources(${target})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME XTM7731UP)
  target_link_libraries(${target} PRIVATE fwu_platform_win32 fwu_app)
  fwu_set_warnings(${target})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4
                                          -Wl,--minor-os-version,0)
  endif()
endfunction()

fwu_add_windows_program(fwu_windows_program)
