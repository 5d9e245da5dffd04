# Sourced by the Wine helpers: one prefix inside the build tree, quiet and without the
# .NET and HTML engines, which the tests never need and which would prompt to install.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${RF_WINEPREFIX:-$root/build/win32/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
# The virtual X display the harness starts, so windows can be created and drawn headless.
export RF_DISPLAY="${RF_DISPLAY:-:77}"
export DISPLAY="$RF_DISPLAY"
if ! command -v wine >/dev/null 2>&1 || ! command -v wineserver >/dev/null 2>&1; then
  echo "Wine is not installed: run scripts/setup.sh first (it installs wine, wine64 and wine32:i386)." >&2
  exit 127
fi
