#!/usr/bin/env python3
"""Bytes that elemtrix-calc cannot pass on as they are: a file name that is not UTF-8 (a Latin-1
"å" on Linux) and a driver name with control characters. Every output must still be what it
claims to be: UTF-8, JSON that parses, an SVG that is well-formed XML.

usage: calc_bytes_check.py ELEMTRIX-CALC WORKED.spk WORK-DIR"""
import json
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

calc, worked, work = sys.argv[1:4]
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
driver = b"b\xe5.spk"  # bytes of a Latin-1 name
shutil.copy(worked, os.path.join(os.fsencode(work), driver))
REPLACED = "b\ufffd.spk"


def run(*args):
    done = subprocess.run([calc, *args], cwd=work, capture_output=True)
    if done.returncode != 0:
        sys.exit(f"{args}: exit status {done.returncode}\n{done.stderr!r}")
    return done.stdout.decode("utf-8")  # strict: fails on any byte that is not UTF-8


def expect(condition, what):
    if not condition:
        sys.exit(what)


text = run(driver)
expect(text.startswith(f"Fil: {REPLACED}\n"), f"text:\n{text}")
csv = run(b"--csv", driver)
expect(csv.splitlines()[1].startswith(REPLACED + ","), f"CSV:\n{csv}")
document = json.loads(run(b"--json", driver))
expect(document["drivers"][0]["source"] == REPLACED, f"JSON: {document}")

plotted = run(b"--json", b"--plot", b"p\xe5.svg", driver)
expect(json.loads(plotted)["drivers"][0]["plot"]["file"] == "p\ufffd.svg", plotted)
line = run(b"--plot", b"p\xe5.svg", driver).splitlines()[-1]
expect(line.startswith("Impedanskurva: p\ufffd.svg  F1 = "), line)

# Control characters in the driver name: XML 1.0 allows none but tab, LF and CR.
run(b"--plot", b"name.svg", b"Name=a\x01\x1b\tb", b"Fs=30", b"Re=6", b"Zmax=40", b"Qms=3")
title = ElementTree.parse(os.path.join(work, "name.svg")).getroot()[1].text
expect(title == "Impedans: a\ufffd\ufffd\tb", repr(title))
print("all outputs are UTF-8, the JSON parses and the SVG is well-formed")
