# The updater for Linux: the seams on the system (src/platform/posix: SG_IO, udev, sysfs,
# systemd-logind, signals), the command-line program xtm7731-update (src/programs/linux), its
# manual page made from its --help, its installation and its Debian package.

include(GNUInstallDirs)
find_package(PkgConfig REQUIRED)
pkg_check_modules(FWU_LIBUDEV REQUIRED IMPORTED_TARGET libudev)
pkg_check_modules(FWU_LIBSYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
find_package(nlohmann_json 3.2 REQUIRED)
find_program(FWU_HELP2MAN help2man REQUIRED)

file(GLOB FWU_POSIX_SOURCES CONFIGURE_DEPENDS src/platform/posix/*.cpp)
add_library(fwu_platform_posix STATIC ${FWU_POSIX_SOURCES})
target_link_libraries(fwu_platform_posix PUBLIC fwu_core
                                         PRIVATE PkgConfig::FWU_LIBUDEV PkgConfig::FWU_LIBSYSTEMD)
fwu_set_warnings(fwu_platform_posix)

# Everything of the program but its main, so that the tests can run it.
file(GLOB FWU_LINUX_PROGRAM_SOURCES CONFIGURE_DEPENDS src/programs/linux/*.cpp)
list(FILTER FWU_LINUX_PROGRAM_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(fwu_linux_program STATIC ${FWU_LINUX_PROGRAM_SOURCES})
target_link_libraries(fwu_linux_program PUBLIC fwu_platform_posix fwu_core
                                        PRIVATE nlohmann_json::nlohmann_json)
target_compile_definitions(fwu_linux_program PRIVATE FWU_PROGRAM_VERSION="${PROJECT_VERSION}")
fwu_set_warnings(fwu_linux_program)

function(fwu_add_linux_program target)
  add_executable(${target} ${PROJECT_SOURCE_DIR}/src/programs/linux/main.cpp)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME xtm7731-update)
  target_link_libraries(${target} PRIVATE fwu_linux_program)
  fwu_set_warnings(${target})
endfunction()

fwu_add_linux_program(xtm7731-update)

# The manual page, from the program's own --help and --version.
set(FWU_LINUX_MANUAL ${CMAKE_BINARY_DIR}/xtm7731-update.1)
add_custom_command(OUTPUT ${FWU_LINUX_MANUAL}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          ${FWU_HELP2MAN} --no-info --section=1
          "--name=update the firmware of QUENTAR DVD-ROM XT-M7731 drives"
          --output=${FWU_LINUX_MANUAL} $<TARGET_FILE:xtm7731-update>
  DEPENDS xtm7731-update
  COMMENT "Making the manual page of xtm7731-update")
add_custom_target(fwu_linux_manual ALL DEPENDS ${FWU_LINUX_MANUAL})

install(TARGETS xtm7731-update RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${FWU_LINUX_MANUAL} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# scripts/package-deb builds the package from a release build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME xtm7731-update)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Firmware update utility maintainers <firmware-update@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware update utility for QUENTAR DVD-ROM XT-M7731 drives")
set(CPACK_PACKAGE_DESCRIPTION
    "Finds QUENTAR DVD-ROM XT-M7731 optical drives, compares their firmware with the version the program carries and updates it over SG_IO, with the drive reserved, shutdown blocked and the result read back from the drive.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
