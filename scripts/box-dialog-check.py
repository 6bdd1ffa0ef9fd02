#!/usr/bin/env python3
"""Drives "Lådberäkning" in a running Elemtrix under Wine with elemtrix-drive and holds every
figure it shows against elemtrix-calc --box --json for the same driver and box: typed values
(the worked example) to the last decimal shown, the example sweeps opened in the window with
the fit's errors within a few per cent (the window takes the fields' rounded texts, elemtrix-calc
the fitted values themselves). A box that means nothing must be an "INMATNINGSFEL" box in the
window and exit status 1 from elemtrix-calc. After the first scenario the dialog's client area
must equal GOLDEN pixel for pixel (OUT.bmp and OUT-diff.png show where not); OUT-sweeps.bmp is
the dialog after the last box of the sweeps, the README's picture.

usage: box-dialog-check.py ELEMTRIX.exe ELEMTRIX-DRIVE.exe ELEMTRIX-CALC.exe OUT.bmp GOLDEN.png
Run from the source root, in the Wine environment of the tree."""
import json
import pathlib
import subprocess
import sys
import tempfile
import time

FIGURES = ["Vb", "Fb", "fc", "Qtc", "F3", "peak_dB", "port_length", "port_speed", "excursion",
           "SPL_1W", "SPL_2.83V", "max_SPL"]
# The worked example's boxes: what the golden image shows comes first.
TYPED = [
    ["vented", "Alignment=QB3", "Port=5", "Xmax=5", "Pe=60"],
    ["sealed"],
    ["sealed", "Qtc=0.9", "Xmax=4", "Power=10"],
    ["sealed", "Vb=30"],
    ["vented", "Alignment=BB4", "Port=7", "Ports=2", "QL=10"],
    ["vented", "Vb=60", "Fb=28", "Port=4"],
]
MEANINGLESS = [["sealed", "Qtc=0.3"], ["sealed", "Qtc=0.39"]]
SWEEP_BOXES = [["sealed"], ["vented", "Port=5", "Xmax=3", "Pe=40"]]
SWEEPS = ["--sweep", "examples/mid-free.zma", "--added-sweep", "20", "examples/mid-20g.zma",
          "Sd=132"]


def run(*command):
    # Into a file: Wine's helpers would keep a pipe open.
    with tempfile.TemporaryFile() as out:
        code = subprocess.run(["wine", *command], stdout=out, stderr=subprocess.DEVNULL,
                              stdin=subprocess.DEVNULL).returncode
        out.seek(0)
        return code, out.read().decode("cp1252").replace("\r\n", "\n")


def drive(exe, *args):
    code, out = run(exe, *args)
    if code != 0:
        raise SystemExit(f"box-dialog-check: elemtrix-drive {' '.join(args)} failed ({code})")
    return out


def dialog_figures(out):
    """The rows the dialog shows: {name: (value text, error text)} and its other lines."""
    rows, lines = {}, {}
    for line in out.splitlines():
        cells = line.split("\t")
        if cells[0].isdigit():
            value, error = cells[2], cells[3].replace("\u00b1", "").strip()
            if value:
                rows[FIGURES[int(cells[0])]] = (value, error)
        else:
            lines[cells[0]] = cells[1] if len(cells) > 1 else ""
    return rows, lines


def calc_box(calc, driver, box):
    code, out = run(calc, *driver, "--box", *box, "--json")
    return code, (json.loads(out)["drivers"][0]["box"] if code == 0 else None)


def compare(what, shown, expected, value_tolerance, error_tolerance):
    faults = []
    for name in FIGURES:
        if (name in shown) != (name in expected):
            faults.append(f"{what}: {name} shown {name in shown}, elemtrix-calc {name in expected}")
            continue
        if name not in shown:
            continue
        value, error = shown[name]
        decimals = len(value.split(".")[1]) if "." in value else 0
        want = expected[name]
        if abs(float(value) - want["value"]) > value_tolerance(want["value"], decimals):
            faults.append(f"{what}: {name} {value}, elemtrix-calc {want['value']}")
        if (error == "") != (want["error"] is None):
            faults.append(f"{what}: {name} error '{error}', elemtrix-calc {want['error']}")
        elif error and abs(float(error) - want["error"]) > error_tolerance(want["error"], decimals):
            faults.append(f"{what}: {name} ± {error}, elemtrix-calc ± {want['error']}")
    return faults


