# fwu_host_tool(<tool> <command variable> <dependency variable>): the program of tools/<tool>,
# which runs on the build machine during the build. A native build compiles it as part of the
# project, so that the warnings and the analysis see it; a cross build compiles it with the
# build machine's compiler as a project of its own. The command variable names the program to
# run; the dependency variable lists what a custom command must depend on, so that the steps
# are ordered and a rebuilt tool writes its outputs again.
function(fwu_host_tool tool command_variable dependency_variable)
  if(CMAKE_CROSSCOMPILING)
    include(ExternalProject)
    set(program ${CMAKE_BINARY_DIR}/host/${tool}/${tool})
    ExternalProject_Add(fwu_${tool}_host
      SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/${tool}
      BINARY_DIR ${CMAKE_BINARY_DIR}/host/${tool}
      CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=
      INSTALL_COMMAND ""
      # The outer build cannot see the tool's sources; the tool's own build decides whether it
      # is out of date, and relinks only when they changed.
      BUILD_ALWAYS ON
      BUILD_BYPRODUCTS ${program})
    set(${command_variable} ${program} PARENT_SCOPE)
    set(${dependency_variable} fwu_${tool}_host ${program} PARENT_SCOPE)
  else()
    add_subdirectory(${PROJECT_SOURCE_DIR}/tools/${tool} ${CMAKE_BINARY_DIR}/tools/${tool})
    set(${command_variable} $<TARGET_FILE:${tool}> PARENT_SCOPE)
    set(${dependency_variable} ${tool} PARENT_SCOPE)
  endif()
endfunction()
