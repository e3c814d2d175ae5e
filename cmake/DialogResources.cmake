# The Windows program's menu and dialog resources are not written by hand: a host tool
# (tools/dialog_script) writes them at build time from the layout table of src/resources, which
# the dialog logic and the other hosts use, so that the resource script cannot drift from it.

if(CMAKE_CROSSCOMPILING)
  # The tool runs on the build machine, so it is built with the build machine's compiler.
  include(ExternalProject)
  ExternalProject_Add(fwu_dialog_script_host
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/dialog_script
    BINARY_DIR ${CMAKE_BINARY_DIR}/host/dialog_script
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=
    INSTALL_COMMAND ""
    # The outer build cannot see the table's sources; the tool's own build decides whether it is
    # out of date, and relinks only when they changed.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/host/dialog_script/dialog_script)
  set(FWU_DIALOG_SCRIPT ${CMAKE_BINARY_DIR}/host/dialog_script/dialog_script)
  # The target orders the steps; the file makes a rebuilt tool write the resources again.
  set(FWU_DIALOG_SCRIPT_TARGET fwu_dialog_script_host ${FWU_DIALOG_SCRIPT})
else()
  # A native build compiles the tool too, so that the warnings and the analysis see it.
  add_subdirectory(tools/dialog_script)
  set(FWU_DIALOG_SCRIPT $<TARGET_FILE:dialog_script>)
  set(FWU_DIALOG_SCRIPT_TARGET dialog_script)
endif()

if(WIN32)
  # src/resources/program.rc includes the file from this folder.
  set(FWU_PROGRAM_DIALOGS_DIR ${CMAKE_BINARY_DIR}/generated-resources)
  set(FWU_PROGRAM_DIALOGS ${FWU_PROGRAM_DIALOGS_DIR}/program_dialogs.rc)
  file(MAKE_DIRECTORY ${FWU_PROGRAM_DIALOGS_DIR})
  add_custom_command(OUTPUT ${FWU_PROGRAM_DIALOGS}
    COMMAND ${FWU_DIALOG_SCRIPT} ${FWU_PROGRAM_DIALOGS}
    DEPENDS ${FWU_DIALOG_SCRIPT_TARGET}
    COMMENT "Writing the dialog resources from the layout table")
  add_custom_target(fwu_program_dialogs DEPENDS ${FWU_PROGRAM_DIALOGS})
endif()
