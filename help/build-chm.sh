#!/usr/bin/env bash
# Compiles the manual: build-chm.sh CHMCMD SOURCE_DIR OUTPUT_CHM
#
# The compiler records each context-mapped topic under the project's folder on disk instead of
# its place inside the file, so the map would name paths of the build machine and no context id
# would open its topic. Run it with a copy of the project as the root directory, where the two
# coincide ("/topics/frequency.htm"). The compiler needs only libc, copied in beside it, and the
# thread library it loads at run time.
set -euo pipefail

chmcmd=$(realpath "$1")
source_dir=$(realpath "$2")
output=$3

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

cp "$source_dir"/ResonantFilter.hhp "$source_dir"/ResonantFilter.hhc \
  "$source_dir"/ResonantFilter.hhk "$root"/
cp -r "$source_dir"/topics "$root"/topics
install -m 0755 "$chmcmd" "$root"/chmcmd
libraries=$(ldd "$chmcmd" | grep -o '/[^ ]*')
libc_dir=$(dirname "$(echo "$libraries" | grep '/libc\.so')")
for library in $libraries "$libc_dir"/libpthread.so.0; do
  mkdir -p "$root$(dirname "$library")"
  cp -L "$library" "$root$library"
done

# GNU chroot changes into the new root, so the project resolves to /ResonantFilter.hhp. Without
# root, a user namespace grants the change of root.
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif unshare --user --map-root-user true 2>/dev/null; then
  as_root=(unshare --user --map-root-user)
else
  echo "build-chm: skipped: changing root needs root or user namespaces here" >&2
  exit 0
fi
if ! "${as_root[@]}" chroot "$root" /chmcmd --verbosity 0 ResonantFilter.hhp >"$root"/log 2>&1 ||
  [ ! -s "$root"/ResonantFilter.chm ]; then
  cat "$root"/log >&2
  echo "build-chm: the help compiler failed" >&2
  exit 1
fi

mkdir -p "$(dirname "$output")"
cp "$root"/ResonantFilter.chm "$output"
