#!/usr/bin/env bash
# The setups in a fresh 32-bit prefix, as on 32-bit Windows. One whose DLL cannot be registered
# fails and leaves nothing. The release installs and registers only the 32-bit DLL, which a
# host then runs, and its quiet uninstall leaves nothing.
# Usage: win32.sh SETUP PROBE32 PROBE64 RFHOST32 RFHOST64 WORKDIR VERSION
set -uo pipefail
needs_32_bit="this test runs 32-bit setups on 32-bit Windows"
source "$(dirname "$0")/setup-env.sh"

# A 32-bit system has one registry: the probe's "32" lines.
state32() { state | grep '^32 '; }

fresh_prefix win32
before=$(program_files)

make_setup "$version" "$work/broken-setup.exe" --break
run "$work/broken-setup.exe" /S && fail "the setup exited 0 although its DLL cannot be registered"
diff <(nothing_state | grep '^32 ') <(state32) >state.diff ||
  fail "the failed setup left registration or an entry:
$(cat state.diff)"
[ "$(program_files)" = "$before" ] || fail "the program folders differ from before the failed setup"

run "$setup_exe" /S || fail "the setup exited $?"
dll="$install_dir\\32-bit\\ResonantFilter.dll"
cat >expected.txt <<EOF2
32 filter $dll
32 page $dll
32 dmo $dll
32 mapper yes
32 dmo-entry yes
32 dmo-category yes
32 mft-entry $product MFT
32 mft-category yes
32 entry $product
32 entry DisplayName=$product
32 entry DisplayVersion=$version
32 entry Publisher=Aldermoor
32 entry InstallLocation=$install_dir
32 entry UninstallString="$install_dir\\Uninstall.exe"
32 entry QuietUninstallString="$install_dir\\Uninstall.exe" /S _?=$install_dir
EOF2
diff expected.txt <(state32) >state.diff || fail "the registration or entry differs:
$(cat state.diff)"
got=$( (cd "$install_unix" 2>/dev/null && find . | sed 's|^\./||' | LC_ALL=C sort))
want=$(printf '%s\n' . 32-bit 32-bit/ResonantFilter.chm 32-bit/ResonantFilter.dll License.txt \
  Uninstall.exe | LC_ALL=C sort)
[ "$got" = "$want" ] || fail "installed files are:
$got"

sox -q -n -r 44100 -c 2 -b 16 input.wav synth 0.3 pinknoise
got=$(run "$host32" --info | head -n 1)
[ "${got,,}" = "server ${dll,,} (32-bit)" ] || fail "the host reports '$got'"
run "$host32" --quiet --preset 9 input.wav out.wav || fail "the host exited $?"

quiet=$(state32 | sed -n 's/^32 entry QuietUninstallString=//p')
run_line "$quiet" || fail "the quiet uninstall '$quiet' exited $?"
check_uninstalled 32 "the quiet uninstall"

finish "on 32-bit Windows a failed setup leaves nothing; the 32-bit DLL installs, runs and uninstalls cleanly"
