# The Debian packages each step needs; sourced by the other scripts.
# shellcheck disable=SC2034
BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev)
TEST_PACKAGES=(clang-format)
BENCH_PACKAGES=(python3 crudini)
