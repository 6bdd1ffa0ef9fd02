#!/usr/bin/env python3
"""Prints a Google Benchmark run as scripts/bench.sh's table: a line per benchmark, named as the
table on standard input names it, with its verdict against its target.

usage: bench-table.py RUN.json rate|ms DECIMALS <TABLE
RUN.json is the program's --benchmark_format=json output. TABLE has a line per benchmark,
NAME|WHAT|TARGET, where TARGET 0 is none. rate: the items per second in M/s, beside the time in
ns, and TARGET the fewest per second; ms: the time in milliseconds with DECIMALS, and TARGET the
most milliseconds."""
import json
import sys

TO_NS = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}


def line(benchmark, kind, decimals, what, target):
    ns = benchmark["real_time"] * TO_NS[benchmark["time_unit"]]
    if kind == "rate":
        rate = benchmark["items_per_second"]
        shown = "%8.*f ns  %8.2f M/s" % (decimals, ns, rate / 1e6)
        verdict = "target >= %.0f M/s: %s" % (target / 1e6, "met" if rate >= target else "MISSED")
    else:
        ms = ns / 1e6
        shown = "%8.*f ms" % (decimals, ms)
        verdict = "target < %d ms: %s" % (target, "met" if ms < target else "MISSED")
    return "%-36s %s%s" % (what, shown, "" if target == 0 else "  " + verdict)


def main():
    run, kind, decimals = sys.argv[1], sys.argv[2], int(sys.argv[3])
    table = {}
    for row in sys.stdin:
        if row.strip():
            name, what, target = row.rstrip("\n").split("|")
            table[name] = (what, float(target))
    for b in json.load(open(run))["benchmarks"]:
        print(line(b, kind, decimals, *table[b["name"]]))


if __name__ == "__main__":
    main()
