#!/usr/bin/env bash
# The project's main job, from a fresh Debian 12 machine:
#  1. sets up and builds ResonantFilter.dll, rfhost.exe (64-bit, as today's editors are; set
#     RF_MAIN_TREE=win32 for the 32-bit pair) and the native resfilter;
#  2. registers the DLL in the project's Wine prefix with regsvr32;
#  3. runs real speech (the ALSA test recordings Debian ships, joined with SoX) through the DLL
#     in a real graph, with a preset and a frequency sweep envelope;
#  4. writes the output WAV and its response plot, prints what it did and how fast, and checks
#     that the native core gives the very same file.
# Usage: scripts/main-job.sh [extra rfhost options...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh >&2
tree=${RF_MAIN_TREE:-win64}
cmake --preset "$tree" >&2 && cmake --build --preset "$tree" --target ResonantFilter rfhost >&2
cmake --preset bench >&2 && cmake --build --preset bench --target resfilter >&2

scripts/wine-harness start >&2
trap 'scripts/wine-harness stop' EXIT
scripts/wine-run regsvr32 /s "build/$tree/bin/ResonantFilter.dll"
echo "main-job: registered build/$tree/bin/ResonantFilter.dll in the project's Wine prefix"

demo=build/demo
mkdir -p "$demo"
sounds=/usr/share/sounds/alsa
sox -q "$sounds"/Front_Left.wav "$sounds"/Front_Center.wav "$sounds"/Front_Right.wav \
  "$sounds"/Side_Left.wav "$sounds"/Side_Right.wav "$sounds"/Rear_Left.wav \
  "$sounds"/Rear_Center.wav "$sounds"/Rear_Right.wav "$sounds"/Noise.wav "$demo/input.wav"
seconds=$(soxi -D "$demo/input.wav")

options=(--preset "Light Chime" --wet 80
  --envelope "frequency:0:$seconds:250:6000:square" "$@")
echo "main-job: $demo/input.wav, ${seconds} s of speech, with ${options[*]}"
scripts/wine-run "build/$tree/bin/rfhost.exe" "${options[@]}" --plot "$demo/response.png" \
  "$demo/input.wav" "$demo/output.wav" | tr -d '\r'
build/bench/bin/resfilter --quiet "${options[@]}" "$demo/input.wav" "$demo/output-native.wav"
if cmp -s "$demo/output.wav" "$demo/output-native.wav"; then
  echo "main-job: the native core wrote the very same file"
else
  echo "main-job: the DLL's and the native core's outputs differ" >&2
  exit 1
fi
echo "main-job: wrote $demo/output.wav and $demo/response.png"
