# The updater for Linux: the seams on the system (src/platform/posix: SG_IO, udev, sysfs,
# systemd-logind, signals), the command-line program xtm7731-update (src/programs/linux), its
# manual page made from its --help, its installation and its Debian package.

include(GNUInstallDirs)
# A build tree for something else (the simulated PC, the benchmarks) need not have what the
# program needs; scripts/test and scripts/build-linux install it, and their builds of the
# program fail if it is still missing.
find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(FWU_LIBUDEV IMPORTED_TARGET libudev)
  pkg_check_modules(FWU_LIBSYSTEMD IMPORTED_TARGET libsystemd)
endif()
find_package(nlohmann_json 3.2 QUIET)
find_program(FWU_HELP2MAN help2man)
if(NOT FWU_LIBUDEV_FOUND OR NOT FWU_LIBSYSTEMD_FOUND OR NOT nlohmann_json_FOUND OR NOT FWU_HELP2MAN)
  message(WARNING "The Linux program is not built: it needs libudev, libsystemd, nlohmann-json "
                  "and help2man (scripts/packages.sh: LINUX_PACKAGES).")
  return()
endif()

fwu_layer(fwu_platform_posix platform/posix LINKS fwu_platform_seams
          PRIVATE_LINKS PkgConfig::FWU_LIBUDEV PkgConfig::FWU_LIBSYSTEMD)

# Everything of the program but its main, so that the tests can run it.
fwu_layer(fwu_linux_program programs/linux WITHOUT_MAIN
          LINKS fwu_platform_posix fwu_platform_portable fwu_app
          PRIVATE_LINKS nlohmann_json::nlohmann_json)
target_compile_definitions(fwu_linux_program PRIVATE FWU_PROGRAM_VERSION="${PROJECT_VERSION}"
                                                     FWU_IMAGE_IS_DEVELOPMENT=${FWU_IMAGE_IS_DEVELOPMENT})

function(fwu_add_linux_program target)
  add_executable(${target} ${PROJECT_SOURCE_DIR}/src/programs/linux/main.cpp)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME xtm7731-update)
  target_link_libraries(${target} PRIVATE fwu_linux_program)
  fwu_set_warnings(${target})
endfunction()

fwu_add_linux_program(xtm7731-update)

# The end-to-end runs (scripts/test-linux) put the emulated drive behind the program's SG_IO
# with a preloaded library, which a sanitized program cannot take; so their build of the
# program comes from the `preload` preset too. It is the program as it ships with every wait
# divided: the update's fixed waits of 127 s take about 6 s.
if(FWU_BUILD_PRELOAD)
  set(FWU_LINUX_E2E_WAIT_DIVISOR 20)
  fwu_add_linux_program(fwu_linux_program_e2e)
  set_target_properties(fwu_linux_program_e2e PROPERTIES
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/linux-e2e)
  target_compile_definitions(fwu_linux_program_e2e PRIVATE
                             FWU_WAIT_DIVISOR=${FWU_LINUX_E2E_WAIT_DIVISOR})
endif()

# The manual page, from the program's own --help and --version.
set(FWU_LINUX_MANUAL ${CMAKE_BINARY_DIR}/xtm7731-update.1)
add_custom_command(OUTPUT ${FWU_LINUX_MANUAL}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          ${FWU_HELP2MAN} --no-info --section=1
          "--name=update the firmware of QUENTAR DVD-ROM XT-M7731 drives"
          --output=${FWU_LINUX_MANUAL} $<TARGET_FILE:xtm7731-update>
  DEPENDS xtm7731-update
  COMMENT "Making the manual page of xtm7731-update")
# Installed compressed, as manual pages are.
add_custom_command(OUTPUT ${FWU_LINUX_MANUAL}.gz
  COMMAND gzip -9 -n -c ${FWU_LINUX_MANUAL} > ${FWU_LINUX_MANUAL}.gz
  DEPENDS ${FWU_LINUX_MANUAL})
add_custom_target(fwu_linux_manual ALL DEPENDS ${FWU_LINUX_MANUAL} ${FWU_LINUX_MANUAL}.gz)

install(TARGETS xtm7731-update RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${FWU_LINUX_MANUAL}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# scripts/package-deb builds the package from a release build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME xtm7731-update)
# A package with the development image says so in its version; only scripts/package-deb with
# the real image makes one that ships.
if(FWU_IMAGE_IS_DEVELOPMENT)
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}~development")
else()
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
endif()
set(CPACK_PACKAGE_CONTACT "Firmware update utility maintainers <firmware-update@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware update utility for QUENTAR DVD-ROM XT-M7731 drives")
set(CPACK_PACKAGE_DESCRIPTION
    "Finds QUENTAR DVD-ROM XT-M7731 optical drives, compares their firmware with the version the program carries and updates it over SG_IO, with the drive reserved, shutdown blocked and the result read back from the drive.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
