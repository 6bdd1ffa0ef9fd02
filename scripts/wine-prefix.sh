#!/bin/sh
# Makes the Wine prefix that the Windows tests, `make run` and the benchmarks use, once: quiet,
# unattended, fast, and with Windows' font widths. Made again when this script changes.
# WINEARCH (win32 or win64) says which build it is for, and the caller's PATH which Wine.
# usage: wine-prefix.sh PREFIX
set -eu
prefix=$(mkdir -p "$1" && cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
ready="$prefix/.elemtrix-ready"
case ${WINEARCH:-} in
  win32 | win64) ;;
  *) echo "wine-prefix: WINEARCH must be win32 or win64, not '${WINEARCH:-}'" >&2; exit 1 ;;
esac
version="$WINEARCH $(cksum <"$here/wine-prefix.sh")"
[ -f "$ready" ] && [ "$(cat "$ready")" = "$version" ] && exit 0

# Without these fonts the title bar draws its buttons as letters and dialogs fall back to
# other faces: a set-up that lacks them is broken, not something to test around.
wine_fonts=/usr/share/wine/fonts
for font in "$wine_fonts/marlett.ttf" "$wine_fonts/tahoma.ttf"; do
  [ -f "$font" ] || { echo "wine-prefix: $font is missing (install fonts-wine)" >&2; exit 1; }
done

# A prefix of the other architecture cannot be reused: Wine refuses it.
if [ -f "$prefix/system.reg" ] && ! grep -q "^#arch=$WINEARCH" "$prefix/system.reg"; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
fi

# Each step's output is kept, and shown with the command when the step fails.
log="$prefix.log"
step() {
  "$@" >"$log" 2>&1 || {
    status=$?
    echo "wine-prefix: '$*' failed with exit code $status (WINEARCH=$WINEARCH, WINEPREFIX=$prefix):" >&2
    cat "$log" >&2
    exit 1
  }
}
export WINEPREFIX="$prefix" WINEDEBUG=-all
# Without these overrides Wine may wait forever offering to install Mono and Gecko.
step env WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i
# A crashing program must fail its test, not wait on a dialog.
step wine reg add 'HKCU\Software\Wine\winedbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
# Xvfb has no window manager: unmanaged windows show and close at once and keep their title bar.
step wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
step cp "$wine_fonts"/*.ttf "$prefix/drive_c/windows/Fonts/"
# "Arial" with Windows' widths: Liberation Sans declaring Arial's average character width.
step /usr/bin/python3 "$here/make-arial-font.py" "$prefix/drive_c/windows/Fonts/elemtrix-arial.ttf"
step wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Elemtrix Arial Widths' /f
step wineserver -w
rm -f "$log"
echo "$version" >"$ready"
