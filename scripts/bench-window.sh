#!/bin/sh
# The program's figures under Wine on Xvfb: start-up against its plain-C twin (the same window
# without the program behind it, the floor for drawing it) and against an empty window, one
# "Kalkylera", "Öppna" of the example's 344-point free-air sweep, a repaint of the plot control,
# "Mät impedans" and "Om Elemtrix" opened from the window menu, "Lådberäkning" opened and painted
# and its "Beräkna", the .exe's size and peak memory.
set -eu
win=$(cd "$1" && pwd)
sweep=$(cd "$(dirname "$0")/../examples" && pwd)/mid-free.zma
. "$win/wine-env.sh"
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
runs=${RUNS:-7}
out=$(mktemp)
# Output goes to files: Wine's helpers keep a pipe open long after the program ends.
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
  wine cmd /c exit >/dev/null 2>&1   # Wine's own start-up is not the program's
  for i in \$(seq $runs); do
    wine '$win/app/drive/elemtrix-drive.exe' startup 'Z:$win/app/elemtrix.exe' >'$out.p'
    echo elemtrix \$(cat '$out.p') >>'$out'
    wine '$win/app/drive/elemtrix-drive.exe' startup 'Z:$win/app/drive/calculator_twin.exe' >'$out.p'
    echo twin \$(cat '$out.p') >>'$out'
    wine '$win/app/drive/elemtrix-drive.exe' startup 'Z:$win/app/drive/empty_window.exe' Empty >'$out.p'
    echo empty \$(cat '$out.p') >>'$out'
  done
  wine '$win/window/calculator_bench.exe' 'Z:$sweep' >>'$out'
  wine '$win/app/elemtrix.exe' &
  wine '$win/app/drive/elemtrix-drive.exe' measure-dialog $runs >'$out.p'
  wine '$win/app/drive/elemtrix-drive.exe' about-open 21 >>'$out.p'
  wine '$win/app/drive/elemtrix-drive.exe' close
  wait
  cat '$out.p' >>'$out'
  wine '$win/toolkit/plot_bench.exe' >>'$out'
" >/dev/null 2>&1 </dev/null
tr -d '\r' <"$out" >"$out.p" && mv "$out.p" "$out"   # console output of Windows programs
wineserver -k 2>/dev/null || true
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
program=$(awk '$1=="elemtrix" {print $3}' "$out" | median)
twin=$(awk '$1=="twin" {print $3}' "$out" | median)
empty=$(awk '$1=="empty" {print $3}' "$out" | median)
memory=$(awk '$1=="elemtrix" {print $5}' "$out" | median)
size=$(stat -c %s "$win/app/elemtrix.exe")
echo "start-up to painted window, median of $runs: elemtrix ${program} ms, its plain-C twin ${twin} ms, empty window ${empty} ms"
awk -v p="$program" -v t="$twin" 'BEGIN {r = p / t; printf "start-up ratio to the twin %.2f (target <= 1.05): %s\n", r, r <= 1.05 ? "met" : "MISSED"}'
awk -v p="$program" -v t="$twin" -v e="$empty" 'BEGIN {printf "start-up ratio to an empty window %.2f (the twin: %.2f)\n", p / e, t / e}'
awk '$1=="calculate_ms_median" {printf "Kalkylera, median of 200: %.3f ms (target < 5 ms): %s\n", $2, $2 < 5 ? "met" : "MISSED"}' "$out"
awk '$1=="import_ms_median" {printf "Öppna of a 344-point sweep, read, fitted and filled, median of 21: %.1f ms (target < 20 ms): %s\n", $2, $2 < 20 ? "met" : "MISSED"}' "$out"
awk '$1=="measure_dialog_ms" {n++; if (n == 1) printf "\"Mät impedans\" opened from the window menu and painted, the first time (winmm loaded once it is painted): %.1f ms\n", $2; else print $2 >"'"$out.d"'"}' "$out"
dialog=$(median <"$out.d")
awk -v d="$dialog" -v n="$((runs - 1))" 'BEGIN {printf "\"Mät impedans\" opened again and painted, median of %d: %.1f ms (target < 100 ms): %s\n", n, d, d < 100 ? "met" : "MISSED"}'
awk '$1=="about_box_ms" {printf "\"Om Elemtrix\" from the window menu until it is painted, median of 21: %.1f ms (target < 100 ms): %s\n", $2, $2 < 100 ? "met" : "MISSED"}' "$out"
awk '$1=="box_dialog_open_ms_median" {printf "Lådberäkning from its menu command to painted, median of 21: %.1f ms (target < 100 ms): %s\n", $2, $2 < 100 ? "met" : "MISSED"}' "$out"
awk '$1=="box_design_ms_median" {printf "Lådberäkning, Beräkna to repainted, median of 21: %.1f ms\n", $2}' "$out"
awk '$1=="plot_repaint_ms_median" {printf "the plot repainted whole, median of 200: %.2f ms (target < 10 ms): %s\n", $2, $2 < 10 ? "met" : "MISSED"}' "$out"
awk '$1=="plot_marker_ms_median" {printf "the plot after a move of its marker, median of 200: %.2f ms\n", $2}' "$out"
awk -v s="$size" 'BEGIN {printf "elemtrix.exe size, stripped, %d bytes (target <= 256 KB): %s\n", s, s <= 262144 ? "met" : "MISSED"}'
echo "peak working set of elemtrix.exe: ${memory} KB"
rm -f "$out" "$out.p" "$out.d"
