#!/usr/bin/env python3
"""Lays out the files that are shipped and packs them into the portable zip.

usage: stage.py VERSION STAGE_DIR ZIP elemtrix.exe elemtrix-calc.exe worked.spk Lasmig.txt

Every staged file and zip entry carries the time of the last commit (or SOURCE_DATE_EPOCH), and
the zip has a fixed order, fixed attributes and fixed compression, so that the same commit
always gives the same bytes. The installer is made from the same folder.
"""
import os
import shutil
import subprocess
import sys
import time
import zipfile

ZIP_EARLIEST = 315532800  # 1980-01-01, the first time a zip entry can hold


def release_time():
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    here = os.path.dirname(os.path.abspath(__file__))
    out = subprocess.run(["git", "-C", here, "log", "-1", "--format=%ct"],
                         capture_output=True, text=True)
    if out.returncode != 0 or not out.stdout.strip():
        sys.exit("stage.py: no git history here: set SOURCE_DATE_EPOCH")
    return int(out.stdout)


def readme_bytes(path, version):
    # Notepad on every Windows reads Windows-1252 with CR LF.
    text = open(path, encoding="utf-8").read().replace("@VERSION@", version)
    return text.replace("\n", "\r\n").encode("cp1252")


def main(argv):
    if len(argv) != 8:
        sys.exit(__doc__.strip().splitlines()[2])
    version, stage, zip_path, program, calc, example, readme = argv[1:]
    when = max(release_time(), ZIP_EARLIEST)
    # Shipped name and content, in the order the zip lists them.
    files = [
        ("elemtrix.exe", open(program, "rb").read()),
        ("elemtrix-calc.exe", open(calc, "rb").read()),
        ("Lasmig.txt", readme_bytes(readme, version)),
        ("examples/worked.spk", open(example, "rb").read()),
    ]

    shutil.rmtree(stage, ignore_errors=True)
    for name, data in files:
        path = os.path.join(stage, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, 0o644)
        os.utime(path, (when, when))

    partial = zip_path + ".part"
    with zipfile.ZipFile(partial, "w") as z:
        for name, data in files:
            entry = zipfile.ZipInfo(name, time.gmtime(when)[:6])
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS, as Windows' own zips, whatever packs it
            entry.external_attr = 0
            z.writestr(entry, data, compresslevel=9)
    os.replace(partial, zip_path)


if __name__ == "__main__":
    main(sys.argv)
