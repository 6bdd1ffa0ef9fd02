#!/bin/sh
# Chooses "Om Elemtrix…" in the window menu of the running program, as a user would from its
# icon, and checks the box it opens: the name and version first, then what the program does.
# The window menu itself is read back in-process (window/calculator_test.cpp): Wine does not
# hand another process's menu out.
# usage: check-about.sh EXE ELEMTRIX-DRIVE.EXE VERSION ID
set -eu
exe=$1 drive=$2 version=$3 id=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Output goes to files: Wine's helpers would keep CTest's pipe open.
wine "$exe" </dev/null >"$work/program.log" 2>&1 &
program=$!
drive() { wine "$drive" "$@" </dev/null >>"$work/drive.txt" 2>&1; }
if ! drive command "$id" || ! drive box "Om Elemtrix"; then
  drive close || kill $program
  echo "check-about: no box \"Om Elemtrix\":" >&2
  cat "$work/drive.txt" >&2
  exit 1
fi
drive close
wait $program
first=$(tr -d '\r' <"$work/drive.txt" | head -n 1)
[ "$first" = "Elemtrix $version" ] || { echo "check-about: the box begins \"$first\"" >&2; exit 1; }
tr -d '\r' <"$work/drive.txt" | iconv -f cp1252 -t utf-8 | grep -q "^Beräknar Thiele/Small-parametrar" ||
  { echo "check-about: the box does not say what Elemtrix does" >&2; exit 1; }
echo "the window menu's \"Om Elemtrix…\" shows Elemtrix $version"
