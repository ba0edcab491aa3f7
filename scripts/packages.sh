# The Debian packages each step needs; sourced by the other scripts.
# shellcheck disable=SC2034
BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev qt6-base-dev libxcb1-dev)
# The dialog needs Qt's display platforms; F1 opens the help page with the desktop's launcher.
RUN_PACKAGES=(qt6-qpa-plugins xdg-utils)
TEST_PACKAGES=(clang-format qt6-qpa-plugins xvfb xdotool x11-utils binutils)
# clang's libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# strace shows the system calls of a write: files created exclusively, nothing outside the data
# folder. fusefat and dosfstools give a FAT32 stick without the kernel's vfat driver.
RELIABILITY_PACKAGES=(strace fusefat dosfstools)
# The Windows programs, 64-bit and 32-bit: MinGW-w64 (posix threads) for both, GoogleTest's
# sources, Wine for both (wine32 comes from the i386 architecture), a virtual screen, and the
# Japanese locale's sources, from which Wine's code page 932 comes.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
                  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
                  googletest wine wine64 wine32:i386 xvfb xauth locales)
# Release packages: the installer compiler, the Windows Installer package builder (wixl, with
# msitools to set what wixl cannot and to read a package back), the Authenticode signer, and openssl and unzip for the test (a
# throwaway certificate, the Windows bundle unpacked).
PACKAGE_PACKAGES=(nsis wixl msitools osslsigncode openssl unzip)
BENCH_PACKAGES=(python3 crudini g++ xvfb time)
SCREENSHOT_PACKAGES=(qt6-qpa-plugins xvfb xdotool x11-utils imagemagick openbox)
