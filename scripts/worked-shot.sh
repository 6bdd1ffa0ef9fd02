#!/bin/sh
# Starts Elemtrix under Wine, types the worked example, presses "Kalkylera" and saves the
# window's client area as OUT.bmp. With GOLDEN, the client area must equal that image pixel for
# pixel; where it does not, OUT-diff.png shows the differing pixels in red. With --startup
# nothing is typed: the area is saved as soon as the window is first painted, and EXE may be any
# program that opens a window of Elemtrix's title.
# usage: worked-shot.sh [--startup] EXE ELEMTRIX-DRIVE.EXE OUT.bmp [GOLDEN.png|GOLDEN.bmp]
set -eu
fill=yes
if [ "$1" = --startup ]; then
  fill=no
  shift
fi
exe=$1 drive=$2 out=$3 golden=${4:-}
rm -f "$out" "${out%.bmp}-diff.png"
# Output goes to files: Wine's helpers would keep CTest's pipe open.
log="${out%.bmp}.log"
wine "$exe" </dev/null >"$log" 2>&1 &
program=$!
drive() { wine "$drive" "$@" </dev/null >>"$log" 2>&1; }
if { [ $fill = yes ] && ! drive fill; } || ! drive shot "Z:$out"; then
  drive close || kill $program
  echo "worked-shot: the window of $exe could not be typed into or shown:" >&2
  cat "$log" >&2
  exit 1
fi
drive close
wait $program
[ -z "$golden" ] && exit 0

differing=$(compare -metric AE "$golden" "$out" "${out%.bmp}-diff.png" 2>&1) || true
if [ "$differing" != 0 ]; then
  echo "worked-shot: the client area differs from $golden in $differing pixels;" \
    "see ${out%.bmp}-diff.png" >&2
  exit 1
fi
rm -f "${out%.bmp}-diff.png"
echo "the client area equals $golden"
