#!/bin/sh
# Fails unless IMAGE equals GOLDEN pixel for pixel; where it does not, IMAGE-diff.png shows the
# differing pixels in red.
# usage: compare-image.sh GOLDEN IMAGE
set -eu
golden=$1 image=$2
diff="${image%.*}-diff.png"
[ -f "$image" ] || { echo "compare-image: $image was not made" >&2; exit 1; }
differing=$(compare -metric AE "$golden" "$image" "$diff" 2>&1) || true
if [ "$differing" != 0 ]; then
  echo "compare-image: $image differs from $golden in $differing pixels; see $diff" >&2
  exit 1
fi
rm -f "$diff"
echo "$image equals $golden"
