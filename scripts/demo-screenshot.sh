#!/bin/sh
# Shows the toolkit demo under Wine and takes a screenshot of the whole display meanwhile.
# Usage: demo-screenshot.sh <paint_demo.exe> <out.png>   (needs DISPLAY, xwininfo, import)
set -eu
demo=$1
png=$2
shown_ms=3000
rm -f "$png"
wine "$demo" $shown_ms </dev/null >/dev/null 2>&1 &
pid=$!
shown() {
    # Without xwininfo (x11-utils) a fixed wait stands in for the window check.
    if command -v xwininfo >/dev/null; then
        xwininfo -root -tree -display "$DISPLAY" 2>/dev/null | grep -q '"Toolkit demo"'
    else
        sleep 2
    fi
}
tries=0
until shown; do
    tries=$((tries + 1))
    if [ $tries -gt 200 ]; then
        kill $pid
        echo "the demo window did not appear" >&2
        exit 1
    fi
    sleep 0.1
done
# The window is mapped before its first paint has finished.
sleep 0.5
import -window root -display "$DISPLAY" "$png"
wait $pid
test -s "$png"
