#!/usr/bin/env bash
# Both DLLs registered side by side in one prefix, each in its own registry view: a 32-bit and a
# 64-bit host each find and load their own; a settings record saved by either loads in the
# other; and the two give the same bytes for the same input, settings and automation.
# Usage: side_by_side.sh DLL32 RFHOST32 DLL64 RFHOST64 WORKDIR
set -uo pipefail
dll32=$1 host32=$2 dll64=$3 host64=$4 work=$5
here=$(cd "$(dirname "$0")/../.." && pwd)
wine_run="$here/scripts/wine-run"
clsid='{239C0069-D9CB-43D6-B381-B5A6C044C48C}'
for f in "$dll32" "$host32" "$dll64" "$host64"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing: build both trees (win32 and win64) first"; exit 1; }
done
source "$here/scripts/wine-env.sh"
if [ "$RF_WINE32" != 1 ]; then
  echo "side_by_side: skipped: this kernel cannot execute 32-bit programs"
  exit 77
fi
mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

windows_path() { "$wine_run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
lower() { tr '[:upper:]' '[:lower:]'; }

"$wine_run" regsvr32 /s "$dll32" || fail "regsvr32 of the 32-bit DLL exited $?"
"$wine_run" regsvr32 /s "$dll64" || fail "regsvr32 of the 64-bit DLL exited $?"

# Each view names its own file under the same class identifier.
for bits in 32 64; do
  dll_var="dll$bits"
  want=$(windows_path "${!dll_var}" | lower)
  got=$("$wine_run" reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve "/reg:$bits" 2>/dev/null |
    tr -d '\r' | awk -F'REG_SZ' 'NF > 1 {sub(/^[ \t]+/, "", $2); print $2}' | lower)
  [ "$got" = "$want" ] || fail "the $bits-bit view names '$got', not '$want'"
done

# Each host loads the DLL of its own kind.
for bits in 32 64; do
  host_var="host$bits" dll_var="dll$bits"
  want="server $(windows_path "${!dll_var}") ($bits-bit)"
  got=$("$wine_run" "${!host_var}" --info | tr -d '\r' | head -n 1)
  [ "$(echo "$got" | lower)" = "$(echo "$want" | lower)" ] ||
    fail "the $bits-bit host reports '$got', not '$want'"
done

sox -q -n -r 44100 -c 2 -b 16 noise.wav synth 1.5 pinknoise vol 0.4
sox -q -n -r 44100 -c 2 -b 16 tone.wav synth 1.5 sine 80-9000 vol 0.4
sox -q -m noise.wav tone.wav input.wav
sox -q -n -r 96000 -c 1 -e floating-point -b 32 mono-float.wav synth 0.8 sine 300 vol 0.5

automation=(--preset 9 --resonance 85
  --envelope frequency:0.1:0.9:150:12000:sine --envelope wet:0:1.2:100:30:square
  --envelope order:0.7:0.7:1:0:jump)

# The same settings give the same 44 bytes from either DLL, and each loads the other's.
settings=(--preset 13 --resonance 70 --wet 55)
"$wine_run" "$host32" --quiet "${settings[@]}" --save-settings from32.rfs || fail "32-bit save"
"$wine_run" "$host64" --quiet "${settings[@]}" --save-settings from64.rfs || fail "64-bit save"
[ "$(stat -c %s from64.rfs 2>/dev/null)" = 44 ] || fail "the 64-bit record is not 44 bytes"
cmp -s from32.rfs from64.rfs || fail "the two DLLs save different records"
"$wine_run" "$host32" --quiet --load-settings from64.rfs input.wav loaded-in-32.wav ||
  fail "the 32-bit host did not load the 64-bit record"
"$wine_run" "$host64" --quiet --load-settings from32.rfs input.wav loaded-in-64.wav ||
  fail "the 64-bit host did not load the 32-bit record"
"$wine_run" "$host64" --quiet "${settings[@]}" input.wav direct-settings.wav
cmp -s loaded-in-32.wav loaded-in-64.wav || fail "cross-loaded records sound different"
cmp -s loaded-in-64.wav direct-settings.wav || fail "a loaded record differs from its settings"

# The same input and automation: the same bytes through the graph, fixed blocks and the direct
# interface, in every working format.
same() {  # label, then the options; INPUT comes last
  local label=$1; shift
  rm -f "32-$label.wav" "64-$label.wav"
  "$wine_run" "$host32" --quiet "$@" "32-$label.wav" || { fail "$label: 32-bit host exited $?"; return; }
  "$wine_run" "$host64" --quiet "$@" "64-$label.wav" || { fail "$label: 64-bit host exited $?"; return; }
  cmp -s "32-$label.wav" "64-$label.wav" || fail "$label: the two DLLs' outputs differ"
}
for format in pcm16 pcm32 float32 float64; do
  same "graph-$format" "${automation[@]}" --format "$format" input.wav
done
same block-517 "${automation[@]}" --block 517 input.wav
same direct "${automation[@]}" --direct input.wav
same high-rate-float --type band --order 4 --envelope resonance:0:0.8:0:100 mono-float.wav

if [ "$failures" -ne 0 ]; then
  echo "side_by_side: $failures failure(s)"
  exit 1
fi
echo "side_by_side: both views, both hosts, records and outputs agree"
