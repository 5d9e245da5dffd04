# Sourced by the setup tests. Usage of every test: TEST SETUP PROBE32 PROBE64 RFHOST32 RFHOST64
# WORKDIR VERSION. Gives them a Wine prefix of their own, build/setup-prefix, with its own
# wineserver, away from the shared test prefix; helpers to run programs there and read it back.
setup_exe=$1 probe32=$2 probe64=$3 host32=$4 host64=$5 work=$6 version=$7
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export RF_WINEPREFIX="$root/build/setup-prefix"
source "$root/scripts/wine-env.sh"
# Silent setups and command-line hosts open no window: no display, so none is shared either.
unset DISPLAY
# Where 32-bit programs cannot run, the tests that can (those not setting needs_32_bit) install
# the setup built as a 64-bit program with only the 64-bit DLL (scripts/package.sh writes it),
# and skip what only a 32-bit setup, DLL or host can show.
if [ "$RF_WINE32" = 1 ]; then
  x64_only=0 widths="32 64"
  needed=("$setup_exe" "$probe32" "$probe64" "$host32" "$host64")
elif [ -n "${needs_32_bit:-}" ]; then
  echo "$(basename "$0"): skipped: this kernel cannot execute 32-bit programs, and $needs_32_bit"
  exit 77
else
  x64_only=1 widths=64
  setup_exe="$root/build/setup-tests/package/$(basename "${setup_exe%.exe}")-x64-only.exe"
  needed=("$setup_exe" "$probe64" "$host64")
fi
# skipped WHAT: says that the checks of WHAT did not run, where they cannot.
skipped() {
  echo "$(basename "$0"): skipped $*: this kernel cannot execute 32-bit programs"
}
for f in "${needed[@]}"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing: run scripts/package.sh and tests/setup/run.sh"; exit 1; }
done
mkdir -p "$work" && cd "$work" || exit 1

