# The Debian packages the project builds and tests with, by purpose.
BUILD_PACKAGES=(cmake ninja-build g++ make pkg-config libc6-dev)
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev)
WINDOWS_PACKAGES=(mingw-w64 binutils-mingw-w64)
# The Windows program's tests run under Wine, on a virtual X display, with Japanese fonts.
WINE_PACKAGES=(wine64 wine xvfb xdotool imagemagick fonts-wine fonts-ipafont-gothic)
LIBRARY_PACKAGES=(nlohmann-json3-dev libcli11-dev)
CHECK_PACKAGES=(clang-format clang-tidy)
BENCH_PACKAGES=(libbenchmark-dev)
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
# The Linux program: udev and systemd-logind (sd-bus) to build against, help2man for its manual
# page, dpkg-dev for its package's dependencies; sg3-utils, jq and the loop and mount tools of
# its end-to-end runs.
LINUX_PACKAGES=(libudev-dev libsystemd-dev help2man dpkg-dev sg3-utils jq util-linux mount e2fsprogs)
