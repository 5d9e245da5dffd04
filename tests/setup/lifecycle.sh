#!/usr/bin/env bash
# The release's setup in a fresh 64-bit prefix, silently, as administrators deploy it: over an
# older version in another folder, then again over itself, then uninstalled by the entry's quiet
# uninstall, twice. After each install both DLLs are registered in their own views from the
# install folder, the platform lists the DMO, hosts of both widths run and agree through the
# installed filter, and the version resources carry the build's version; there is one entry and
# one set of files. When the quiet uninstall returns, nothing is registered or listed, and the
# folder goes right after it. Run again with nothing installed, the uninstaller fails. Where
# 32-bit programs cannot run, the same with only the 64-bit DLL, whose setup leaves the 32-bit
# view empty; what needs the 32-bit DLL or host is skipped.
# Usage: lifecycle.sh SETUP PROBE32 PROBE64 RFHOST32 RFHOST64 WORKDIR VERSION
set -uo pipefail
source "$(dirname "$0")/setup-env.sh"

installed_state() {
  local bits name
  for bits in 64 32; do
    if [ "$x64_only" = 1 ] && [ "$bits" = 32 ]; then
      nothing_state | grep '^32 '
      continue
    fi
    for name in filter page dmo; do echo "$bits $name $install_dir\\$bits-bit\\ResonantFilter.dll"; done
    for name in mapper dmo-entry dmo-category; do echo "$bits $name yes"; done
    echo "$bits mft-entry $product MFT"
    echo "$bits mft-category yes"
    [ "$bits" = 64 ] || continue
    cat <<EOF
64 entry $product
64 entry DisplayName=$product
64 entry DisplayVersion=$version
64 entry Publisher=Aldermoor
64 entry InstallLocation=$install_dir
64 entry UninstallString="$install_dir\\Uninstall.exe"
64 entry QuietUninstallString="$install_dir\\Uninstall.exe" /S _?=$install_dir
EOF
  done
}

installed_files() {
  local bits
  printf '%s\n' . License.txt Uninstall.exe
  for bits in $widths; do
    printf '%s\n' "$bits-bit" "$bits-bit/ResonantFilter.chm" "$bits-bit/ResonantFilter.dll"
  done
}

