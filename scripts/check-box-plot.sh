#!/bin/sh
# Draws the vented box of a driver with its band with elemtrix-calc --box --plot, renders the
# SVG with headless Chromium and fails when the picture is blank or lacks the response, either
# band, the excursion or the port's air speed.
# usage: check-box-plot.sh ELEMTRIX-CALC DRIVER.spk OUT-DIR
set -eu
. "$(dirname "$0")/svg-picture.sh"
calc=$1
driver=$2
out=$3
mkdir -p "$out"
svg=$(cd "$out" && pwd)/box.svg
png=$out/box.png
rm -f "$svg" "$png"

"$calc" "$driver" --box vented Port=7 Xmax=5 --plot "$svg" --tolerance Vas=10% Qts=3% \
  >"$out/box.txt"
grep -q "Lådans kurvor: " "$out/box.txt" || { echo "no plot reported"; exit 1; }
height=$(sed -n 's/.*<svg [^>]* height="\([0-9]*\)\.[0-9]*".*/\1/p' "$svg")

render_svg "$svg" "$png" "800,$height" "$out/chromium.log"
# Each curve and band in its own colour: the response, the 95 % and 68 % bands, the
# excursion and the port's speed.
for colour in '#1f4e9e' '#c9daf3' '#7fa7e0' '#c0392b' '#2e8b57'; do
  share=$(colour_share "$png" "$colour")
  echo "share of $colour pixels $share"
  awk -v c="$share" 'BEGIN { exit !(c > 0.0002) }' || { echo "nothing drawn in $colour"; exit 1; }
done
