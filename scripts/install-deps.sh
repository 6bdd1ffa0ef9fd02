#!/bin/sh
# Installs what building and testing need, on Debian or Ubuntu; does nothing when all is there.
set -eu
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

packages="cmake make g++ clang libclang-rt-14-dev googletest libbenchmark-dev libeigen3-dev \
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 \
  wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils fonts-liberation python3-fonttools \
  imagemagick locales chromium python3 nsis pulseaudio"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  case " $missing " in *:i386*) $sudo dpkg --add-architecture i386 ;; esac
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
# A locale with a decimal comma, to show that no process locale changes how numbers are read.
locale -a 2>/dev/null | grep -qi '^sv_SE.utf8$' || $sudo localedef -i sv_SE -f UTF-8 sv_SE.UTF-8
