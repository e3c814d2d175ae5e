# The Linux program's tests (tests/linux): the SG_IO driver and the device-node transport over
# an emulated drive behind the ioctl (virtual time), the safety measures over a made-up sysfs,
# and whole runs of the program.
file(GLOB FWU_LINUX_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/linux/*.cpp)
add_executable(fwu_linux_tests ${FWU_LINUX_TEST_SOURCES})
target_link_libraries(fwu_linux_tests PRIVATE fwu_linux_program fwu_test_support GTest::gtest_main)
fwu_set_warnings(fwu_linux_tests)
fwu_use_test_header(fwu_linux_tests)
gtest_discover_tests(fwu_linux_tests DISCOVERY_TIMEOUT 60)
