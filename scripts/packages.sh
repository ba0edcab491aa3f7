# The Debian packages each step needs; sourced by the other scripts.
# shellcheck disable=SC2034
BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev)
TEST_PACKAGES=(clang-format)
# clang's libFuzzer and sanitizer runtimes; setpriv (util-linux) runs fault cases as an unprivileged
# user, since root passes every permission check.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
RELIABILITY_PACKAGES=(util-linux)
BENCH_PACKAGES=(python3 crudini)
