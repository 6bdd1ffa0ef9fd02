#!/bin/sh
# Makes the Wine prefix that the Windows tests run in, once: quiet, unattended and fast.
set -eu
prefix=$1
[ -f "$prefix/.elemtrix-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
# Without these overrides Wine may wait forever offering to install Mono and Gecko.
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
# A crashing program must fail its test, not wait on a dialog.
wine reg add 'HKCU\Software\Wine\winedbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Xvfb has no window manager: unmanaged windows show and close at once and keep their title bar.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
wineserver -w
touch "$prefix/.elemtrix-ready"
