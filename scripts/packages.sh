# The Debian packages each step needs; sourced by the other scripts.
# shellcheck disable=SC2034
BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev)
TEST_PACKAGES=(clang-format)
# The Windows program: MinGW-w64 (posix threads), GoogleTest's sources, Wine and a virtual screen.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
                  googletest wine wine64 xvfb xauth)
BENCH_PACKAGES=(python3 crudini)
