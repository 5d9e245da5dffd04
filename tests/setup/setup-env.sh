# Sourced by the setup tests. Usage of every test: TEST SETUP PROBE32 PROBE64 RFHOST32 RFHOST64
# WORKDIR VERSION. Gives them a 64-bit Wine prefix of their own, build/setup-prefix, with its own
# wineserver, away from the shared test prefix; helpers to run programs there and read it back.
setup_exe=$1 probe32=$2 probe64=$3 host32=$4 host64=$5 work=$6 version=$7
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export RF_WINEPREFIX="$root/build/setup-prefix"
source "$root/scripts/wine-env.sh"
# Silent setups and command-line hosts open no window: no display, so none is shared either.
unset DISPLAY
if [ "$RF_WINE32" != 1 ]; then
  echo "$(basename "$0"): skipped: this kernel cannot execute 32-bit programs, and setups are"
  exit 77
fi
for f in "$setup_exe" "$probe32" "$probe64" "$host32" "$host64"; do
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
# Waits until every process of the prefix has ended, an uninstaller's copy of itself included.
settle() { wineserver -w; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

fresh_prefix() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  WINEARCH=win64 "$RF_WINE" wineboot -i >/dev/null 2>&1
  settle
  [ -f "$WINEPREFIX/system.reg" ] || { echo "FAIL: wineboot made no prefix"; exit 1; }
}

# Every file and folder under the prefix's program folders, for "nothing else was touched".
program_files() { (cd "$WINEPREFIX/drive_c" && find "Program Files" "Program Files (x86)" | sort); }

# The registration and the Add/Remove Programs entries, less the size, which varies.
state() { run "$probe64" state | grep -v '^[0-9]* entry EstimatedSize='; }

# What state prints when nothing of the product is registered or installed.
nothing_state() {
  local bits name
  for bits in 64 32; do
    for name in filter page dmo; do echo "$bits $name -"; done
    for name in mapper dmo-entry dmo-category; do echo "$bits $name no"; done
  done
}

# A setup built from the trees' binaries, as scripts/package.sh builds one, for cases the
# release cannot show: make_setup VERSION OUTPUT [--break-32]. --break-32 ships a 32-bit DLL
# that cannot load, so its registration fails.
make_setup() {
  local setup_version=$1 output=$2 payload
  payload=$(mktemp -d)
  mkdir -p "$payload/32-bit" "$payload/64-bit"
  i686-w64-mingw32-strip -o "$payload/32-bit/ResonantFilter.dll" "$root/build/win32/bin/ResonantFilter.dll"
  x86_64-w64-mingw32-strip -o "$payload/64-bit/ResonantFilter.dll" "$root/build/win64/bin/ResonantFilter.dll"
  [ "${3:-}" = --break-32 ] && head -c 4096 "$root/build/win32/bin/ResonantFilter.dll" >"$payload/32-bit/ResonantFilter.dll"
  cp "$root/build/win64/bin/ResonantFilter.chm" "$payload/32-bit/"
  cp "$root/build/win64/bin/ResonantFilter.chm" "$payload/64-bit/"
  cp "$root/installer/License.txt" "$payload/"
  makensis -V1 -INPUTCHARSET UTF8 -DVERSION="$setup_version" -DFILE_VERSION="$setup_version.0" \
    -DPAYLOAD="$payload" -DOUTFILE="$output" "$root/installer/ResonantFilter.nsi" ||
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
