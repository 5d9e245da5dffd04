#!/usr/bin/env bash
# A setup whose 32-bit DLL cannot be registered fails instead of claiming success, and takes
# back what it did. On a fresh machine it leaves nothing: not the 64-bit DLL it registered
# first, its files or an entry. Over an older version, in place or into another folder, it
# leaves that version as it was: its files, its registration and its entry, and hosts of both
# widths still run through it. Where 32-bit programs cannot run, the setup has only the 64-bit
# DLL, which is the one that cannot be registered, and only the 64-bit host runs.
# Usage: failed_registration.sh SETUP PROBE32 PROBE64 RFHOST32 RFHOST64 WORKDIR VERSION
set -uo pipefail
source "$(dirname "$0")/setup-env.sh"

fresh_prefix
before=$(program_files)
make_setup "$version" "$work/broken-setup.exe" --break
run "$work/broken-setup.exe" /S
status=$?
[ "$status" -ne 0 ] || fail "the setup exited 0 although a DLL cannot be registered"
diff <(nothing_state) <(state) >state.diff || fail "the failed setup left registration or an entry:
$(cat state.diff)"
[ ! -e "$install_unix" ] || fail "the failed setup left $(find "$install_unix")"
[ "$(program_files)" = "$before" ] || fail "the program folders differ from before the setup"

older=$(older_version)
make_setup "$older" "$work/older-setup.exe"
run "$work/older-setup.exe" /S || fail "the $older setup exited $?"
previous=$(state)
files=$(checksums "$install_unix")
grep -qx "64 entry DisplayVersion=$older" <<<"$previous" || fail "the $older setup made no entry"
sox -q -n -r 44100 -c 2 -b 16 input.wav synth 0.3 pinknoise

other_dir="C:\\Program Files\\Resonant Filter"
other_unix="$WINEPREFIX/drive_c/Program Files/Resonant Filter"
for target in "in place" "into another folder"; do
  line="$(windows_path "$work/broken-setup.exe") /S"
  [ "$target" = "in place" ] || line+=" /D=$other_dir"
  run_line "$line" && fail "the setup over $older $target exited 0"
  diff <(echo "$previous") <(state) >state.diff || fail "a failed setup $target changed the
registration or the entry of $older:
$(cat state.diff)"
  [ "$(checksums "$install_unix")" = "$files" ] || fail "a failed setup $target changed the files of $older"
  [ ! -e "$other_unix" ] || fail "a failed setup $target left $(find "$other_unix")"
  for bits in $widths; do
    host_var="host$bits"
    got=$(run "${!host_var}" --info | head -n 1)
    want="server $install_dir\\$bits-bit\\ResonantFilter.dll ($bits-bit)"
    [ "${got,,}" = "${want,,}" ] || fail "after a failed setup $target, the $bits-bit host reports '$got'"
    run "${!host_var}" --quiet --preset 9 input.wav "out-$bits.wav" ||
      fail "after a failed setup $target, the $bits-bit host exited $?"
  done
done
[ "$x64_only" = 0 ] ||
  skipped "undoing a registration made before another failed, and the 32-bit host after it"

finish "a failed registration fails the setup (exit $status) and leaves nothing; over $older, in place or into another folder, it leaves $older as it was"
