#!/usr/bin/env bash
# The project's main job: builds ResonantFilter.dll and the Windows host, and prints the
# parameter table as a host reads it through IMediaParamInfo from the DLL loaded under Wine.
# Without a win32 build it falls back to the same table from the native core.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh >&2
if cmake --preset win32 >&2 && cmake --build --preset win32 --target ResonantFilter rf-host >&2; then
  scripts/wine-harness start >&2
  trap 'scripts/wine-harness stop' EXIT
  scripts/wine-run build/win32/bin/rf-host.exe paraminfo | tr -d '\r'
else
  echo "main-job: no win32 build; reading the native core instead" >&2
  cmake --preset native >&2 && cmake --build --preset native --target rf-paraminfo >&2
  build/native/bin/rf-paraminfo
fi
