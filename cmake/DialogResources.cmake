# The Windows program's menu and dialog resources are not written by hand: a host tool
# (tools/dialog_script) writes them at build time from the layout table of src/resources, which
# the dialog logic and the other hosts use, so that the resource script cannot drift from it.

fwu_host_tool(dialog_script FWU_DIALOG_SCRIPT FWU_DIALOG_SCRIPT_TARGET)

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
