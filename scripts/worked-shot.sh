#!/bin/sh
# Starts Elemtrix under Wine, types the worked example, presses "Kalkylera" and saves the
# window's client area as OUT.bmp. With GOLDEN, the client area must equal that image pixel for
# pixel; where it does not, OUT-diff.png shows the differing pixels in red.
# usage: worked-shot.sh ELEMTRIX.EXE ELEMTRIX-DRIVE.EXE OUT.bmp [GOLDEN.png]
set -eu
exe=$1 drive=$2 out=$3 golden=${4:-}
rm -f "$out" "${out%.bmp}-diff.png"
# Output goes to files: Wine's helpers would keep CTest's pipe open.
log="${out%.bmp}.log"
wine "$exe" </dev/null >"$log" 2>&1 &
program=$!
drive() { wine "$drive" "$@" </dev/null >>"$log" 2>&1; }
if ! drive fill || ! drive shot "Z:$out"; then
  drive close || kill $program
  echo "worked-shot: the worked example could not be typed or shown:" >&2
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
