#!/usr/bin/env bash
# Draws the 486 x 357 background of the "Hardware I/O options" dialog: a dark neutral panel
# with a faint grid and three signal paths running from jacks on the left to jacks on the right.
# Needs ImageMagick 6. Usage: routing-background.sh [OUTPUT.png]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/../images/routing_background.png}"

grid=""
for x in $(seq 0 24 486); do grid+="line $x,0 $x,357 "; done
for y in $(seq 0 24 357); do grid+="line 0,$y 486,$y "; done

paths=""
jacks=""
for row in 0 1 2; do
    y1=$((90 + row * 88))
    y2=$((70 + ((row + 1) % 3) * 100))
    # The cubic curve as short line pieces (ImageMagick 6 strokes curves and polylines closed).
    paths+="$(awk -v a="$y1" -v b="$y2" 'BEGIN {
        for (i = 0; i <= 40; ++i) { t = i / 40; u = 1 - t;
            x = u*u*u*58 + 3*u*u*t*200 + 3*u*t*t*286 + t*t*t*428;
            y = u*u*u*a + 3*u*u*t*a + 3*u*t*t*b + t*t*t*b;
            if (i > 0) printf "line %.1f,%.1f %.1f,%.1f ", px, py, x, y;
            px = x; py = y } }') "
    jacks+="circle 44,$y1 58,$y1 circle 442,$y2 456,$y2 "
done

convert -size 486x357 gradient:'#30343b'-'#15171b' \
    -stroke '#ffffff10' -strokewidth 1 -draw "$grid" \
    -fill none -stroke '#5a8fb0' -strokewidth 3 -draw "$paths" \
    -fill '#22262c' -stroke '#8a96a3' -strokewidth 3 -draw "$jacks" \
    -fill none -stroke '#00000080' -strokewidth 4 -draw "roundrectangle 2,2 483,354 10,10" \
    -strip -define png:exclude-chunks=date,time "PNG24:$out"
