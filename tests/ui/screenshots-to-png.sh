#!/usr/bin/env bash
# Turns the BMP screenshots the UI tests saved into PNG artifacts.
set -euo pipefail
cd "$1" 2>/dev/null || exit 0
for f in *.bmp; do
  [ -e "$f" ] || continue
  convert "$f" "${f%.bmp}.png"
  rm -f "$f"
done
