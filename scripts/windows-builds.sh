#!/bin/sh
# The one place that decides which Windows builds this machine runs under Wine: the x86_64
# build under the 64-bit loader always, the i686 build where 32-bit Wine starts. Users get the
# i686 program; the x86_64 build of the same sources stands in for it where it cannot run.
# ELEMTRIX_WINDOWS_ARCH=i686 or x86_64 picks one.
#
# usage: windows-builds.sh test|run|bench
# Prints the trees to use (win32 for i686, win64 for x86_64) and, on stderr, one line that
# names them and the reason. `test` takes every build that runs, `run` and `bench` one.
set -eu
purpose=$1
case $purpose in
  test) title="Windows tests" ;;
  run) title="make run" ;;
  bench) title="make bench" ;;
  *) echo "windows-builds: unknown purpose '$purpose' (test, run or bench)" >&2; exit 2 ;;
esac

if ! /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
  echo "$title: no Windows build can run: /usr/lib/wine/wine64 does not start (install wine64)" >&2
  exit 1
fi
# The loader alone tells: it fails with "Exec format error" where the kernel refuses 32-bit code.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  can32=yes
  no32=""
else
  can32=no
  no32="this machine cannot run 32-bit programs"
fi

case ${ELEMTRIX_WINDOWS_ARCH:-} in
  "") ;;
  i686)
    if [ $can32 = no ]; then
      echo "$title: ELEMTRIX_WINDOWS_ARCH=i686, but $no32" >&2
      exit 1
    fi
    echo "$title: i686 build under 32-bit Wine (ELEMTRIX_WINDOWS_ARCH=i686); x86_64 build not run" >&2
    echo win32
    exit 0 ;;
  x86_64)
    echo "$title: x86_64 build under 64-bit Wine (ELEMTRIX_WINDOWS_ARCH=x86_64); i686 build not run" >&2
    echo win64
    exit 0 ;;
  *)
    echo "$title: ELEMTRIX_WINDOWS_ARCH='$ELEMTRIX_WINDOWS_ARCH' is neither i686 nor x86_64" >&2
    exit 1 ;;
esac

if [ $purpose = test ]; then
  if [ $can32 = yes ]; then
    echo "$title: i686 build under 32-bit Wine and x86_64 build under 64-bit Wine" >&2
    echo win32 win64
  else
    echo "$title: x86_64 build under 64-bit Wine; i686 build not run ($no32)" >&2
    echo win64
  fi
elif [ $can32 = yes ]; then
  echo "$title: i686 build under 32-bit Wine, the program users get" >&2
  echo win32
else
  echo "$title: x86_64 build under 64-bit Wine, standing in for the i686 one ($no32)" >&2
  echo win64
fi
