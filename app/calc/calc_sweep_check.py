#!/usr/bin/env python3
"""Parses what elemtrix-calc --sweep wrote: the JSON must hold the three sweeps and the line
through the two added masses, and each plot must be well-formed SVG with a curve per sweep.

usage: calc_sweep_check.py SWEEP.json PLOT.svg..."""
import json
import sys
import xml.etree.ElementTree as ElementTree

with open(sys.argv[1], encoding="utf-8") as f:
    m = json.load(f)["drivers"][0]["measurement"]
assert [s["added_mass"] for s in m["sweeps"]] == [0, 20, 30], m["sweeps"]
assert m["added_mass"]["masses"] == 2, m["added_mass"]
assert m["joint"]["sweeps"] == 3 and m["joint"]["Mms"]["error"] > 0, m["joint"]
for path in sys.argv[2:]:
    curves = ElementTree.parse(path).getroot().findall("{http://www.w3.org/2000/svg}polyline")
    assert len(curves) == 3, f"{path}: {len(curves)} curves"
