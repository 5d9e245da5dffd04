#!/usr/bin/env bash
# rfhost with the registered DLL under Wine: --mft, the DMO's class as a transform in a Media
# Session, gives the filter's output bit for bit in every format the WAV source delivers as it
# is, with automation and stored settings, and leaves the same settings record; --mft with
# another path's options is bad input. Then a session with no effect in it, whose loader must
# insert a converter and probes the registered audio effects for one, converts the same with our
# class registered and unregistered, and as SoX does.
# Usage: host_mft.sh RFHOST.exe CONVERTER_SESSION.exe RESONANTFILTER.dll WORKDIR
set -uo pipefail
rfhost=$1 converter=$2 dll=$3 work=$4
here=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Wine's GStreamer bridge now and then kills a session's process with SIGSEGV before its end,
# with no effect in the session too (a few runs in a hundred): such a run is taken again, up to
# three times in all.
run() {
  local try status
  for try in 1 2 3; do
    "$here/scripts/wine-run" "$@"
    status=$?
    [ "$status" = 139 ] || return "$status"
    echo "note: Wine died of SIGSEGV (try $try): $*"
  done
  return "$status"
}
host() { run "$rfhost" --quiet "$@"; }

noise() { sox -q -n "$@" synth 1 pinknoise vol 0.4; }
sox -q -n -r 44100 -c 2 -b 16 stereo16.wav synth 1.5 pinknoise vol 0.4
noise -r 48000 -c 1 -b 16 mono16.wav
sox -q -n -r 48000 -c 1 -e floating-point -b 32 mono-float.wav synth 1 sine 100-9000 vol 0.5
noise -r 44100 -c 2 -e floating-point -b 32 stereo-float.wav
# Extensible 5.1 float: sox writes float plain, so the record is put together here.
le() { local i; for ((i = 0; i < $2; i++)); do printf "\\x$(printf %02x $(($1 >> 8 * i & 255)))"; done; }
sox -q -n -r 48000 -c 6 -t f32 six.raw synth 1 pinknoise vol 0.4
bytes=$(stat -c %s six.raw)
{ printf RIFF; le $((72 + bytes)) 4; printf 'WAVEfmt '; le 40 4
  le 0xFFFE 2; le 6 2; le 48000 4; le 1152000 4; le 24 2; le 32 2  # 6 x float32 at 48 kHz
  le 22 2; le 32 2; le 0x3F 4  # all bits valid; 5.1
  le 3 4; le 0x00100000 4; le 0xAA000080 4; le 0x719B3800 4  # sub-format: IEEE float
  printf fact; le 4 4; le $((bytes / 24)) 4; printf data; le "$bytes" 4
  cat six.raw; } >six-float.wav
noise -r 44100 -c 2 -b 8 -e unsigned pcm8.wav
noise -r 44100 -c 2 -b 24 pcm24.wav
noise -r 48000 -c 2 -e floating-point -b 64 float64.wav
automation=(--preset 13 --resonance 70 --envelope frequency:0.1:0.8:200:8000:square
  --envelope type:0.5:0.5:2:0:jump --envelope wet:0:0.9:100:40:sine)
host --preset 5 --save-settings stored.rfs || fail "save-settings exited $?"

same() {  # label, then the options; INPUT comes last
  local label=$1; shift
  rm -f "filter-$label".* "mft-$label".*
  host --save-settings "filter-$label.rfs" "${@:1:$#-1}" "${!#}" "filter-$label.wav" ||
    { fail "$label: the filter run exited $?"; return; }
  host --mft --save-settings "mft-$label.rfs" "${@:1:$#-1}" "${!#}" "mft-$label.wav" ||
    { fail "$label: the Media Session run exited $?"; return; }
  cmp -s "filter-$label.wav" "mft-$label.wav" || fail "$label: outputs differ"
  cmp -s "filter-$label.rfs" "mft-$label.rfs" || fail "$label: settings records differ"
}
for input in stereo16 mono16 mono-float stereo-float six-float pcm8 pcm24 float64; do
  same "$input" "${automation[@]}" "$input.wav"
done
same stored-settings --load-settings stored.rfs --envelope order:0.5:0.5:1:1:jump stereo16.wav
run "$rfhost" --mft stereo16.wav said.wav 2>&1 | grep -q "through a Media Session" ||
  fail "the --mft summary does not name the Media Session"

for other in --dmo --direct --page "--block 333" "--format float32"; do
  rm -f bad-out.wav
  # shellcheck disable=SC2086 # an option and its value
  message=$(host --mft $other stereo16.wav bad-out.wav 2>&1 >/dev/null); status=$?
  message=$(printf '%s' "$message" | tr -d '\r')
  [ "$status" = 2 ] || fail "--mft $other: exited $status, not 2"
  [ "$(printf '%s\n' "$message" | wc -l)" = 1 ] || fail "--mft $other said: $message"
  [ ! -e bad-out.wav ] || fail "--mft $other left a file"
done

# Float into a 16-bit grabber: the converter the loader picks must not be our effect, which
# would filter the signal (a new one low-passes), with or without our class registered.
trap 'run regsvr32 /s "$dll"' EXIT
rm -f registered.raw unregistered.raw
WINEDEBUG=+loaddll run "$converter" stereo-float.wav registered.raw 2>loaded.txt ||
  fail "the converter run exited $?"
# Else the comparison below would prove nothing.
grep -qi 'ResonantFilter\.dll' loaded.txt || fail "the loader did not load our class to probe it"
run regsvr32 /u /s "$dll" || fail "regsvr32 /u exited $?"
run "$converter" stereo-float.wav unregistered.raw || fail "the unregistered run exited $?"
run regsvr32 /s "$dll" || fail "regsvr32 exited $?"
cmp -s registered.raw unregistered.raw || fail "our registration changes another session's converter"
[ "$(stat -c %s registered.raw)" = $((2 * 2 * $(soxi -s stereo-float.wav))) ] ||
  fail "the converter session lost frames"
raw=(-t raw -r 44100 -c 2 -e signed -b 16)
sox -D stereo-float.wav "${raw[@]}" sox.raw
peak=$(sox -m -v 1 "${raw[@]}" registered.raw -v -1 "${raw[@]}" sox.raw -n stat 2>&1 |
  awk '/Maximum amplitude/ { print $3 * 32768 }')
awk -v p="$peak" 'BEGIN { exit !(p != "" && p <= 1.5) }' ||
  fail "the converter session is not the file's samples in 16 bits (off by ${peak:-?})"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "rfhost --mft sounds like the filter; other sessions' converters leave it out"
