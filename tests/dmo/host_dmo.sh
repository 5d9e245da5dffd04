#!/usr/bin/env bash
# rfhost with the registered DLL under Wine: --dmo, the DMO in the DMO Wrapper filter created from
# the registration, gives the filter's output in every stream format, with automation, stored
# settings and scheduled blocks, and saves the same settings record; --dmo with --direct or --page
# is bad input.
# Usage: host_dmo.sh RFHOST.exe WORKDIR
set -uo pipefail
rfhost=$1 work=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
host() { "$here/scripts/wine-run" "$rfhost" --quiet "$@"; }

sox -q -n -r 44100 -c 2 -b 16 stereo16.wav synth 1.5 pinknoise vol 0.4
sox -q -n -r 48000 -c 1 -e floating-point -b 32 mono-float.wav synth 1 sine 100-9000 vol 0.5
automation=(--preset 13 --resonance 70 --envelope frequency:0.1:0.8:200:8000:square
  --envelope type:0.9:0.9:2:0:jump --envelope wet:0:1.2:100:40:sine)
host --preset 5 --save-settings stored.rfs || fail "save-settings exited $?"

same() {  # label, then the options; INPUT comes last
  local label=$1; shift
  rm -f "filter-$label.wav" "dmo-$label.wav"
  host "${@:1:$#-1}" "${!#}" "filter-$label.wav" || { fail "$label: the filter run exited $?"; return; }
  host --dmo "${@:1:$#-1}" "${!#}" "dmo-$label.wav" || { fail "$label: the DMO run exited $?"; return; }
  cmp -s "filter-$label.wav" "dmo-$label.wav" || fail "$label: outputs differ"
}
for format in pcm8 pcm16 pcm32 float32 float64; do
  same "$format" "${automation[@]}" --format "$format" stereo16.wav
done
same float-file --envelope resonance:0:1:0:100 mono-float.wav
same block-333 "${automation[@]}" --block 333 stereo16.wav
same stored-settings --load-settings stored.rfs --envelope order:0.5:0.5:1:1:jump stereo16.wav

host --dmo --preset 13 --bypass --save-settings dmo.rfs || fail "--dmo --save-settings exited $?"
host --preset 13 --bypass --save-settings filter.rfs
cmp -s dmo.rfs filter.rfs || fail "the DMO saves a different settings record"
[ "$(host --dmo --list-presets)" = "$(host --list-presets)" ] || fail "the DMO lists other presets"

for other in --direct --page; do
  rm -f bad-out.wav
  message=$(host --dmo "$other" stereo16.wav bad-out.wav 2>&1 >/dev/null); status=$?
  message=$(printf '%s' "$message" | tr -d '\r')
  [ "$status" = 2 ] || fail "--dmo $other: exited $status, not 2"
  [ "$(printf '%s\n' "$message" | wc -l)" = 1 ] || fail "--dmo $other said: $message"
  [ ! -e bad-out.wav ] || fail "--dmo $other left a file"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "rfhost --dmo sounds like the filter"
