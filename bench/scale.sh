#!/usr/bin/env bash
# Scale figures side by side, printed as ratios: resfilter against SoX end to end on a generated
# 10-minute stereo 16-bit file (second and fourth order), resfilter's peak memory on a generated
# hour, rfhost with the DMO in the DMO Wrapper filter and with the MFT in a Media Session against
# the filter under Wine, and the kernel and advance benchmarks. A measurement, never a test:
# nothing here fails on a figure. Needs the bench build's tools, the win64 tree, sox and
# /usr/bin/time (Debian's `time`).
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

# 5.1 at 24 bits, the same way; three minutes, about the ten minutes of stereo's size.
[ -f "$work/six.wav" ] || sox -n -r 44100 -c 6 -b 24 "$work/six.wav" synth 180 pinknoise vol 0.3
echo "3 min 5.1 24-bit, end to end (best of 3):"
read -r sox6_s sox6_kib < <(measure sox "$work/six.wav" "$work/sox6.wav" lowpass 1000)
read -r rf6_s rf6_kib < <(measure "$tool" --quiet --frequency 1000 --resonance 50 \
  "$work/six.wav" "$work/rf6.wav")
echo "  sox lowpass 1000            ${sox6_s} s, ${sox6_kib} KiB peak"
echo "  resfilter, second order     ${rf6_s} s, ${rf6_kib} KiB peak: $(ratio "$rf6_s" "$sox6_s")x" \
  "sox's time ($(soxi -b "$work/rf6.wav")-bit out)"
rm -f "$work/sox6.wav" "$work/rf6.wav"

# The DMO in the platform's DMO Wrapper filter against the filter in the same graph, through
# rfhost and the registered 64-bit DLL under Wine: rfhost's own rate from Run to completion, the
# best of five runs taken in turn. Cut by the WAVE Parser (40 ms buffers), bypassed too, and in
# 0.4 s blocks of the push source, where the wrapper's cost per buffer matters less. The MFT in a
# Media Session (rfhost --mft) runs as the WAV source cuts the file, against the parser's row.
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target rfhost >/dev/null
scripts/wine-run regsvr32 /s build/win64/bin/ResonantFilter.dll
# Each run's options, by name; "--dmo" is added for the DMO's runs, "--mft" for the session's.
declare -A opts=([parser]="" [bypassed]="--bypass" [blocks]="--block 17640") best
for _ in 1 2 3 4 5; do
  for run in parser bypassed blocks; do
    for object in filter dmo mft; do
      [ "$object" = mft ] && [ "$run" != parser ] && continue
      extra=${opts[$run]}
      [ "$object" != filter ] && extra="--$object $extra"
      # Wine's GStreamer bridge sometimes kills a session's run: that run counts as no rate.
      # shellcheck disable=SC2086 # a list of options
      rate=$(scripts/wine-run build/win64/bin/rfhost.exe $extra --frequency 1000 --resonance 50 \
        "$work/ten.wav" "$work/host.wav" 2>&1 >/dev/null |
        sed -n 's/.*: \([0-9.]*\) M frames\/s.*/\1/p') || true
      key="$run $object"
      best[$key]=$(awk -v a="${best[$key]:-0}" -v b="${rate:-0}" 'BEGIN { print (b > a ? b : a) }')
    done
  done
done
echo "10 min stereo 16-bit through rfhost under Wine (M frames/s, best of 5):"
for run in parser bypassed blocks; do
  printf '  %-9s  filter %5s, DMO %5s: %sx the filter'"'"'s rate\n' "$run" \
    "${best[$run filter]}" "${best[$run dmo]}" "$(ratio "${best[$run dmo]}" "${best[$run filter]}")"
done
printf '  session    MFT in a Media Session %5s: %sx the filter'"'"'s rate in the graph\n' \
  "${best[parser mft]}" "$(ratio "${best[parser mft]}" "${best[parser filter]}")"
rm -f "$work/host.wav"

# The filter's own cost in Wine's graph (filtering minus bypassed, same graph) against the native
# core's time for the same frames (resfilter's own rate, in the core alone).
frames=26460000
native=$("$tool" --frequency 1000 --resonance 50 "$work/ten.wav" "$work/rf2.wav" 2>&1 >/dev/null |
  sed -n 's/.*: \([0-9.]*\) M frames\/s.*/\1/p')
own=$(awk -v f="${best[parser filter]}" -v b="${best[bypassed filter]}" -v n="$frames" \
  'BEGIN { printf "%.3f", n / (f * 1e6) - n / (b * 1e6) }')
core=$(awk -v r="$native" -v n="$frames" 'BEGIN { printf "%.3f", n / (r * 1e6) }')
echo "filter's own cost in the graph: ${own} s (filtering minus bypassed) against the native" \
  "core's ${core} s: $(ratio "$own" "$core")x"
echo

# Moving ramps against the static kernel, per channel count and order, the two run by turns in
# one process (the median over turns): separate runs on a shared machine drift by more than the
# gap. "avx:0" is the path of processors without AVX and of the Windows builds.
kernels=$(build/bench/bin/kernel_benchmark --benchmark_min_time=1 \
  --benchmark_filter='RampAgainstStatic' 2>/dev/null | grep 'moving_pct')
echo "moving Frequency ramp against the static kernel (float, low-pass, by turns):"
echo "$kernels" | awk '{ split($1, k, "/"); pct = $NF; sub(/moving_pct=/, "", pct)
    printf "  %-8s %-8s %-6s %5.1f %%\n", k[2], k[3], k[4], pct }'
echo
build/bench/bin/kernel_benchmark --benchmark_min_time=0.2
build/bench/bin/advance_benchmark --benchmark_min_time=0.2
