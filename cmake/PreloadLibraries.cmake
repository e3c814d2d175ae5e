# The emulated drive as the end-to-end runs put it behind a program's own system calls, built
# natively (the Windows builds carry the ASPI library instead):
# - fwu_drive_report: an emulated XT-M7731 set up by options, with its report files;
# - libfwu_sgio_emulator.so: that drive behind ioctl(SG_IO), preloaded (LD_PRELOAD) into the
#   program's process, under Wine or not.
# A preloaded library cannot carry the sanitizers' runtimes into a process that was not built
# with them, so the shared libraries come from the `preload` preset (FWU_BUILD_PRELOAD, position
# independent, no sanitizers); other native builds compile their code for the tests and the
# analysis but do not link them.

add_library(fwu_drive_report STATIC
  ${PROJECT_SOURCE_DIR}/tests/drive_report/drive_options.cpp
  ${PROJECT_SOURCE_DIR}/tests/drive_report/command_log_line.cpp
  ${PROJECT_SOURCE_DIR}/tests/drive_report/reported_drive.cpp)
target_include_directories(fwu_drive_report PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(fwu_drive_report PUBLIC fwu_emulator fwu_core)
fwu_set_warnings(fwu_drive_report)

add_library(fwu_sgio_emulator_core STATIC ${PROJECT_SOURCE_DIR}/tests/sgio_emulator/sgio_emulator.cpp)
target_link_libraries(fwu_sgio_emulator_core PUBLIC fwu_drive_report)
fwu_set_warnings(fwu_sgio_emulator_core)

add_library(fwu_sgio_emulator SHARED ${PROJECT_SOURCE_DIR}/tests/sgio_emulator/preload.cpp)
target_link_libraries(fwu_sgio_emulator PRIVATE fwu_sgio_emulator_core ${CMAKE_DL_LIBS})
target_link_options(fwu_sgio_emulator PRIVATE
  -Wl,--version-script=${PROJECT_SOURCE_DIR}/tests/sgio_emulator/exports.map)
set_target_properties(fwu_sgio_emulator PROPERTIES
  LINK_DEPENDS ${PROJECT_SOURCE_DIR}/tests/sgio_emulator/exports.map)
fwu_set_warnings(fwu_sgio_emulator)

if(NOT FWU_BUILD_PRELOAD)
  set_target_properties(fwu_sgio_emulator PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
