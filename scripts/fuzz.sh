#!/bin/sh
# Runs every libFuzzer target of a fuzz tree (executables named *_fuzz) for SECONDS each and
# prints each one's executions and final coverage. Each run starts afresh from the target's
# corpus in fuzz/corpus/<target>/ (when there is one), so that the figures of two runs compare;
# what it finds goes to <tree>/fuzz/<target>/, crashes beside it. Input lengths grow from the
# corpus as libFuzzer sees fit, up to its default 4096 bytes, or up to the length that a target
# takes at all (below): longer inputs would only be made to be refused.
# usage: fuzz.sh TREE SECONDS
set -eu
tree=$(cd "$1" && pwd)
seconds=$2
src=$(cd "$(dirname "$0")/.." && pwd)
fuzzers=$(find "$tree" -name '*_fuzz' -type f -perm -u+x ! -path '*/CMakeFiles/*' | sort)
[ -n "$fuzzers" ] || { echo "no fuzz targets in $tree"; exit 1; }

longest_input() {
  case $1 in
    sweep_file_fuzz) echo "-max_len=1024" ;;
  esac
}

status=0
summary=""
for fuzzer in $fuzzers; do
  name=$(basename "$fuzzer")
  found=$tree/fuzz/$name
  rm -rf "$found"
  mkdir -p "$found"
  corpus=$src/fuzz/corpus/$name
  [ -d "$corpus" ] || corpus=""
  log=$tree/fuzz/$name.log
  echo "== $name, $seconds s${corpus:+, from fuzz/corpus/$name}"
  if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 $(longest_input "$name") \
      -artifact_prefix="$tree/fuzz/$name-" "$found" $corpus >"$log" 2>&1; then
    echo "$name found a fault: see $log"
    status=1
  fi
  # The last status line holds the final coverage: "#N DONE cov: E ft: F corp: U/S ...".
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -n 1)
  edges=$(echo "$last" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  features=$(echo "$last" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  inputs=$(echo "$last" | sed -n 's/.* corp: \([0-9]*\/[0-9A-Za-z]*\).*/\1/p')
  summary="$summary$(printf '%-20s %12s %9s %7s %9s %12s' "$name" "${runs:-?}" "${rate:-?}" \
    "${edges:-?}" "${features:-?}" "${inputs:-?}")
"
done
echo
printf '%-20s %12s %9s %7s %9s %12s\n' target executions "per s" edges features corpus
printf '%s' "$summary"
exit $status
