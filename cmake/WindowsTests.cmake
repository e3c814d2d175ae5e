# The Windows build's tests, run under Wine by scripts/test-windows:
# - fwu_win32_tests.exe: the seams on the real Windows API, and every dialog on its real
#   template, driven by window messages;
# - the end-to-end run's pieces in one folder, as Wine looks for them beside the program: the
#   program's test build, an ASPI manager library over the emulated drive, and a driver that
#   finds the program's dialogs and presses their buttons.

file(GLOB FWU_WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/*.cpp)
add_executable(fwu_win32_tests ${FWU_WIN32_TEST_SOURCES})
fwu_add_program_resources(fwu_win32_tests)
target_include_directories(fwu_win32_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(fwu_win32_tests PRIVATE fwu_platform_win32 fwu_core GTest::gtest_main
                                              GTest::gmock)
target_compile_definitions(fwu_win32_tests PRIVATE FWU_PROGRAM_VERSION="${PROJECT_VERSION}")
fwu_set_warnings(fwu_win32_tests)

set(FWU_E2E_DIR ${CMAKE_BINARY_DIR}/e2e)

# The program as it ships, but with every wait divided: the update's fixed waits of 127 s take
# about 6 s, so that an end-to-end run fits into CI. Only this build is made so.
set(FWU_E2E_WAIT_DIVISOR 20)
fwu_add_windows_program(fwu_windows_program_e2e)
set_target_properties(fwu_windows_program_e2e PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${FWU_E2E_DIR})
target_compile_definitions(fwu_windows_program_e2e PRIVATE FWU_WAIT_DIVISOR=${FWU_E2E_WAIT_DIVISOR})
# The judge of the drives' logs scales the waits it measures by the same number.
file(WRITE ${FWU_E2E_DIR}/wait-divisor "${FWU_E2E_WAIT_DIVISOR}\n")

# wnaspi32.dll: an ASPI manager whose one host adapter holds the emulated drive, which reports
# as the one behind SG_IO does (cmake/PreloadLibraries.cmake).
file(GLOB FWU_ASPI_EMULATOR_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wnaspi32/*.cpp)
add_library(fwu_aspi_emulator SHARED ${FWU_ASPI_EMULATOR_SOURCES}
            ${PROJECT_SOURCE_DIR}/tests/drive_report/drive_options.cpp
            ${PROJECT_SOURCE_DIR}/tests/drive_report/command_log_line.cpp
            ${PROJECT_SOURCE_DIR}/tests/drive_report/reported_drive.cpp)
target_include_directories(fwu_aspi_emulator PRIVATE ${PROJECT_SOURCE_DIR}/tests)
set_target_properties(fwu_aspi_emulator PROPERTIES OUTPUT_NAME wnaspi32 PREFIX ""
                                                   RUNTIME_OUTPUT_DIRECTORY ${FWU_E2E_DIR})
target_link_libraries(fwu_aspi_emulator PRIVATE fwu_emulator fwu_platform_win32 fwu_core)
target_compile_definitions(fwu_aspi_emulator PRIVATE ${FWU_WINDOWS_DEFINITIONS})
fwu_set_warnings(fwu_aspi_emulator)

# The driver: waits for a dialog, reads its texts, presses its buttons.
add_executable(fwu_dialog_driver ${PROJECT_SOURCE_DIR}/tests/e2e/dialog_driver.cpp
                                 ${PROJECT_SOURCE_DIR}/tests/win32/window_probe.cpp)
set_target_properties(fwu_dialog_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${FWU_E2E_DIR})
target_include_directories(fwu_dialog_driver PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(fwu_dialog_driver PRIVATE ${FWU_WINDOWS_DEFINITIONS})
fwu_set_warnings(fwu_dialog_driver)
