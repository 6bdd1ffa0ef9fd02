# For the plot checks, sourced by check-plot.sh and check-box-plot.sh: an SVG drawn by headless
# Chromium, and what the picture holds.

# render_svg SVG PNG WIDTH,HEIGHT LOG: draws the SVG into PNG, Chromium's output in LOG, and
# exits when no picture came or it is blank; prints its grey-level spread.
render_svg() {
  profile=$(mktemp -d)
  trap 'rm -rf "$profile"' EXIT
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --screenshot="$2" --window-size="$3" \
    "file://$1" >"$4" 2>&1
  [ -s "$2" ] || { echo "chromium wrote no picture"; cat "$4"; exit 1; }
  # A blank page has no spread of grey levels; the plot's lines and text give some.
  spread=$(convert "$2" -colorspace Gray -format '%[fx:standard_deviation]' info:)
  echo "grey-level spread $spread"
  awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }' || { echo "the picture is blank"; exit 1; }
}

# colour_share PNG COLOUR: prints the share of the picture's pixels in that colour.
colour_share() {
  convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:mean]' info:
}
