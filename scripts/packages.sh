# The Debian packages each step needs; sourced by the other scripts.
# shellcheck disable=SC2034
BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev)
TEST_PACKAGES=(clang-format)
# clang's libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# strace shows the system calls of a write: files created exclusively, nothing outside the data
# folder.
RELIABILITY_PACKAGES=(strace)
BENCH_PACKAGES=(python3 crudini)
