#!/usr/bin/env python3
"""Bytes that elemtrix-calc cannot pass on as they are: a file name that is not UTF-8 (a Latin-1
"å" on Linux) and a driver name with control characters. Every output must still be what it
claims to be: UTF-8, JSON that parses, an SVG that is well-formed XML. And its own Swedish
texts, with the signs beside them, come out as the UTF-8 bytes written here as numbers, however
the compiler reads the literals of the sources.

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


def run_bytes(*args):
    done = subprocess.run([calc, *args], cwd=work, capture_output=True)
    if done.returncode != 0:
        sys.exit(f"{args}: exit status {done.returncode}\n{done.stderr!r}")
    return done.stdout


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
# Swedish texts of the values' report, of the calculation and of a fitted sweep.
for name in ("mid-free.zma", "mid-20g.zma"):
    shutil.copy(os.path.join(os.path.dirname(worked), name), work)
written = run_bytes(b"--explain", b"--check", driver) + run_bytes(
    b"--sweep", b"mid-free.zma", b"--added-sweep", b"20", b"mid-20g.zma", b"Sd=132"
)
for line in (
    b"\nK\xc3\xa4nslighet Watt ",
    b"\nRIMLIGHET: Qes (0.450) avviker 15.0 % fr\xc3\xa5n Qms/(Ro-1) = 0.529\n",
    b"\nBer\xc3\xa4kning:\n",
    b" Hz, d\xc3\xa4r |Z| = \xe2\x88\x9a(Re\xc2\xb7Zmax) = ",
    b"upph\xc3\xa4ngning ",
    b"\nAdderad massa: r\xc3\xa4t linje 1/(2\xcf\x80f)\xc2\xb2 = Cms\xc2\xb7(Mms + m) genom 2 ",
    b" g = Fs/\xe2\x88\x9a(1 + m/Mms): ",
    b" Liter (luftens densitet 1.204 kg/m\xc2\xb3, ljudets hastighet 343.2 m/s)\n",
    b"\nOBS: Re \xc3\xa4r anpassat, inte m\xc3\xa4tt. Re m\xc3\xa4tt med en ohmmeter "
    b"(likstr\xc3\xb6m) \xc3\xa4r s\xc3\xa4krare: ange det som Re=OHM.\n",
    b"\nF\xc3\xa4lten:\n",
    b"\nV\xc3\xa4rdekolumnen, med \xc2\xb1 fr\xc3\xa5n de anpassade v\xc3\xa4rdenas medelfel; "
    b"deras korrelationer f\xc3\xb6rs inte vidare.\n",
):
    expect(line in written, f"{line!r} not in:\n{written.decode('utf-8', 'replace')}")
print("all outputs are UTF-8, the JSON parses and the SVG is well-formed")
