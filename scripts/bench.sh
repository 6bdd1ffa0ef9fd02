#!/bin/sh
# Measures the engine and elemtrix-calc in a release tree and says whether each figure meets
# its target. usage: bench.sh BUILD-TREE
set -eu
tree=$1
calc=$(cd "$tree" && pwd)/app/calc/elemtrix-calc
here=$(cd "$(dirname "$0")" && pwd)
FILES=10000
RUNS=3

echo "== engine (Google Benchmark, $tree/engine/engine_bench)"
json=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$json" "$work"' EXIT
# Runs a Google Benchmark program and prints a line for each of its benchmarks, named and held
# to its target as the table on standard input says (scripts/bench-table.py).
# usage: benchmark_table PROGRAM rate|ms DECIMALS <TABLE
benchmark_table() {
  "$1" --benchmark_format=json --benchmark_min_time=0.5 >"$json" 2>/dev/null
  python3 "$here/bench-table.py" "$json" "$2" "$3"
}

# benchmark|what|drivers or files per second needed (0: no target)
benchmark_table "$tree/engine/engine_bench" rate 1 <<'TABLE'
CalculatePath|Kalkylera path per driver|2e6
ComputeResults|compute_results alone|1e7
SplitDriverFile|split_driver_file, 198-byte file|0
PropagateUncertainty|uncertainty, ten tolerances|0
ExplainCalculation|explanation of one driver|0
TABLE

echo "== measurement (Google Benchmark, $tree/measure/measure_bench)"
# benchmark|what|milliseconds allowed (0: no target)
benchmark_table "$tree/measure/measure_bench" ms 2 <<'TABLE'
ReadAndFit344|read and fit, 344-point sweep|0
ReadAndFit10000|read and fit, 10,000-point sweep|0
FitRichestModel400|richest model, 400-point sweep|20
FitThreeSweepsJointly|three 400-point sweeps jointly|60
Read10000|read alone, 10,000-point sweep|0
Analyse/Own|analyse 10 s 48 kHz, our stimulus|50
Analyse/OwnDrift|the same, clocks 100 ppm apart|0
Analyse/Sweep|analyse 10 s 48 kHz, a sweep|50
Analyse/Noise|analyse 10 s 48 kHz, noise|50
Fft/67200|real FFT, 67,200 (48 kHz period)|0
Fft/61740|real FFT, 61,740 (44.1 kHz period)|0
Fft/100003|real FFT, 100,003 (a prime)|0
FftPlanned/67200|the same planned afresh, 67,200|0
FftPlanned/100003|the same planned afresh, 100,003|0
TABLE
# The largest file the reader accepts: 1,000,000 points in nearly 64 MB.
"$(dirname "$0")/make-sweeps.py" --largest "$work/largest.txt"
set -- $("$tree/measure/measure_memory" "$work/largest.txt")
awk -v points="$1" -v seconds="$2" -v rss="$3" -v bytes="$(wc -c <"$work/largest.txt")" 'BEGIN {
  printf "largest file, %d points, %.1f MB: read and fit %.2f s, peak memory %.1f MB  target < 100 MB: %s\n",
    points, bytes / 1048576, seconds, rss, rss < 100 ? "met" : "MISSED"
}'
rm "$work/largest.txt"

echo "== box design (Google Benchmark, $tree/enclosure/enclosure_bench)"
benchmark_table "$tree/enclosure/enclosure_bench" ms 3 <<'TABLE'
VentedDesign|vented design (QB3) with its errors|1
VentedChebyshevDesign|vented design (C4) with its errors|1
SealedDesign|closed design with its errors|1
TABLE

