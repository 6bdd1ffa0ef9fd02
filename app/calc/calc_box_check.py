#!/usr/bin/env python3
"""Parses what elemtrix-calc --sweep --box wrote: the driver's "box" object must hold every
figure of a vented box with a port as {"value", "error", "dominant"}, its errors known and the
typed Sd with its tolerance no longer exact; the drawing must be well-formed SVG with the
response, both bands and the three panels.

usage: calc_box_check.py BOX.json BOX.svg"""
import json
import sys
import xml.etree.ElementTree as ElementTree

with open(sys.argv[1], encoding="utf-8") as f:
    driver = json.load(f)["drivers"][0]
box = driver["box"]
assert box["type"] == "vented" and box["alignment"] == "QB3", box
for name in ["Vb", "Fb", "F3", "peak_dB", "port_length", "port_speed", "excursion", "SPL_1W"]:
    figure = box[name]
    assert set(figure) == {"value", "error", "dominant"}, (name, figure)
    assert figure["value"] == figure["value"] and figure["error"] >= 0, (name, figure)
for name in ["Vb", "F3", "SPL_1W"]:
    assert box[name]["error"] > 0 and box[name]["dominant"], (name, box[name])
assert "fc" not in box and "Qtc" not in box, box
assert "Sd" not in box["exact"] and box["unknown"] == [], box
assert box["plot"] == "sweepbox.svg", box
assert driver["measurement"]["plot"] is None, driver["measurement"]["plot"]

svg = "{http://www.w3.org/2000/svg}"
root = ElementTree.parse(sys.argv[2]).getroot()
assert len(root.findall(svg + "polygon")) == 2, "the 68 % and 95 % bands"
assert len(root.findall(svg + "polyline")) == 3, "response, excursion, port speed"
texts = "".join(t.text or "" for t in root.iter(svg + "text"))
for part in ["Frekvensgång (dB)", "Utslag (mm)", "Port (m/s)", "Xmax 4 mm", "F3 = "]:
    assert part in texts, part
