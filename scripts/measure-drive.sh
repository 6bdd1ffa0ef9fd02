#!/bin/sh
# Drives the measuring dialog of a running Elemtrix from outside, as a user would: opens "Mät
# impedans" with the window menu's command (winmm.dll loaded with it and not before), opens the
# two recordings of the circuit model that measure_dialog_test leaves in FOLDER (free air, and
# with 20 g), saves each curve, and presses "Använd"; then opens the two saved curves with
# "Öppna" in a fresh Elemtrix. Both must fill the same eleven fields.
# usage: measure-drive.sh ELEMTRIX.EXE ELEMTRIX-DRIVE.EXE FOLDER
set -u
exe=$1 drive=$2 folder=$3
log="$folder/measure-drive.log"
: >"$log"
# Output goes to files: Wine's helpers would keep CTest's pipe open.
drive() { wine "$drive" "$@" </dev/null 2>>"$log"; }
start() {
  wine "$exe" </dev/null >>"$log" 2>&1 &
  program=$!
}
fail() {
  drive close >/dev/null || kill $program
  echo "measure-drive: $*" >&2
  cat "$log" >&2
  exit 1
}
# The file dialogs take Windows' backslashes only.
windows() { printf 'Z:%s' "$folder/$1" | tr / '\\'; }
rm -f "$folder/drive-free.zma" "$folder/drive-mass.zma"

start
# The sound card's library comes with the dialog, not with the program.
[ "$(drive loaded winmm.dll | tr -d '\r')" = 0 ] || fail "winmm.dll is loaded before the dialog is opened"
drive measure-dialog >/dev/null || fail "the dialog did not open from the window menu"
# The dialog loads it on a thread of its own, to list the devices, once it is painted.
loaded() {
  tries=0
  until [ "$(drive loaded winmm.dll | tr -d '\r')" = 1 ]; do
    tries=$((tries + 1))
    [ $tries -le 50 ] || return 1
    sleep 0.1
  done
}
loaded || fail "winmm.dll is not loaded with the dialog"
drive open-recording "$(windows elemtrix-mass.wav)" 20 && drive save-curve "$(windows drive-mass.zma)" &&
  drive open-recording "$(windows elemtrix-free.wav)" && drive save-curve "$(windows drive-free.zma)" ||
  fail "the recordings could not be opened and their curves saved"
drive use >/dev/null && drive ok >/dev/null || fail "Använd showed no box on the fit"
used=$(drive fields)
drive close >/dev/null
wait $program

start
drive open-sweeps "$(windows "")" drive-free.zma drive-mass.zma >/dev/null && drive ok >/dev/null ||
  fail "Öppna of the saved curves showed no box on the fit"
opened=$(drive fields)
drive close >/dev/null
wait $program
if [ "$used" != "$opened" ]; then
  printf 'measure-drive: Använd filled\n%s\nbut Öppna of the same curves\n%s\n' "$used" "$opened" >&2
  exit 1
fi
echo "measure-drive: the dialog opened by the window menu's command, and Använd filling the fields as Öppna of the saved curves fills them"
