#!/usr/bin/env bash
# Builds the release from both Windows trees:
#   build/package/ResonantFilter-<version>-setup.exe  the setup program (NSIS)
#   build/package/ResonantFilter-<version>.zip        both DLLs by width, the manual beside each,
#                                                     README.txt on registering by hand, the license
# The version is the one the top CMakeLists.txt gives project(); the binaries carry the same.
# It also writes, for the setup tests only, build/setup-tests/package/ResonantFilter-<version>-
# setup-x64-only.exe.
# Usage: scripts/package.sh [--version]   (--version only prints the version)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

version=$(sed -n 's/^project(ResonantFilter VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
if ! [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "package: CMakeLists.txt's project() names no MAJOR.MINOR.PATCH version" >&2
  exit 1
fi
if [ "${1:-}" = "--version" ]; then
  echo "$version"
  exit 0
fi
for tool in makensis zip; do
  command -v "$tool" >/dev/null || { echo "package: no $tool: run scripts/setup.sh first" >&2; exit 127; }
done

# Only what ships: the DLL of each tree, and the manual once (both trees compile the same one).
for tree in win32 win64; do
  cmake --preset "$tree" >/dev/null
  cmake --build --preset "$tree" --target ResonantFilter
done
chm=build/win64/bin/ResonantFilter.chm
if ! cmake --build --preset win64 --target help_chm || [ ! -s "$chm" ]; then
  echo "package: the manual could not be built: scripts/setup.sh fetches the help compiler" >&2
  exit 1
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
out="$root/build/package"
mkdir -p "$out"
rm -f "$out"/ResonantFilter-*-setup.exe "$out"/ResonantFilter-*.zip

# Notepad and the setup's license page read Windows line ends.
crlf() { sed 's/\r*$/\r/' "$1"; }

# The layout both artifacts share: each DLL, stripped of its debugging symbols, in a folder
# named for its width with the manual beside it, where the page looks for it.
payload="$stage/ResonantFilter-$version"
for bits in 32 64; do
  case $bits in
    32) strip=i686-w64-mingw32-strip tree=win32 ;;
    64) strip=x86_64-w64-mingw32-strip tree=win64 ;;
  esac
  mkdir -p "$payload/$bits-bit"
  "$strip" -o "$payload/$bits-bit/ResonantFilter.dll" "build/$tree/bin/ResonantFilter.dll"
  cp "$chm" "$payload/$bits-bit/ResonantFilter.chm"
done
crlf installer/License.txt >"$payload/License.txt"

setup="$out/ResonantFilter-$version-setup.exe"
makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DFILE_VERSION="$version.0" \
  -DPAYLOAD="$payload" -DOUTFILE="$setup" installer/ResonantFilter.nsi
# For the setup tests only, where 32-bit programs cannot run: the same setup as a 64-bit program
# that installs only the 64-bit DLL. Outside build/package/, as it never ships.
test_setup="$root/build/setup-tests/package/ResonantFilter-$version-setup-x64-only.exe"
mkdir -p "$(dirname "$test_setup")"
makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DFILE_VERSION="$version.0" \
  -DPAYLOAD="$payload" -DOUTFILE="$test_setup" -DX64_ONLY installer/ResonantFilter.nsi

sed "s/@VERSION@/$version/g" installer/README.txt | crlf /dev/stdin >"$payload/README.txt"
archive="$out/ResonantFilter-$version.zip"
(cd "$stage" && zip -q -X -r "$archive" "ResonantFilter-$version")

for artifact in "$setup" "$archive"; do
  echo "package: $(realpath --relative-to="$root" "$artifact"), $(stat -c %s "$artifact") bytes"
done
