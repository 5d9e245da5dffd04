#!/usr/bin/env bash
# rfhost --page: the registered page opens in the platform's property frame while a file plays
# in real time with automation, closes with its OK button, and the played output is written.
# Usage: host_page.sh RFHOST.exe WORKDIR
set -euo pipefail
rfhost=$1 work=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$work" && cd "$work"
sox -q -n -r 22050 -c 1 -b 16 short.wav synth 1.5 sine 200-2000 vol 0.5
rm -f played.wav
said=$("$here/scripts/wine-run" "$rfhost" --page --page-close 3 --preset "Light Chime" \
  --envelope frequency:0:1.5:300:6000 short.wav played.wav | tr -d '\r')
echo "$said"
grep -q "the property page was shown and closed" <<<"$said"
grep -q "played short.wav to the end" <<<"$said"
[ "$(soxi -s played.wav)" = "$(soxi -s short.wav)" ]
# Closed before the end: nothing is written.
rm -f cut.wav
if "$here/scripts/wine-run" "$rfhost" --quiet --page --page-close 0.5 short.wav cut.wav 2>/dev/null; then
  echo "a page closed mid-stream must not report success"; exit 1
fi
[ ! -e cut.wav ] && [ ! -e cut.wav.partial ]
echo "the page opened, followed the stream and closed"
