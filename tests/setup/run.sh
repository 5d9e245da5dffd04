#!/usr/bin/env bash
# The setup tests, once scripts/package.sh has built the release: builds the probe program of
# each width, then runs the tests, which install the package in a fresh prefix of their own.
set -euo pipefail
cd "$(dirname "$0")/../.."
version=$(scripts/package.sh --version)
for tree in win32 win64; do
  case $tree in
    win32) toolchain=cmake/mingw-i686.cmake tests=() ;;
    win64) toolchain=cmake/mingw-x86_64.cmake tests=(-DRF_VERSION="$version") ;;
  esac
  cmake -S tests/setup -B "build/setup-tests/$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain" "${tests[@]}" >/dev/null
  cmake --build "build/setup-tests/$tree"
done
# One booted prefix of each width for the whole run, copied fresh for each test.
export RF_SETUP_CLEAN_PREFIX="$PWD/build/setup-prefix.clean"
rm -rf "$RF_SETUP_CLEAN_PREFIX"-*
trap 'rm -rf "$RF_SETUP_CLEAN_PREFIX"-*' EXIT
status=0
ctest --test-dir build/setup-tests/win64 --output-on-failure "$@" || status=$?
# What each test skipped where 32-bit programs cannot run, which ctest shows only on failure.
grep -h '^[a-z_0-9]*\.sh: skipped' build/setup-tests/win64/Testing/Temporary/LastTest.log || true
exit "$status"