def as_shown(want, decimals):
    return 0.5 * 10 ** -decimals + 1e-9 * abs(want)


def within(share):
    return lambda want, decimals: share * abs(want) + as_shown(want, decimals)


def main():
    exe, drive_exe, calc, out, golden = sys.argv[1:6]
    log = open(pathlib.Path(out).with_suffix(".log"), "w")
    faults = []
    program = subprocess.Popen(["wine", exe], stdin=subprocess.DEVNULL, stdout=log, stderr=log)
    try:
        drive(drive_exe, "fill")
        for i, box in enumerate(TYPED):
            shown, lines = dialog_figures(drive(drive_exe, "box-dialog", *box))
            if "INMATNINGSFEL" in lines:
                faults.append(f"{box}: {lines['INMATNINGSFEL']}")
                continue
            if not lines.get("source", "").startswith("Inga standardfel"):
                faults.append(f"{box}: errors said to come from {lines.get('source')}")
            code, expected = calc_box(calc, ["examples/worked.spk"], box)
            faults += [f"elemtrix-calc {box}: exit {code}"] if code else compare(
                " ".join(box), shown, expected, as_shown, as_shown)
            if i == 0:
                drive(drive_exe, "box-dialog-shot", "Z:" + str(pathlib.Path(out).resolve()))
        for box in MEANINGLESS:
            _, lines = dialog_figures(drive(drive_exe, "box-dialog", *box))
            code, _ = calc_box(calc, ["examples/worked.spk"], box)
            if "INMATNINGSFEL" not in lines or code != 1:
                faults.append(f"{box}: a box meaning nothing gave {lines} and exit {code}")
        examples = "Z:" + str(pathlib.Path("examples").resolve()).replace("/", "\\")
        drive(drive_exe, "close")
        program.wait(timeout=60)
        program = subprocess.Popen(["wine", exe], stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        drive(drive_exe, "open-sweeps", examples, "mid-free.zma", "mid-20g.zma")
        drive(drive_exe, "ok")
        time.sleep(0.2)
        for box in SWEEP_BOXES:
            shown, lines = dialog_figures(drive(drive_exe, "box-dialog", *box))
            if not lines.get("source", "").startswith("Standardfel"):
                faults.append(f"sweeps {box}: errors said to come from {lines.get('source')}")
            code, expected = calc_box(calc, SWEEPS, box)
            faults += [f"elemtrix-calc sweeps {box}: exit {code}"] if code else compare(
                "sweeps " + " ".join(box), shown, expected, within(0.01), within(0.05))
        sweeps_shot = pathlib.Path(out).with_name(pathlib.Path(out).stem + "-sweeps.bmp")
        drive(drive_exe, "box-dialog-shot", "Z:" + str(sweeps_shot.resolve()))
    finally:
        run(drive_exe, "close")
        program.wait(timeout=60)
    differing = subprocess.run(["compare", "-metric", "AE", golden, out,
                                str(pathlib.Path(out).with_name(pathlib.Path(out).stem + "-diff.png"))],
                               capture_output=True, text=True).stderr.strip()
    if differing != "0":
        faults.append(f"the dialog differs from {golden} in {differing} pixels")
    for fault in faults:
        print(fault)
    if faults:
        sys.exit(1)
    print(f"{len(TYPED) + len(SWEEP_BOXES)} boxes as elemtrix-calc designs them, "
          f"{len(MEANINGLESS)} refused alike; the dialog equals {golden}")


if __name__ == "__main__":
    main()
