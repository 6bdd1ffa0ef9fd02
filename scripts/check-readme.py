#!/usr/bin/env python3
"""Runs every example of the README and compares its output with what the README shows.

An example is a line "$ elemtrix-calc ARGS..." inside a ``` block; the lines after it, up to the
next "$ " line or the end of the block, are its standard output. A line that is only "..." or
"…" (indented or not) stands for any number of lines, none included; blank lines at the end of
an example only separate it from the next. Each command runs in WORK-DIR, which holds a copy of
examples/ and an empty docs/, so that the README's paths work as they do from the repository's
root; every file the commands write into docs/ must equal the README's own copy there (the
plot it shows). Every example must exit with status 0.

usage: check-readme.py README.md ELEMTRIX-CALC WORK-DIR [EMULATOR...]"""
import os
import shlex
import shutil
import subprocess
import sys

PROGRAM = "elemtrix-calc"
ELISIONS = ("...", "…")


def examples(readme_lines):
    """(line number, command, expected lines) for every "$ " line inside a ``` block."""
    found = []
    in_block = False
    current = None  # the expected lines of the example being read
    for number, line in enumerate(readme_lines, 1):
        if line.startswith("```"):
            in_block = not in_block
            current = None
        elif in_block and line.startswith("$ "):
            current = []
            found.append((number, line[2:], current))
        elif current is not None:
            current.append(line)
    for _, _, expected in found:
        while expected and not expected[-1].strip():
            expected.pop()
    return found


def matches(expected, actual):
    """Whether the lines match, an elision line standing for any run of lines."""
    # can[i][j]: expected[i:] matches actual[j:]
    can = [[False] * (len(actual) + 1) for _ in range(len(expected) + 1)]
    can[len(expected)][len(actual)] = True
    for i in range(len(expected) - 1, -1, -1):
        elided = expected[i].strip() in ELISIONS
        for j in range(len(actual), -1, -1):
            if elided:
                can[i][j] = can[i + 1][j] or (j < len(actual) and can[i][j + 1])
            else:
                can[i][j] = j < len(actual) and expected[i] == actual[j] and can[i + 1][j + 1]
    return can[0][0]


def main():
    readme, calc, work = sys.argv[1:4]
    calc = os.path.abspath(calc)
    emulator = sys.argv[4:]
    source = os.path.dirname(os.path.abspath(readme))
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(os.path.join(source, "examples"), os.path.join(work, "examples"))
    os.makedirs(os.path.join(work, "docs"))

    with open(readme, encoding="utf-8") as f:
        lines = f.read().splitlines()
    failures = 0
    found = examples(lines)
    for number, command, expected in found:
        words = shlex.split(command)
        if words[0] != PROGRAM:
            print(f"README.md:{number}: only {PROGRAM} examples can be checked: $ {command}")
            failures += 1
            continue
        done = subprocess.run(emulator + [calc] + words[1:], cwd=work, capture_output=True)
        actual = done.stdout.decode("utf-8").splitlines()
        if done.returncode != 0 or not matches(expected, actual):
            print(f"README.md:{number}: $ {command}\nexit status {done.returncode}; "
                  f"the README shows:\n" + "\n".join(expected) + "\nthe program printed:\n" +
                  "\n".join(actual) + "\n" + done.stderr.decode("utf-8", "replace"))
            failures += 1
    for name in sorted(os.listdir(os.path.join(work, "docs"))):
        with open(os.path.join(work, "docs", name), "rb") as made:
            shown = os.path.join(source, "docs", name)
            if not os.path.exists(shown) or open(shown, "rb").read() != made.read():
                print(f"docs/{name} differs from what the README's example writes")
                failures += 1
    if not found:
        print("no examples found")
        failures += 1
    print(f"{len(found)} examples, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
