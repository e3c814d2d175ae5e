# The layers of the program and the one direction in which they may use each other. This file
# is where that direction is stated; ARCHITECTURE.md describes it.
#
# Every folder of src/ is a library of its own, and a library sees only its own folder and the
# folders of what it links: its include root (build/<preset>/include-roots/<library>) holds a
# link to its own folder and nothing else, and a library that links another gets that one's
# root too. An include that runs against the links therefore finds no header and fails to
# build. Every header of a folder is also compiled once with the folder's own roots, so that a
# header used only from above cannot slip an upward include through either.

set(FWU_INCLUDE_ROOTS ${CMAKE_BINARY_DIR}/include-roots)
set(FWU_HEADER_CHECKS ${CMAKE_BINARY_DIR}/layer-headers)

# fwu_include_root(<target> <folder of src>...): the target's own include root.
function(fwu_include_root target)
  set(root ${FWU_INCLUDE_ROOTS}/${target})
  file(REMOVE_RECURSE ${root})
  foreach(folder IN LISTS ARGN)
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# fwu_layer(<target> <folder of src> [WITHOUT_MAIN] [SOURCES <extra sources>...]
#           [LINKS <libraries>...] [PRIVATE_LINKS <libraries>...])
# A static library of every .cpp of the folder (but main.cpp, for a program's folder), seen
# through its own include root, linking the layers it may use.
function(fwu_layer target folder)
  cmake_parse_arguments(PARSE_ARGV 2 layer "WITHOUT_MAIN" "" "SOURCES;LINKS;PRIVATE_LINKS")
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
  if(layer_WITHOUT_MAIN)
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  endif()
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/src
       ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
  set(check "// Every header of src/${folder}, compiled with the folder's own include roots.\n")
  foreach(header IN LISTS headers)
    string(APPEND check "#include \"${header}\"\n")
  endforeach()
  set(check_source ${FWU_HEADER_CHECKS}/${target}.cpp)
  file(CONFIGURE OUTPUT ${check_source} CONTENT "${check}")
  add_library(${target} STATIC ${sources} ${layer_SOURCES} ${check_source})
  fwu_include_root(${target} ${folder})
  target_link_libraries(${target} PUBLIC ${layer_LINKS} PRIVATE ${layer_PRIVATE_LINKS})
  fwu_set_warnings(${target})
endfunction()

# The seams: what the core needs of an operating system, as header-only interfaces that every
# layer may use. Only the headers directly in src/platform are seams; the folders below it are
# their implementations, each a library of its own.
add_library(fwu_platform_seams INTERFACE)
file(GLOB FWU_SEAM_HEADERS CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/src
     ${PROJECT_SOURCE_DIR}/src/platform/*.h)
fwu_include_root(fwu_platform_seams ${FWU_SEAM_HEADERS})

# The portable core, bottom to top:
#
#   resources <- drive <- sysconfig, dialogs <- update <- app <- the programs (src/programs)
#
# sysconfig and dialogs stand side by side on drive; update shows the notices and uses the
# shutdown guard of dialogs, so it stands on dialogs; app puts them all together.
fwu_layer(fwu_resources resources LINKS fwu_platform_seams)
fwu_layer(fwu_drive drive LINKS fwu_resources)
fwu_layer(fwu_sysconfig sysconfig LINKS fwu_drive)
fwu_layer(fwu_dialogs dialogs LINKS fwu_drive)
fwu_layer(fwu_update update SOURCES ${FWU_EMBEDDED_IMAGE_SOURCE} LINKS fwu_dialogs)
fwu_layer(fwu_app app LINKS fwu_update fwu_sysconfig)

# The whole core, for what stands outside the layers: tests, tools and the programs' tests.
add_library(fwu_core INTERFACE)
target_link_libraries(fwu_core INTERFACE fwu_app)

# Japanese texts are written in UTF-8 and stored in the program as code page 932 bytes. clang
# knows no execution character set but UTF-8; the fuzz build, the only one made with clang, keeps
# them in UTF-8, which changes nothing that reads outside data.
file(GLOB FWU_JAPANESE_TEXT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/resources/*_ja.cpp)
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set_source_files_properties(${FWU_JAPANESE_TEXT_SOURCES} PROPERTIES COMPILE_OPTIONS
                                                                     "-fexec-charset=CP932")
endif()
