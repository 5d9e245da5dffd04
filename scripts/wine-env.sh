# Sourced by the Wine helpers: one 64-bit prefix in the build folder, shared by the 32-bit and
# 64-bit trees so both DLLs register side by side, each in its own registry view; quiet and
# without the .NET and HTML engines, which the tests never need and which would prompt to install.
# Without the debugger too: a crashing test program then exits at once with a failure, where the
# debugger would hold it for minutes and could let its run count as passed.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${RF_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# The virtual X display the harness starts, so windows can be created and drawn headless: the
# one it recorded beside the prefix, or where it starts looking for a free one.
export RF_DISPLAY="${RF_DISPLAY:-:77}"
if [ -f "$WINEPREFIX.display" ]; then
  DISPLAY=$(cat "$WINEPREFIX.display")
else
  DISPLAY="$RF_DISPLAY"
fi
export DISPLAY
if ! command -v wine >/dev/null 2>&1 || ! command -v wineserver >/dev/null 2>&1; then
  echo "Wine is not installed: run scripts/setup.sh first (it installs wine, wine64 and wine32:i386)." >&2
  exit 127
fi
# Debian's `wine` starts the 32-bit loader, which hands 64-bit programs on to the 64-bit one. A
# kernel built without 32-bit support cannot start it at all; there the 64-bit loader runs the
# 64-bit programs itself and 32-bit ones cannot run. RF_WINE32 says which machine this is.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  export RF_WINE32=1 RF_WINE=wine
else
  export RF_WINE32=0 RF_WINE=/usr/lib/wine/wine64
  export WINELOADER=$RF_WINE
fi
