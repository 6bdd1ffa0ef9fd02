#!/bin/sh
# The README's pictures of "Öppna" with the example sweeps: Elemtrix under Wine on a private
# Xvfb, Sd and the added mass typed, the free-air and the 20 g sweep chosen in the real dialog;
# one picture with the box that tells how well they fit, one of the window after it.
# usage: sweep-screenshots.sh TREE OUT-BOX.png OUT-WINDOW.png
set -eu
win=$(cd "$1" && pwd)
box=$2 window=$3
# The dialog takes a Windows path: backslashes, on the drive Wine maps to /.
examples="Z:$(cd "$(dirname "$0")/../examples" && pwd | tr / '\\')"
. "$win/wine-env.sh"
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
drive="$win/app/drive/elemtrix-drive.exe"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
  wine '$win/app/elemtrix.exe' >/dev/null 2>&1 & program=\$!
  wine '$drive' open-sweeps '$examples' mid-free.zma mid-20g.zma
  sleep 1
  import -window root -trim +repage '$box'
  wine '$drive' ok
  sleep 1
  import -window root -trim +repage '$window'
  wine '$drive' close
  wait \$program" </dev/null
wineserver -k 2>/dev/null || true
echo "screenshots: $box $window"
