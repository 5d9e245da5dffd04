#!/usr/bin/env bash
# Makes a fresh Debian 12 machine ready to build and test both trees.
# Idempotent and unattended: only missing packages are installed, so a second run takes seconds.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang libclang-rt-14-dev clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev pkg-config sox
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  # The release package: its setup program and its archive (scripts/package.sh).
  nsis zip
  wine wine64 wine32:i386
  gstreamer1.0-plugins-good:i386 gstreamer1.0-plugins-base:i386
  gstreamer1.0-plugins-good:amd64 gstreamer1.0-plugins-base:amd64
  # The X extensions Wine's display driver loads when present; installing without recommends
  # would leave them out, and windows would then be made without them on a fresh machine.
  libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxfixes3:i386
  libxinerama1:i386 libxcomposite1:i386 libxxf86vm1:i386
  libxrender1:amd64 libxrandr2:amd64 libxi6:amd64 libxcursor1:amd64 libxfixes3:amd64
  libxinerama1:amd64 libxcomposite1:amd64 libxxf86vm1:amd64
  xvfb x11-apps x11-utils imagemagick gnuplot-nox alsa-utils
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# A mirror caught mid-sync, or a caching proxy holding a stale Release file, serves index files
# that do not match; the first heals within minutes, so the lists are fetched again a couple of
# times. If one suite's lists never come whole, that suite is left out of the install: taking its
# newer amd64 builds without its i386 ones would split the Multi-Arch pairs wine32 needs, which
# apt reports as held broken packages.
pins=$(mktemp)
trap 'rm -f "$pins"' EXIT
apt_update() {
  local pause log
  log=$(mktemp)
  for pause in 15 45 0; do
    if as_root apt-get update -qq -o Acquire::Retries=3 2>&1 | tee "$log"; then
      grep -q '^E: ' "$log" || { rm -f "$log"; return 0; }
    fi
    [ "$pause" -eq 0 ] && break
    echo "setup: package lists incomplete; fetching again in ${pause} s" >&2
    sleep "$pause"
  done
  local suite
  for suite in $(grep -o '^E: Failed to fetch [^ ]*/dists/[^/]*/' "$log" | sed 's|.*/dists/||; s|/$||' | sort -u); do
    echo "setup: the lists of $suite stay incomplete; installing without it" >&2
    printf 'Package: *\nPin: release n=%s\nPin-Priority: -1\n\n' "$suite" >>"$pins"
  done
  rm -f "$log"
}

apt_install() {
  as_root apt-get install -y -qq --no-install-recommends -o Acquire::Retries=3 \
    -o Dir::Etc::Preferences="$pins" "$@"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

# The HTML help compiler, taken from its package without the 200 MB of sources it depends on.
fetch_chmcmd() { "$(dirname "$0")/fetch-chmcmd.sh" || echo "setup: no help compiler; the help file is skipped" >&2; }

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  fetch_chmcmd
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt_update
apt_install "${missing[@]}"
echo "setup: done"
fetch_chmcmd
