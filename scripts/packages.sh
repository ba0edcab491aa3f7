# The Debian packages each step needs; sourced by the other scripts.
# shellcheck disable=SC2034
BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev qt6-base-dev)
# The dialog needs an X server (and the display platform of Qt) to appear on.
RUN_PACKAGES=(qt6-qpa-plugins)
TEST_PACKAGES=(clang-format qt6-qpa-plugins xvfb xdotool xauth binutils)
BENCH_PACKAGES=(python3 crudini)
SCREENSHOT_PACKAGES=(qt6-qpa-plugins xvfb xdotool x11-utils imagemagick openbox)
