#!/usr/bin/env bash
# Scale figures side by side, printed as ratios: resfilter against SoX end to end on a generated
# 10-minute stereo 16-bit file (second and fourth order), resfilter's peak memory on a generated
# hour, and the kernel and advance benchmarks. A measurement, never a test: nothing here fails on
# a figure. Needs the bench build's tools, sox and /usr/bin/time (Debian's `time`).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
tool=build/bench/bin/resfilter
work=build/bench/scale
mkdir -p "$work"
[ -f "$work/ten.wav" ] || sox -n -r 44100 -c 2 -b 16 "$work/ten.wav" synth 600 pinknoise vol 0.3
[ -f "$work/hour.wav" ] || sox -n -r 44100 -c 2 -b 16 "$work/hour.wav" synth 3600 pinknoise vol 0.3

# The best wall time of three runs, in seconds, and the peak resident memory of the last, in KiB.
measure() {
  local best="" line
  for _ in 1 2 3; do
    line=$(/usr/bin/time -f '%e %M' "$@" 2>&1 >/dev/null | tail -1)
    best=$(awk -v a="${best:-1e9}" -v b="${line% *}" 'BEGIN { print (b < a ? b : a) }')
  done
  echo "$best ${line#* }"
}

read -r sox_s sox_kib < <(measure sox "$work/ten.wav" "$work/sox.wav" lowpass 1000)
read -r rf2_s rf2_kib < <(measure "$tool" --quiet --frequency 1000 --resonance 50 \
  "$work/ten.wav" "$work/rf2.wav")
read -r rf4_s _ < <(measure "$tool" --quiet --frequency 1000 --resonance 50 --order 4 \
  "$work/ten.wav" "$work/rf4.wav")
read -r hour_s hour_kib < <(measure "$tool" --quiet --frequency 1000 --resonance 50 \
  "$work/hour.wav" "$work/rf-hour.wav")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "10 min stereo 16-bit, end to end (best of 3):"
echo "  sox lowpass 1000            ${sox_s} s, ${sox_kib} KiB peak"
echo "  resfilter, second order     ${rf2_s} s, ${rf2_kib} KiB peak: $(ratio "$rf2_s" "$sox_s")x sox's time"
echo "  resfilter, fourth order     ${rf4_s} s: $(ratio "$rf4_s" "$sox_s")x sox's time"
echo "1 hour stereo 16-bit: resfilter ${hour_s} s, ${hour_kib} KiB peak"
echo
build/bench/bin/kernel_benchmark --benchmark_min_time=0.2
build/bench/bin/advance_benchmark --benchmark_min_time=0.2
