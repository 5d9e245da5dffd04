#!/usr/bin/env bash
# Puts the HTML help compiler at build/tools/chmcmd, for the help target.
# Its package is downloaded and unpacked rather than installed: installing it would pull in a
# whole compiler's sources, and the one binary needs nothing beyond libc.
# Idempotent: does nothing when the tool is already there.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
package=fp-utils-3.2.2
dest="$root/build/tools/chmcmd"

if [ -x "$dest" ]; then
  echo "fetch-chmcmd: $dest present"
  exit 0
fi

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The package client downloads as an unprivileged user where it can; let it write here.
chmod 0777 "$work"

cd "$work"
if ! apt-get download -qq "$package" 2>/dev/null; then
  # A fresh machine may not have the package lists yet. One suite's lists failing (a mirror
  # mid-sync) need not matter: the package lives in the main suite.
  as_root apt-get update -qq || echo "fetch-chmcmd: some package lists failed; trying anyway" >&2
  apt-get download -qq "$package"
fi
dpkg -x "$package"_*.deb unpacked
mkdir -p "$(dirname "$dest")"
install -m 0755 unpacked/usr/bin/chmcmd-3.2.2 "$dest"
echo "fetch-chmcmd: installed $dest"
