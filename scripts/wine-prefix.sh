#!/bin/sh
# Makes the Wine prefix that the Windows tests, `make run` and the benchmarks use, once: quiet,
# unattended, fast, and with Windows' font widths. Made again when this script changes.
set -eu
prefix=$(mkdir -p "$1" && cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
ready="$prefix/.elemtrix-ready"
version=$(cksum <"$here/wine-prefix.sh")
[ -f "$ready" ] && [ "$(cat "$ready")" = "$version" ] && exit 0

# Without these fonts the title bar draws its buttons as letters and dialogs fall back to
# other faces: a set-up that lacks them is broken, not something to test around.
wine_fonts=/usr/share/wine/fonts
for font in "$wine_fonts/marlett.ttf" "$wine_fonts/tahoma.ttf"; do
  [ -f "$font" ] || { echo "wine-prefix: $font is missing (install fonts-wine)" >&2; exit 1; }
done

export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
# Without these overrides Wine may wait forever offering to install Mono and Gecko.
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
# A crashing program must fail its test, not wait on a dialog.
wine reg add 'HKCU\Software\Wine\winedbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Xvfb has no window manager: unmanaged windows show and close at once and keep their title bar.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
cp "$wine_fonts"/*.ttf "$prefix/drive_c/windows/Fonts/"
# "Arial" with Windows' widths: Liberation Sans declaring Arial's average character width.
/usr/bin/python3 "$here/make-arial-font.py" "$prefix/drive_c/windows/Fonts/elemtrix-arial.ttf"
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Elemtrix Arial Widths' /f \
  >/dev/null 2>&1
wineserver -w
echo "$version" >"$ready"
