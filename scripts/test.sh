#!/usr/bin/env bash
# The whole test suite from a fresh Debian 12 machine: set-up, format check, both builds and both
# suites (native under ASan/UBSan, the 32-bit and 64-bit DLLs under Wine), a bounded fuzzing run,
# and a build of the benchmarks so they keep compiling.
set -euo pipefail
cd "$(dirname "$0")/.."

# One line per suite for the end of the log, so a reader sees at a glance what really ran.
summary=()
suite() {
  local name=$1 log
  shift
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local counts skipped
  counts=$(grep -Eo '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
  skipped=$(grep -c '\*\*\*Skipped' "$log" || true)
  rm -f "$log"
  summary+=("$name: $counts, $skipped skipped")
}

scripts/setup.sh
scripts/format-check

cmake --preset native
cmake --build --preset native
suite "native" ctest --preset native -j2

# Both Windows trees, then both Wine suites in one prefix: the 64-bit tree's side-by-side test
# registers both DLLs and runs both hosts, so the 32-bit tree is built first.
for tree in win32 win64; do
  cmake --preset "$tree"
  cmake --build --preset "$tree"
  scripts/check-imports "build/$tree/bin/ResonantFilter.dll"
done
# The release from both trees: the setup program and the archive.
scripts/package.sh
scripts/wine-harness start
trap 'scripts/wine-harness stop' EXIT
source scripts/wine-env.sh
if [ "$RF_WINE32" = 1 ]; then
  suite "32-bit Wine" ctest --preset win32 -j2
else
  echo "test: SKIPPED the 32-bit Wine suite: this kernel cannot execute 32-bit programs" >&2
  summary+=("32-bit Wine: SKIPPED, this kernel cannot execute 32-bit programs")
fi
suite "64-bit Wine" ctest --preset win64 -j2
# The release's setup, installed, upgraded and uninstalled in a fresh prefix of its own. A setup
# is a 32-bit program: where those cannot run, the tests use a 64-bit build of it and report
# what they skip.
suite "Setup" tests/setup/run.sh

# The thread stress (and the sweep) under TSan: any race it reports fails the run.
cmake --preset tsan
cmake --build --preset tsan --target robustness_tests
suite "TSan robustness" ctest --preset tsan -R robustness

# libFuzzer writes what it finds into the first folder; the seeds in the tree stay untouched.
# Each target has a work folder of its own: libFuzzer reads a corpus folder recursively.
cmake --preset fuzz
cmake --build --preset fuzz
mkdir -p build/fuzz/corpus-work/params build/fuzz/artifacts
build/fuzz/bin/param_store_fuzzer -max_total_time="${RF_FUZZ_SECONDS:-30}" \
  -artifact_prefix=build/fuzz/artifacts/ build/fuzz/corpus-work/params fuzz/corpus/params
for name in settings_record wave_format tool_options; do
  mkdir -p "build/fuzz/corpus-work/$name"
  "build/fuzz/bin/${name}_fuzzer" -max_total_time="${RF_FUZZ_SECONDS:-30}" \
    -artifact_prefix="build/fuzz/artifacts/$name-" "build/fuzz/corpus-work/$name" \
    "fuzz/corpus/$name"
done

cmake --preset bench
cmake --build --preset bench

printf 'test: %s\n' "${summary[@]}"
echo "all suites passed"
