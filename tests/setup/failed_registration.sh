#!/usr/bin/env bash
# A setup whose 32-bit DLL cannot be registered fails instead of claiming success, and takes
# back what it did: the 64-bit DLL it registered first, its files and its entry.
# Usage: failed_registration.sh SETUP PROBE32 PROBE64 RFHOST32 RFHOST64 WORKDIR VERSION
set -uo pipefail
source "$(dirname "$0")/setup-env.sh"

fresh_prefix
before=$(program_files)
make_setup "$version" "$work/broken-setup.exe" --break-32
run "$work/broken-setup.exe" /S
status=$?
settle
[ "$status" -ne 0 ] || fail "the setup exited 0 although the 32-bit DLL cannot be registered"
diff <(nothing_state) <(state) >state.diff || fail "the failed setup left registration or an entry:
$(cat state.diff)"
[ ! -e "$install_unix" ] || fail "the failed setup left $(find "$install_unix")"
[ "$(program_files)" = "$before" ] || fail "the program folders differ from before the setup"

finish "a failed registration fails the setup (exit $status) and leaves nothing"
