#!/bin/sh
# Checks the zip and the installer as a user meets them: the zip holds exactly the shipped
# files; the installer installs silently into a fresh folder of a fresh Wine prefix, with its
# shortcut, its entry among the installed programs and .spk files opening in Elemtrix; the
# installed programs run, and a .spk opened through the shell fills the window; the silent
# uninstall leaves nothing of Elemtrix behind. Where another program has .spk already, the
# installer only adds Elemtrix to its "Öppna med" list, and the uninstaller takes only that back.
# usage: check-packages.sh VERSION SETUP ZIP STAGE ELEMTRIX-DRIVE WORK WHICH
# WHICH names the installer in the last line; WINEARCH and PATH say which Wine runs it.
set -eu
version=$1 setup=$2 zip=$3 stage=$4 drive=$5 work=$6 which=$7
here=$(cd "$(dirname "$0")" && pwd)
shipped="elemtrix.exe elemtrix-calc.exe Lasmig.txt examples/worked.spk"
fail() { echo "FAIL: $*" >&2; exit 1; }

listed=$(python3 -c 'import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
print(*z.namelist(), z.testzip() or "")' "$zip")
[ "$listed" = "$shipped " ] || fail "the zip holds: $listed"

rm -rf "$work"
mkdir -p "$work"
# Wine must not add menu entries of its own to the desktop this runs on.
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null || true' EXIT
"$here/../scripts/wine-prefix.sh" "$WINEPREFIX"
drive_c="$WINEPREFIX/drive_c"
folder='C:\Mina program\Elemtrix'
installed="$drive_c/Mina program/Elemtrix"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Elemtrix.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Elemtrix'
# Every file of the prefix apart from the temporary ones that Windows clears itself, and every
# registry line that names Elemtrix (keys without the time they were written). Wine writes the
# registry files when its server stops.
snapshot() {
  wineserver -w
  (cd "$drive_c" && find . | grep -iv '/temp/' | sort)
  grep -i 'elemtrix' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | sed 's/^\(.*\]\) [0-9]*$/\1/' || true
}
# Wine runs programs with their output kept from CTest, which would otherwise wait for every
# process that inherited it.
run() { log=$1; shift; wine "$@" </dev/null >"$work/$log" 2>&1; }
classes='HKLM\Software\Classes'
# A registry value's data ("" for the default value), or "(none)" when key or value is missing.
reg_value() {
  if [ -z "$2" ]; then set -- "$1" /ve; else set -- "$1" /v "$2"; fi
  run query.txt reg query "$@" || { echo "(none)"; return; }
  tr -d '\r' <"$work/query.txt" | sed -n 's/^ *[^ ].* *REG_[A-Z_]* *//p' | head -n 1
}
# The silent install into the folder above, and the silent uninstall.
install() { run install.txt "$setup" /S '/D=C:\Mina' 'program\Elemtrix' || fail "the installer failed"; }
uninstall() { run uninstall.txt "$folder\\avinstallera.exe" /S || fail "the uninstaller failed"; }

# A fresh folder in one that is there already, as Program Files is.
mkdir "$drive_c/Mina program"
snapshot >"$work/before.txt"

# /D= must be the last argument and unquoted; wine quotes an argument with a blank, so the
# folder goes as two.
install
found=$(cd "$installed" && find . -type f | sort | tr '\n' ' ')
[ "$found" = "./Lasmig.txt ./avinstallera.exe ./elemtrix-calc.exe ./elemtrix.exe ./examples/worked.spk " ] ||
  fail "installed: $found"
for file in $shipped; do
  cmp -s "$stage/$file" "$installed/$file" || fail "$file is not the file shipped"
done
grep -qaF "$folder\\elemtrix.exe" "$shortcut" || fail "no Start-menu shortcut to elemtrix.exe"

run registration.txt reg query "$key" || fail "not among the installed programs"
value() { tr -d '\r' <"$work/registration.txt" | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
[ "$(value DisplayName)" = "Elemtrix" ] || fail "DisplayName $(value DisplayName)"
[ "$(value DisplayVersion)" = "$version" ] || fail "DisplayVersion $(value DisplayVersion)"
[ "$(value UninstallString)" = "\"$folder\\avinstallera.exe\"" ] ||
  fail "UninstallString $(value UninstallString)"
# The size in KB, as the list of installed programs shows it.
bytes=$(cat "$installed"/*.* "$installed"/examples/* | wc -c)
kb=$(($(value EstimatedSize)))
[ $((bytes / 1024 - 1)) -le "$kb" ] && [ "$kb" -le $((bytes / 1024 + 5)) ] ||
  fail "EstimatedSize $kb KB for $bytes bytes"

run startup.txt "$drive" startup "$folder\\elemtrix.exe" || fail "no window: $(cat "$work/startup.txt")"
grep -q '^exit_code 0' "$work/startup.txt" || fail "elemtrix.exe: $(cat "$work/startup.txt")"

run calc.txt "$folder\\elemtrix-calc.exe" "$folder\\examples\\worked.spk" ||
  fail "elemtrix-calc.exe failed"
for row in 'Ro +6\.67 +ohm' 'Mms +45\.45 +Gram' 'Bl +10\.70 +Bl' 'Res +34\.00 +ohm'; do
  grep -Eq "^$row" "$work/calc.txt" || fail "elemtrix-calc.exe printed no $row"
done

# No program had .spk: it is Elemtrix's now, with its icon and the open verb, and a driver file
# opened through the shell, as a double click opens it, comes up in the window's fields.
progid="$classes\\Elemtrix.spk"
[ "$(reg_value "$classes\\.spk" "")" = "Elemtrix.spk" ] || fail ".spk is not Elemtrix's"
[ "$(reg_value "$progid\\DefaultIcon" "")" = "$folder\\elemtrix.exe,0" ] || fail "no .spk icon"
[ "$(reg_value "$progid\\shell\\open\\command" "")" = "\"$folder\\elemtrix.exe\" \"%1\"" ] ||
  fail "open verb: $(reg_value "$progid\\shell\\open\\command" "")"
run start.txt start "$folder\\examples\\worked.spk" || fail "the shell did not open worked.spk"
run fields.txt "$drive" fields || fail "no window for worked.spk: $(cat "$work/fields.txt")"
run close.txt "$drive" close
[ "$(head -n 2 "$work/fields.txt" | tr -d '\r' | tr '\n' ' ')" = 'Testelement 8" 30 ' ] ||
  fail "worked.spk opened through the shell shows: $(cat "$work/fields.txt")"

# The uninstaller goes on from a copy of itself, so wait until Wine is idle.
uninstall
snapshot >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >&2 || fail "the uninstaller left the lines above"
[ "$(reg_value "$classes\\.spk" "")" = "(none)" ] || fail "the uninstaller left .spk"

# Another program's .spk stays its own: Elemtrix joins the "Öppna med" list, and leaves it again.
run owner.txt reg add "$classes\\.spk" /ve /d Annat.Program /f || fail "reg add failed"
install
[ "$(reg_value "$classes\\.spk" "")" = "Annat.Program" ] || fail "the installer took .spk"
[ "$(reg_value "$classes\\.spk\\OpenWithProgids" Elemtrix.spk)" = "" ] ||
  fail "Elemtrix is not in the Öppna med list of .spk"
uninstall
[ "$(reg_value "$classes\\.spk" "")" = "Annat.Program" ] || fail "the uninstaller took .spk"
[ "$(reg_value "$classes\\.spk\\OpenWithProgids" Elemtrix.spk)" = "(none)" ] ||
  fail "the uninstaller left Elemtrix in the Öppna med list of .spk"
[ "$(reg_value "$progid" "")" = "(none)" ] || fail "the uninstaller left $progid"
echo "installed, ran and uninstalled Elemtrix $version: $which"
