#!/bin/sh
# Runs a Windows tree's tests under its own Wine on a private Xvfb display, then stops that
# tree's wineserver (and only that one).
# usage: wine-ctest.sh TREE [CTEST-ARGS...]
set -u
tree=$1
shift
. "$tree/wine-env.sh"
xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$tree" "$@"
status=$?
wineserver -k 2>/dev/null
exit $status
