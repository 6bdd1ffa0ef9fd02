#!/bin/sh
# Starts Elemtrix under Wine on the user's display. Without a display it runs on a private Xvfb,
# types the worked example, presses "Kalkylera", saves a screenshot and ends the program.
set -eu
win=$(cd "$1" && pwd)
. "$win/wine-env.sh"
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
exe="$win/app/elemtrix.exe"
drive="$win/app/drive/elemtrix-drive.exe"

if [ -n "${DISPLAY:-}" ]; then
  wine "$exe"
  exit
fi

shot="$win/elemtrix.png"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
  wine '$exe' & program=\$!
  wine '$drive' fill
  import -window root -trim +repage '$shot'
  wine '$drive' close
  wait \$program"
wineserver -k 2>/dev/null || true
echo "screenshot: $shot"