# Registration, entry and files after an install, checked against what they should be.
check_installed() {
  local when=$1 got size bytes
  got=$(state)
  diff <(installed_state) <(echo "$got") >state.diff || fail "$when: the registration or entry differs:
$(cat state.diff)"
  got=$( (cd "$install_unix" 2>/dev/null && find . | sed 's|^\./||' | LC_ALL=C sort))
  [ "$got" = "$(installed_files | LC_ALL=C sort)" ] || fail "$when: installed files are:
$got"
  for bits in $widths; do
    cmp -s "$install_unix/$bits-bit/ResonantFilter.chm" "$root/build/win64/bin/ResonantFilter.chm" ||
      fail "$when: no manual beside the $bits-bit DLL"
  done
  # The entry's size is in KB, and near what the files take.
  size=$(run "$probe" state | sed -n 's/^64 entry EstimatedSize=//p')
  bytes=$(find "$install_unix" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  [ -n "$size" ] && [ "$size" -ge $((bytes / 1024 * 9 / 10)) ] &&
    [ "$size" -le $((bytes / 1024 * 11 / 10 + 4)) ] ||
    fail "$when: EstimatedSize is '$size' KB for $bytes bytes of files"
}

fresh_prefix
before=$(program_files)

# An older version first, in the default folder, so the release's setup upgrades it from there
# into the folder /D= names: unquoted, with spaces, as the README says.
older=$(older_version)
make_setup "$older" "$work/older-setup.exe"
run "$work/older-setup.exe" /S || fail "the $older setup exited $?"
state | grep -qx "64 entry DisplayVersion=$older" || fail "the $older setup made no entry"
older_unix=$install_unix
[ -f "$older_unix/64-bit/ResonantFilter.dll" ] || fail "the $older setup installed no 64-bit DLL"
install_dir="C:\\Program Files\\Resonant Filter"
install_unix="$WINEPREFIX/drive_c/Program Files/Resonant Filter"

run_line "$(windows_path "$setup_exe") /S /D=$install_dir" || fail "the setup over $older exited $?"
check_installed "over $older"
[ ! -e "$older_unix" ] || fail "the upgrade left the $older folder: $(find "$older_unix")"

# The platform lists the DMO in the audio-effect category, in each width's view.
for bits in $widths; do
  probe_var="probe$bits"
  got=$(run "${!probe_var}" dmo)
  [ "$got" = "$product DMO" ] || fail "DMOEnum in the $bits-bit view lists '$got'"
done

# Hosts of both widths load the installed DLL of their own width, and sound the same.
sox -q -n -r 44100 -c 2 -b 16 input.wav synth 1.5 pinknoise sine 80-9000 vol 0.4
options=(--preset 9 --resonance 85 --envelope frequency:0.1:0.9:150:12000:sine)
for bits in $widths; do
  host_var="host$bits"
  want="server $install_dir\\$bits-bit\\ResonantFilter.dll ($bits-bit)"
  got=$(run "${!host_var}" --info | head -n 1)
  [ "${got,,}" = "${want,,}" ] || fail "the $bits-bit host reports '$got', not '$want'"
  run "${!host_var}" --quiet "${options[@]}" input.wav "filter-$bits.wav" ||
    fail "the $bits-bit host exited $?"
  run "${!host_var}" --quiet --dmo "${options[@]}" input.wav "dmo-$bits.wav" ||
    fail "the $bits-bit host exited $? with the DMO"
  cmp -s "filter-$bits.wav" "dmo-$bits.wav" || fail "the $bits-bit DMO and filter differ"
done
if [ "$x64_only" = 1 ]; then
  skipped "the 32-bit DMO listing, host and DLL, and settings records between the widths"
else
  cmp -s filter-32.wav filter-64.wav || fail "the installed 32-bit and 64-bit filters differ"

  # A settings record saved by either width loads in the other.
  settings=(--preset 13 --resonance 70 --wet 55)
  run "$host32" --quiet "${settings[@]}" --save-settings from32.rfs || fail "32-bit save exited $?"
  run "$host64" --quiet "${settings[@]}" --save-settings from64.rfs || fail "64-bit save exited $?"
  cmp -s from32.rfs from64.rfs || fail "the two widths save different records"
  run "$host32" --quiet --load-settings from64.rfs input.wav loaded-in-32.wav ||
    fail "the 32-bit host did not load the 64-bit record"
  run "$host64" --quiet --load-settings from32.rfs input.wav loaded-in-64.wav ||
    fail "the 64-bit host did not load the 32-bit record"
  run "$host64" --quiet "${settings[@]}" input.wav settings.wav
  cmp -s loaded-in-32.wav settings.wav && cmp -s loaded-in-64.wav settings.wav ||
    fail "a record loaded in the other width sounds different from its settings"
fi

# The installed DLLs and the hosts carry the build's version.
versioned=()
for bits in $widths; do
  host_var="host$bits"
  versioned+=("$install_dir\\$bits-bit\\ResonantFilter.dll" "$(windows_path "${!host_var}")")
done
run "$probe64" version "$version" "${versioned[@]}" || fail "version resources disagree with $version"

# Again over itself, without /D=: where it is, with the same entry, files and registration.
first=$(state)
run "$setup_exe" /S || fail "the setup over itself exited $?"
check_installed "over itself"
[ "$(state)" = "$first" ] || fail "installing again changed the registration"

# The entry's quiet uninstall, as a deployment tool runs it: when it returns, it is done.
quiet=$(state | sed -n 's/^64 entry QuietUninstallString=//p')
cp "$install_unix/Uninstall.exe" uninstaller-copy.exe
run_line "$quiet" || fail "the quiet uninstall '$quiet' exited $?"
check_uninstalled "[0-9]*" "the quiet uninstall"

# Twice: with nothing installed, the same uninstaller, found again in its folder, fails and
# changes nothing.
mkdir -p "$install_unix" && cp uninstaller-copy.exe "$install_unix/Uninstall.exe"
run_line "$quiet"
status=$?
[ "$status" -ne 0 ] || fail "uninstalling again exited 0"
diff <(nothing_state) <(state) >/dev/null || fail "uninstalling again changed the registry"
[ "$(cd "$install_unix" && ls)" = Uninstall.exe ] || fail "uninstalling again changed its folder"
rm -rf "$install_unix"

agree="both widths agree"
[ "$x64_only" = 0 ] || agree="64-bit only"
finish "installed over $older in another folder and over itself, $agree, uninstalled cleanly; again exits $status"
