# The Debian packages the project builds and tests with, by purpose.
BUILD_PACKAGES=(cmake ninja-build g++ make pkg-config libc6-dev)
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev)
WINDOWS_PACKAGES=(mingw-w64 binutils-mingw-w64)
LIBRARY_PACKAGES=(nlohmann-json3-dev libcli11-dev)
CHECK_PACKAGES=(clang-format clang-tidy)
BENCH_PACKAGES=(libbenchmark-dev)
