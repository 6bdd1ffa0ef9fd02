#!/bin/sh
# Draws the impedance plot of a driver with elemtrix-calc, renders the SVG with headless
# Chromium and fails when the picture is blank or the plot was not made.
# usage: check-plot.sh ELEMTRIX-CALC DRIVER.spk OUT-DIR
set -eu
. "$(dirname "$0")/svg-picture.sh"
calc=$1
driver=$2
out=$3
mkdir -p "$out"
svg=$(cd "$out" && pwd)/plot.svg
png=$out/plot.png
rm -f "$svg" "$png"

"$calc" --plot "$svg" "$driver" >"$out/plot.txt"
grep -q 'F1 = [0-9.]* Hz  F2 = [0-9.]* Hz' "$out/plot.txt" || { echo "no F1 and F2 printed"; exit 1; }

render_svg "$svg" "$png" 800,500 "$out/chromium.log"
# The curve's colour must be there, not only the frame and grid.
curve=$(colour_share "$png" '#1f4e9e')
echo "share of curve pixels $curve"
awk -v c="$curve" 'BEGIN { exit !(c > 0.002) }' || { echo "no curve drawn"; exit 1; }
