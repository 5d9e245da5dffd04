#!/usr/bin/env bash
# The Windows host with the registered DLL under Wine against the native tool on the same files
# and options: the outputs must be the same bytes, for every stream format, through the graph,
# with fixed blocks and through the direct interface; and both refuse bad input alike.
# Usage: host_vs_native.sh RFHOST.exe RESFILTER WORKDIR
set -uo pipefail
rfhost=$1 resfilter=$2 work=$3
here=$(cd "$(dirname "$0")/../.." && pwd)
wine_run="$here/scripts/wine-run"
mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

host() { "$wine_run" "$rfhost" --quiet "$@"; }
native() { "$resfilter" --quiet "$@"; }

sox -q -n -r 44100 -c 2 -b 16 noise.wav synth 2 pinknoise vol 0.4
sox -q -n -r 44100 -c 2 -b 16 tone.wav synth 2 sine 80-9000 vol 0.4
sox -q -m noise.wav tone.wav stereo16.wav
sox -q -n -r 48000 -c 1 -e floating-point -b 32 mono-float.wav synth 1.3 sine 300 vol 0.5
sox -q -n -r 22050 -c 1 -b 24 mono24.wav synth 0.7 sine 3000 vol 0.5
# Wine 8's WAVE Parser delivers no samples of packed 24-bit mono at 22050 Hz (it does at 44100),
# so the graph takes this one; --block takes the other.
sox -q -n -r 44100 -c 1 -b 24 mono24-44k.wav synth 0.7 sine 3000 vol 0.5
# Wide and deep files with an extensible record and a channel mask: 5.1 float (sox writes float
# plain, so its record is put together here), 8 channels of 16-bit and packed 24-bit stereo, each
# in its own samples all the way.
le() { local i; for ((i = 0; i < $2; i++)); do printf "\\x$(printf %02x $(($1 >> 8 * i & 255)))"; done; }
sox -q -n -r 48000 -c 6 -t f32 surround.raw synth 1.1 pinknoise vol 0.4
bytes=$(stat -c %s surround.raw)
{ printf RIFF; le $((72 + bytes)) 4; printf 'WAVEfmt '; le 40 4
  le 0xFFFE 2; le 6 2; le 48000 4; le 1152000 4; le 24 2; le 32 2  # 6 x float32 at 48 kHz
  le 22 2; le 32 2; le 0x3F 4  # all bits valid; 5.1: FL FR FC LFE BL BR
  le 3 4; le 0x00100000 4; le 0xAA000080 4; le 0x719B3800 4  # sub-format: IEEE float
  printf fact; le 4 4; le $((bytes / 24)) 4; printf data; le "$bytes" 4
  cat surround.raw; } >surround-float.wav
sox -q -n -r 44100 -c 8 -b 16 eight16.wav synth 0.9 sine 100-6000 vol 0.4
sox -q -n -r 44100 -c 2 -b 24 stereo24.wav synth 1.2 pinknoise vol 0.4

automation=(--preset 13 --resonance 70
  --envelope frequency:0.1:0.8:200:8000:square --envelope wet:0:1.5:100:40:sine
  --envelope type:1.2:1.2:2:0:jump)