product="Veltrin Resonant Filter"
install_dir="C:\\Program Files\\$product"
install_unix="$WINEPREFIX/drive_c/Program Files/$product"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs a Windows program in the prefix; carriage returns are dropped from what it prints.
run() { "$RF_WINE" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
# Waits until every process of the prefix has ended. Setups and uninstallers are not waited for
# this way, as their own exit has to mean they are done; only the uninstaller's own file and
# folder go after it, by a copy of it that waits for it to end.
settle() { wineserver -w; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# fresh_prefix [win64|win32]: a new prefix of that width, 64-bit by default. $probe is the
# probe of the prefix's own width. With RF_SETUP_CLEAN_PREFIX set (run.sh sets it), a prefix
# just booted is kept there, and the next test of the run copies it rather than booting again.
fresh_prefix() {
  local arch=${1:-win64}
  local clean=${RF_SETUP_CLEAN_PREFIX:+$RF_SETUP_CLEAN_PREFIX-$arch}
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  if [ -n "$clean" ] && [ -f "$clean/system.reg" ]; then
    cp -a "$clean" "$WINEPREFIX"
  else
    WINEARCH=$arch "$RF_WINE" wineboot -i >/dev/null 2>&1
    settle
    [ -f "$WINEPREFIX/system.reg" ] || { echo "FAIL: wineboot made no prefix"; exit 1; }
    if [ -n "$clean" ]; then
      wineserver -k 2>/dev/null || true
      rm -rf "$clean" && cp -a "$WINEPREFIX" "$clean"
    fi
  fi
  if [ "$arch" = win32 ]; then probe=$probe32; else probe=$probe64; fi
}

# Every file and folder under the prefix's program folders, for "nothing else was touched". A
# 32-bit prefix has no Program Files (x86).
program_files() {
  (cd "$WINEPREFIX/drive_c" && find "Program Files" "Program Files (x86)" 2>/dev/null | sort)
}

# The registration and the Add/Remove Programs entries, less the size, which varies.
state() { run "$probe" state | grep -v '^[0-9]* entry EstimatedSize='; }

# Runs a command line exactly as written, unquoted paths with spaces included, as the README
# and the entry give them: through CreateProcess, waiting for it, with its exit code.
run_line() { run "$probe" run "$1"; }

# Checks what the quiet uninstall leaves when it returns (WHEN says which): nothing registered
# and no entry; of the folder at most the uninstaller, and once it has ended, nothing.
check_uninstalled() {
  local left
  diff <(nothing_state | grep "^$1 ") <(state | grep "^$1 ") >state.diff ||
    fail "$2: uninstalling left registration or an entry:
$(cat state.diff)"
  left=$(cd "$install_unix" 2>/dev/null && find . -mindepth 1 2>/dev/null)
  [ -z "$left" ] || [ "$left" = ./Uninstall.exe ] || fail "$2: uninstalling left $left"
  settle
  [ ! -e "$install_unix" ] || fail "$2: uninstalling left $(find "$install_unix")"
  [ "$(program_files)" = "$before" ] || fail "$2: the program folders differ from before the install:
$(diff <(echo "$before") <(program_files))"
}

# Every file under a folder with its checksum, to tell that a failed setup put them all back.
checksums() { (cd "$1" 2>/dev/null && find . -type f -exec md5sum {} + | LC_ALL=C sort -k 2); }

# The version just before VERSION, for a setup to upgrade from.
older_version() {
  echo "$version" | awk -F. '{ if ($3 > 0) print $1 "." $2 "." $3 - 1
    else if ($2 > 0) print $1 "." $2 - 1 ".0"; else print $1 - 1 ".0.0" }'
}

# What state prints when nothing of the product is registered or installed (in a 32-bit prefix,
# only its "32" lines speak for the one registry there is).
nothing_state() {
  local bits name
  for bits in 64 32; do
    for name in filter page dmo; do echo "$bits $name -"; done
    for name in mapper dmo-entry dmo-category; do echo "$bits $name no"; done
    echo "$bits mft-entry -"
    echo "$bits mft-category no"
  done
}

# A setup built from the trees' binaries, as scripts/package.sh builds one, for cases the
# release cannot show: make_setup VERSION OUTPUT [--break]. --break ships a DLL that cannot load
# as the one registered last, the 32-bit one (in a 64-bit-only setup, the 64-bit one), so its
# registration fails.
make_setup() {
  local setup_version=$1 output=$2 payload bits last=32 defines=()
  payload=$(mktemp -d)
  [ "$x64_only" = 0 ] || last=64 defines=(-DX64_ONLY)
  for bits in $widths; do
    local tree=win$bits strip=x86_64-w64-mingw32-strip
    [ "$bits" = 64 ] || strip=i686-w64-mingw32-strip
    mkdir -p "$payload/$bits-bit"
    "$strip" -o "$payload/$bits-bit/ResonantFilter.dll" "$root/build/$tree/bin/ResonantFilter.dll"
    [ "${3:-}" = --break ] && [ "$bits" = "$last" ] &&
      head -c 4096 "$root/build/$tree/bin/ResonantFilter.dll" >"$payload/$bits-bit/ResonantFilter.dll"
    cp "$root/build/win64/bin/ResonantFilter.chm" "$payload/$bits-bit/"
  done
  cp "$root/installer/License.txt" "$payload/"
  makensis -V1 -INPUTCHARSET UTF8 -DVERSION="$setup_version" -DFILE_VERSION="$setup_version.0" \
    -DPAYLOAD="$payload" -DOUTFILE="$output" "${defines[@]}" "$root/installer/ResonantFilter.nsi" ||
    fail "makensis could not build $output"
  rm -rf "$payload"
}

# Ends the test: stops the prefix's server and removes the prefix unless something failed.
finish() {
  wineserver -k 2>/dev/null || true
  if [ "$failures" -ne 0 ]; then
    echo "$(basename "$0"): $failures failure(s); the prefix is kept in $WINEPREFIX"
    exit 1
  fi
  rm -rf "$WINEPREFIX"
  echo "$(basename "$0"): $1"
}
