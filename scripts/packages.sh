# The Debian packages each step needs; sourced by the other scripts.
# shellcheck disable=SC2034
BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev qt6-base-dev libxcb1-dev)
# The dialog needs Qt's display platforms; F1 opens the help page with the desktop's launcher.
RUN_PACKAGES=(qt6-qpa-plugins xdg-utils)
TEST_PACKAGES=(clang-format qt6-qpa-plugins xvfb xdotool x11-utils binutils)
# clang's libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# strace shows the system calls of a write: files created exclusively, nothing outside the data
# folder.
RELIABILITY_PACKAGES=(strace)
# The Windows program: MinGW-w64 (posix threads), GoogleTest's sources, Wine and a virtual screen.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
                  googletest wine wine64 xvfb xauth)
BENCH_PACKAGES=(python3 crudini g++ xvfb time)
SCREENSHOT_PACKAGES=(qt6-qpa-plugins xvfb xdotool x11-utils imagemagick openbox)
