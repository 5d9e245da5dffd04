#!/usr/bin/env bash
# Draws the banner bitmaps (122 x 24, 8-bit palettised BMP with a 40-byte header) into
# resources/: banner-normal/-hover for "Locale" 0 and banner-alt-normal/-alt-hover for 1.
# The BMPs are checked in, so the build never needs ImageMagick; run this after a change.
# Needs ImageMagick (convert, identify), awk and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")"

width=122
height=24
scale=4 # the curve and glow are drawn large and scaled down, for smooth anti-aliasing
font=DejaVu-Sans-Condensed-Bold
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The emblem: the magnitude of a resonant low-pass (Q = 3) from two decades below its cut-off
# to a little under one above, as a polyline in the big canvas: 2..25 px across, 0 dB at
# 13 px and 0.8 px per dB, so the roll-off runs out through the bottom edge.
emblem_x0=2
emblem_x1=25
text_x=27
curve_points() {
  awk -v s="$scale" -v x0="$emblem_x0" -v x1="$emblem_x1" 'BEGIN {
    q = 3; n = 100
    for (i = 0; i <= n; i++) {
      t = i / n; w = exp(log(10) * (2.8 * t - 2))
      re = 1 - w * w; im = w / q
      db = -10 * log(re * re + im * im) / log(10)
      if (db < -20) db = -20
      printf "%.2f,%.2f ", (x0 + t * (x1 - x0)) * s, (13 - 0.8 * db) * s
    }
  }'
}

# draw NAME TOP BOTTOM CURVE GLOW TEXT ACCENT
#   TOP, BOTTOM: the background gradient; CURVE: the emblem's line, also the translucent area
#   under it; GLOW: a halo around the line (none for none); TEXT and ACCENT: the colours of
#   "Resonant" and "Filter".
draw() {
  local name=$1 top=$2 bottom=$3 curve=$4 glow=$5 text=$6 accent=$7
  local big=$work/$name-big.png small=$work/$name.png
  local w=$((width * scale)) h=$((height * scale)) points area
  points=$(curve_points)
  area="polygon $points $((emblem_x1 * scale)),$h $((emblem_x0 * scale)),$h"
  # A thick polyline is stroked as if closed by this ImageMagick unless the join is round.
  local glow_layer=()
  if [ "$glow" != none ]; then
    glow_layer=(\( -size ${w}x${h} xc:none -stroke "$glow" -strokewidth $((scale * 3))
      -fill none -draw "stroke-linejoin round polyline $points" -blur 0x$((scale * 2)) \)
      -compose screen -composite)
  fi
  convert -size ${w}x${h} "gradient:$top-$bottom" \
    \( -size ${w}x${h} xc:none -stroke none -fill "$curve" -draw "$area" \
      -channel A -evaluate multiply 0.28 +channel \) -compose over -composite \
    "${glow_layer[@]}" \
    \( -size ${w}x${h} xc:none -stroke "$curve" -strokewidth $((scale * 5 / 4)) -fill none \
      -draw "stroke-linejoin round polyline $points" \) -compose over -composite \
    -filter Triangle -resize ${width}x${height}! "$big"
  # The wording at its final size, so the font's hinting keeps it crisp; "Filter" starts
  # where "Resonant " ends, less the label's own 2-pixel margin.
  local first
  first=$(convert -font "$font" -pointsize 12 label:'Resonant ' -format '%w' info:)
  convert "$big" -font "$font" -pointsize 12 -gravity west \
    -fill "$text" -annotate +${text_x}+0 'Resonant' \
    -fill "$accent" -annotate +$((text_x + first - 2))+0 'Filter' "$small"
  convert "$small" -dither None -colors 256 -type Palette -compress None BMP3:"banner-$name.bmp"
  local info
  info=$(identify -format '%w %h %z %C' "banner-$name.bmp")
  [ "$info" = "$width $height 8 None" ] || { echo "banner-$name.bmp came out as $info" >&2; exit 1; }
}

draw normal '#1b3150' '#0a1424' '#48b8dc' none '#e6edf5' '#7cd0ec'
draw hover '#2a4c78' '#10223c' '#a6f2ff' '#2fa8e0' '#ffffff' '#b8f4ff'
draw alt-normal '#3a302a' '#17120f' '#e09a3c' none '#f2e4d2' '#f0b25c'
draw alt-hover '#5a4634' '#221a14' '#ffd488' '#e08a20' '#ffffff' '#ffd9a0'
echo "wrote $(ls banner-*.bmp | tr '\n' ' ')"
