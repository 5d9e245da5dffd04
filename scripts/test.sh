#!/usr/bin/env bash
# The whole test suite from a fresh Debian 12 machine: set-up, format check, both builds and both
# suites (native under ASan/UBSan, win32 under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/format-check

cmake --preset native
cmake --build --preset native
ctest --preset native -j2

cmake --preset win32
cmake --build --preset win32
scripts/wine-harness start
trap 'scripts/wine-harness stop' EXIT
ctest --preset win32 -j2

echo "all suites passed"
