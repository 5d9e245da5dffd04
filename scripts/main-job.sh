#!/usr/bin/env bash
# The project's main job. Until the filter DLL exists it prints the parameter table as a host
# reads it through IMediaParamInfo, from the native build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh >&2
if [ -f build/win32/bin/ResonantFilter.dll ] && [ -f build/win32/bin/rf-host.exe ]; then
  cmake --preset win32 >&2 && cmake --build --preset win32 >&2
  scripts/wine-harness start >&2
  trap 'scripts/wine-harness stop' EXIT
  scripts/wine-run build/win32/bin/rf-host.exe paraminfo
else
  cmake --preset native >&2 && cmake --build --preset native --target rf-paraminfo >&2
  build/native/bin/rf-paraminfo
fi
