#!/usr/bin/env bash
# The project's main job: builds ResonantFilter.dll, the Windows host and the native tool, then
#  1. prints the parameter table as a host reads it through IMediaParamInfo from the DLL;
#  2. runs a test recording through the DLL in a real DirectShow graph under Wine;
#  3. runs the same recording through the native core and checks the two files are identical.
# Usage: scripts/main-job.sh [preset 0..17] [input.wav]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-13}
input=${2:-}

scripts/setup.sh >&2
cmake --preset win32 >&2 && cmake --build --preset win32 --target ResonantFilter rf-host >&2
cmake --preset bench >&2 && cmake --build --preset bench --target rf-process >&2

mkdir -p build/demo
if [ -z "$input" ]; then
  input=build/demo/input.wav
  # Ten seconds of stereo 16-bit pink noise under a slow sine sweep.
  sox -q -n -r 44100 -c 2 -b 16 build/demo/noise.wav synth 10 pinknoise vol 0.3
  sox -q -n -r 44100 -c 2 -b 16 build/demo/sweep.wav synth 10 sine 60-12000 vol 0.3
  sox -q -m build/demo/noise.wav build/demo/sweep.wav "$input"
fi

scripts/wine-harness start >&2
trap 'scripts/wine-harness stop' EXIT
scripts/wine-run build/win32/bin/rf-host.exe paraminfo | tr -d '\r'
echo
scripts/wine-run build/win32/bin/rf-host.exe process "$input" build/demo/output-dll.wav "$preset" | tr -d '\r'
build/bench/bin/rf-process "$input" build/demo/output-native.wav "$preset"
if cmp -s build/demo/output-dll.wav build/demo/output-native.wav; then
  echo "main-job: the DLL under Wine and the native core wrote identical files (build/demo/)"
else
  echo "main-job: the DLL's and the native core's outputs differ" >&2
  exit 1
fi
