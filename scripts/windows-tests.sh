#!/bin/sh
# Runs the whole Windows suite on every build that this machine can run, then, where both ran,
# shows that the x86_64 build is a faithful stand-in: both draw the worked example alike.
# usage: windows-tests.sh BUILD [CTEST-ARGS...]
set -u
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
trees=$("$here/windows-builds.sh" test) || exit 1
status=0
for tree in $trees; do
  "$here/wine-ctest.sh" "$build/$tree" "$@" || status=1
done
if [ "$trees" = "win32 win64" ] && [ $status = 0 ]; then
  if cmp -s "$build/win32/worked-client.bmp" "$build/win64/worked-client.bmp"; then
    echo "Windows tests: the i686 and x86_64 builds draw the worked example pixel for pixel alike"
  else
    compare "$build/win32/worked-client.bmp" "$build/win64/worked-client.bmp" \
      "$build/builds-diff.png" 2>/dev/null || true
    echo "Windows tests: the i686 and x86_64 builds draw the worked example differently;" \
      "see $build/builds-diff.png" >&2
    status=1
  fi
fi
exit $status