same() {  # label, then the options for both tools; INPUT and OUTPUT come last
  local label=$1; shift
  local n=$(( $# - 1 ))
  local opts=("${@:1:$n}") input=${!#}
  rm -f "host-$label.wav" "native-$label.wav"
  host "${opts[@]}" "$input" "host-$label.wav" || { fail "$label: rfhost exited $?"; return; }
  native "${opts[@]}" "$input" "native-$label.wav" || { fail "$label: resfilter exited $?"; return; }
  cmp -s "host-$label.wav" "native-$label.wav" || fail "$label: outputs differ"
}

for format in pcm8 pcm16 pcm32 float32 float64; do
  same "graph-$format" "${automation[@]}" --format "$format" stereo16.wav
done
same graph-own-format "${automation[@]}" stereo16.wav
same graph-float-file --preset 5 --envelope resonance:0:1:0:100 mono-float.wav
same graph-24bit --type high --frequency 2500 mono24-44k.wav
same block-1000 "${automation[@]}" --block 1000 stereo16.wav
same block-1-frame --frequency 900 --envelope frequency:0:0.01:100:9000 --block 1 mono24.wav
same block-float64 "${automation[@]}" --format float64 --block 333 stereo16.wav
same direct "${automation[@]}" --direct stereo16.wav
same direct-block "${automation[@]}" --direct --block 64 mono-float.wav
# These carry all their valid bits, so the WAVE Parser (which drops an extensible record's valid
# bits) streams what the push source of --block offers: both match resfilter on the file itself.
for wide in surround-float eight16 stereo24; do
  same "graph-$wide" "${automation[@]}" "$wide.wav"
  same "block-$wide" "${automation[@]}" --block 480 "$wide.wav"
  same "direct-$wide" "${automation[@]}" --direct "$wide.wav"
done
for wide in surround-float.wav eight16.wav stereo24.wav; do  # the input's record, kept
  cmp -s <(head -c 60 "$wide" | tail -c 48) <(head -c 60 "host-graph-${wide%.wav}.wav" | tail -c 48) ||
    fail "$wide: rfhost wrote another format record"
done

# A file many times the host's read chunk: the same bytes as the native tool in every mode that
# converts or cuts it, and the host's resident high-water mark (sampled while it runs) no more
# than a few MiB over that of a run on a short file, where holding the file would add tens.
sox -q -n -r 44100 -c 2 -b 16 long.wav synth 142 pinknoise vol 0.4
peak_kb() {  # rfhost's options and files; prints its peak resident KiB
  "$wine_run" "$rfhost" --quiet "$@" &
  local pid=$! peak=0 now
  while kill -0 "$pid" 2>/dev/null; do
    now=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
    [ -n "$now" ] && [ "$now" -gt "$peak" ] && peak=$now
    sleep 0.05
  done
  wait "$pid" || echo "rfhost $* exited $?" >&2
  echo "$peak"
}
for mode in "--block 4096 --format float64" "--direct" "--format float64" "--format pcm8"; do
  read -ra opts <<< "$mode"
  short=$(peak_kb "${opts[@]}" stereo16.wav long-out.wav)
  long=$(peak_kb "${automation[@]}" "${opts[@]}" long.wav long-out.wav)
  [ "$long" -gt 0 ] && [ "$long" -lt $((short + 8192)) ] ||
    fail "$mode: peak ${long} KiB over a 24 MiB file, ${short} KiB over a short one"
  native "${automation[@]}" "${opts[@]}" long.wav native-long.wav
  cmp -s long-out.wav native-long.wav || fail "$mode: long outputs differ"
done
rm -f long.wav long-out.wav native-long.wav

# Without automation the direct path and the graph give the same float samples.
host --preset 13 --format float32 stereo16.wav graph-static.wav
host --preset 13 --direct stereo16.wav direct-static.wav
cmp -s graph-static.wav direct-static.wav || fail "direct and graph differ without automation"

# Settings saved by the host come back through Load; Bypass is stored as off.
host --preset 13 --bypass --save-settings saved.rfs || fail "save-settings exited $?"
[ "$(stat -c %s saved.rfs 2>/dev/null)" = 44 ] || fail "the saved settings are not 44 bytes"
host --load-settings saved.rfs stereo16.wav loaded.wav
host --preset 13 stereo16.wav preset.wav
cmp -s loaded.wav preset.wav || fail "loaded settings do not sound like the saved preset"
native --load-settings saved.rfs stereo16.wav native-loaded.wav
cmp -s loaded.wav native-loaded.wav || fail "resfilter reads the host's settings differently"
native --preset 13 --bypass --save-settings native-saved.rfs
cmp -s saved.rfs native-saved.rfs || fail "the two tools save different settings records"
printf 'garbage' > garbage.rfs

# The response plot is drawn from the same measured numbers by both tools.
host --preset 13 --plot host-plot.png || fail "rfhost --plot exited $?"
native --preset 13 --plot native-plot.png || fail "resfilter --plot exited $?"
cmp -s host-plot.png native-plot.png || fail "the two plots differ"

# Bad input: exit status 2, one line on stderr, and no output file.
printf 'not audio' > text.wav
sox -q -n -r 44100 -c 33 -b 16 wide33.wav synth 0.1 sine 440
cp stereo16.wav spdif.wav && printf '\222' | dd of=spdif.wav bs=1 seek=20 conv=notrunc 2>/dev/null
bad() {  # label, then the arguments
  local label=$1; shift
  for tool in host native; do
    rm -f bad-out.wav
    local message
    message=$($tool "$@" 2>&1 >/dev/null); local status=$?
    message=$(printf '%s' "$message" | tr -d '\r')
    [ "$status" = 2 ] || fail "$label: $tool exited $status, not 2"
    [ "$(printf '%s\n' "$message" | wc -l)" = 1 ] || fail "$label: $tool said: $message"
    [ ! -e bad-out.wav ] && [ ! -e bad-out.wav.partial ] || fail "$label: $tool left a file"
  done
}
bad missing-file absent.wav bad-out.wav
bad not-audio text.wav bad-out.wav
bad 33-channels wide33.wav bad-out.wav
bad spdif-bitstream spdif.wav bad-out.wav
bad unknown-preset --preset "No Such Preset" stereo16.wav bad-out.wav
bad preset-index --preset 18 stereo16.wav bad-out.wav
bad out-of-range --resonance 101 stereo16.wav bad-out.wav
bad malformed-envelope --envelope frequency:1:x:20:200 stereo16.wav bad-out.wav
bad envelope-range --envelope frequency:0:1:10:200 stereo16.wav bad-out.wav
bad unwritable stereo16.wav no-such-dir/bad-out.wav
rm -f bad-out.wav
bad garbage-settings --load-settings garbage.rfs stereo16.wav bad-out.wav

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "host and native tools agree"
