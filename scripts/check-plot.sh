#!/bin/sh
# Draws the impedance plot of a driver with elemtrix-calc, renders the SVG with headless
# Chromium and fails when the picture is blank or the plot was not made.
# usage: check-plot.sh ELEMTRIX-CALC DRIVER.spk OUT-DIR
set -eu
calc=$1
driver=$2
out=$3
mkdir -p "$out"
svg=$(cd "$out" && pwd)/plot.svg
png=$out/plot.png
rm -f "$svg" "$png"

"$calc" --plot "$svg" "$driver" >"$out/plot.txt"
grep -q 'F1 = [0-9.]* Hz  F2 = [0-9.]* Hz' "$out/plot.txt" || { echo "no F1 and F2 printed"; exit 1; }

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" --screenshot="$png" --window-size=800,500 \
  "file://$svg" >"$out/chromium.log" 2>&1
[ -s "$png" ] || { echo "chromium wrote no picture"; cat "$out/chromium.log"; exit 1; }

# A blank page has no spread of grey levels; the plot's lines and text give some.
spread=$(convert "$png" -colorspace Gray -format '%[fx:standard_deviation]' info:)
echo "grey-level spread $spread"
awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }' || { echo "the picture is blank"; exit 1; }
# The curve's colour must be there, not only the frame and grid.
curve=$(convert "$png" -fill black +opaque '#1f4e9e' -fill white -opaque '#1f4e9e' \
  -format '%[fx:mean]' info:)
echo "share of curve pixels $curve"
awk -v c="$curve" 'BEGIN { exit !(c > 0.002) }' || { echo "no curve drawn"; exit 1; }