echo "== box drawing (Google Benchmark, $tree/app/calc/calc_bench)"
benchmark_table "$tree/app/calc/calc_bench" ms 3 <<'TABLE'
BoxPlot|vented box designed and drawn|50
BoxDrawingAlone|its drawing alone|0
TABLE
# The whole command, reading the file and writing the plot (flushed to disk), beside the plain
# run of the same file: best of RUNS wall-clock runs each.
printf 'Testelement\r\n30\r\n6\r\n40\r\n500\r\n50\r\n3\r\n0.45\r\n0.39\r\n25\r\n20\r\n' >"$work/worked.spk"
best_run() {
  best=1e9
  r=0
  while [ $r -lt $RUNS ]; do
    start=$(date +%s.%N)
    "$calc" "$work/worked.spk" "$@" >/dev/null
    end=$(date +%s.%N)
    best=$(echo "$start $end $best" | awk '{ t = $2 - $1; print (t < $3 ? t : $3) }')
    r=$((r + 1))
  done
  echo "$best"
}
boxed=$(best_run --box vented Port=7 Xmax=5 --plot "$work/box.svg" \
  --tolerance Fs=0.5 Vas=10% Qts=3% Qes=3% FsAdded=0.5)
alone=$(best_run)
awk -v boxed="$boxed" -v alone="$alone" 'BEGIN {
  printf "elemtrix-calc --box --plot, whole   %8.1f ms  (the plain run %.1f ms)\n", 1000 * boxed, 1000 * alone
}'

echo "== elemtrix-calc over $FILES small driver data files"
mkdir "$work/spk"
i=0
while [ $i -lt $FILES ]; do
  printf 'Element %d\r\n%d\r\n6.%d\r\n40\r\n500\r\n50\r\n3\r\n0.45\r\n0.39\r\n25\r\n20\r\n' \
    $i $((28 + i % 5)) $((i % 10)) >"$work/spk/d$i.spk"
  i=$((i + 1))
done
cd "$work/spk"

# Best of RUNS wall-clock seconds for elemtrix-calc with the given options over all files.
best_time() {
  best=""
  r=0
  while [ $r -lt $RUNS ]; do
    start=$(date +%s.%N)
    "$calc" *.spk "$@" >/dev/null # files first: --tolerance takes all that follows
    end=$(date +%s.%N)
    best=$(echo "$start $end ${best:-1e9}" | awk '{ t = $2 - $1; print (t < $3 ? t : $3) }')
    r=$((r + 1))
  done
  echo "$best"
}

csv=$(best_time --csv)
plain=$(best_time)
tolerance=$(best_time --tolerance Fs=0.5 FsAdded=0.5 AddedMass=0.1 Sd=2% Re=1% Zmax=1% Qms=2% Qes=2% Vas=5%)
explain=$(best_time --explain)
awk -v csv="$csv" -v plain="$plain" -v tol="$tolerance" -v expl="$explain" -v n=$FILES 'BEGIN {
  printf "--csv                        %6.3f s  %7.0f files/s  target < 1 s: %s\n", csv, n / csv, csv < 1 ? "met" : "MISSED"
  printf "plain text                   %6.3f s  %7.0f files/s\n", plain, n / plain
  printf "--tolerance (nine inputs)    %6.3f s  %5.2f x plain  target <= 3 x: %s\n", tol, tol / plain, tol <= 3 * plain ? "met" : "MISSED"
  printf "--explain                    %6.3f s  %5.2f x plain  target <= 3 x: %s\n", expl, expl / plain, expl <= 3 * plain ? "met" : "MISSED"
}'

# The whole analysis of a recording, as a user runs it: a 10 s, 48 kHz recording of our stimulus
# through a 6 ohm resistor behind Rref=10, read, analysed and its report and sweep file written.
echo "== elemtrix-calc --impedance, a 10 s 48 kHz 16-bit recording"
cd "$work"
"$calc" --stimulus stimulus.wav --seconds 10 >/dev/null
python3 "$here/../app/calc/calc_wav_tool.py" resistor stimulus.wav recording.wav 0.375
# Best of nine, wall clock and the processor time it used (user and system), which a busy
# machine does not stretch.
python3 - "$calc" <<'PY'
import resource, subprocess, sys, time
best_wall = best_cpu = 1e9
for _ in range(9):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run([sys.argv[1], "--impedance", "recording.wav", "Rref=10", "--out", "recording.zma"],
                   stdout=subprocess.DEVNULL, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    best_wall, best_cpu = min(best_wall, wall), min(best_cpu, cpu)
print("--impedance, report and sweep file  %6.1f ms (processor %.1f ms)  target < 100 ms: %s"
      % (best_wall * 1000, best_cpu * 1000, "met" if best_wall < 0.1 else "MISSED"))
PY
