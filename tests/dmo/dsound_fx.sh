#!/usr/bin/env bash
# Runs the DirectSound effect test with no sound card: a private HOME whose .asoundrc sends ALSA's
# default device (Wine's ALSA driver opens it) through `plug` (48 kHz stereo float) into a `file`
# PCM over `null`. Its file is a FIFO, drained here at real-time speed into a raw capture file, so
# Wine's mixer, blocked on the full FIFO, plays at real time instead of racing ahead and filling
# gaps with silence when the machine is busy. The test program reads the capture file.
# Usage: dsound_fx.sh TEST.exe WORKDIR [test options...]
set -uo pipefail
test_program=$1 work=$2
shift 2
here=$(cd "$(dirname "$0")/../.." && pwd)
# A prefix booted under the private HOME would keep links into it: boot it with the real one.
(source "$here/scripts/wine-env.sh" && [ -f "$WINEPREFIX/system.reg" ]) ||
    "$here/scripts/wine-harness" start >&2 || exit 1
rm -rf "$work" && mkdir -p "$work/home" || exit 1
fifo=$work/mix.fifo capture=$work/mix.raw stop=$work/stop
mkfifo "$fifo" && : >"$capture" || exit 1
cat >"$work/home/.asoundrc" <<EOF
pcm.!default {
  type plug
  slave { pcm "rf_capture"; format FLOAT_LE; rate 48000; channels 2 }
}
pcm.rf_capture {
  type file
  slave.pcm "null"
  file "$fifo"
  format "raw"
}
EOF

# 384000 bytes a second, whatever the fork of each read costs on a busy machine: every turn takes
# what has come due since the last, at least 40 ms and at most 200 ms of it, so a stall is caught up
# in small steps. Opened read-write, the FIFO never reports end of file when Wine closes the device.
pace() {
    local due now bytes pause
    exec 3<>"$fifo" 4<> <(:)
    due=${EPOCHREALTIME/./}
    while [ ! -e "$stop" ]; do
        now=${EPOCHREALTIME/./}
        ((due < now - 200000)) && due=$((now - 200000))
        bytes=$(((now - due) * 48 / 125 / 8 * 8))  # microseconds to whole frames
        if ((bytes < 15360)); then
            printf -v pause '0.%06d' $(((15360 - bytes) * 125 / 48 + 1))
            read -r -t "$pause" -u 4
            continue
        fi
        head -c "$bytes" <&3 >>"$capture" || break
        due=$((due + bytes * 125 / 48))
    done
}
pace &
pacer=$!
finish() {
    touch "$stop"
    # Zeros wake a read that waits for data, and the pacer then sees the stop file. Written without
    # blocking: once the pacer has gone, nothing reads them.
    while kill -0 "$pacer" 2>/dev/null; do
        dd if=/dev/zero of="$fifo" bs=8192 count=8 oflag=nonblock conv=notrunc status=none 2>/dev/null
        sleep 0.05
    done
    wait "$pacer"
}
trap finish EXIT

# ALSA reads ~/.asoundrc and then $XDG_CONFIG_HOME/alsa/asoundrc, so both point into the private
# HOME. PULSE_SERVER names no server, so Wine never prefers a sound server a desktop session runs.
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config PULSE_SERVER=unix:$work/no-server \
    RF_CAPTURE=$capture \
    "$here/scripts/wine-run" "$test_program" "$@"
status=$?
trap - EXIT
finish
exit "$status"
