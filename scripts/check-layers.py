#!/usr/bin/env python3
"""Fails when a source includes from a layer above its own, or when a platform-free layer
includes a Windows header. Usage: check-layers.py SOURCE_DIR"""
import pathlib
import re
import sys

# What each top folder may include from, itself included. Dependencies run one way.
LAYERS = {
    "base": {"base"},
    "engine": {"base", "engine"},
    "measure": {"base", "engine", "measure"},
    "enclosure": {"base", "engine", "measure", "enclosure"},
    "toolkit": {"base", "toolkit"},
    "audio": {"base", "measure", "audio"},
    "window": {"base", "engine", "measure", "enclosure", "toolkit", "audio", "window"},
    "app": {"base", "engine", "measure", "enclosure", "toolkit", "audio", "window", "app"},
}
# These build natively too, so nothing of Win32 may reach them.
PLATFORM_FREE = {"base", "engine", "measure", "enclosure"}
WINDOWS_HEADERS = re.compile(
    r"(windows|win[a-z0-9]*|commctrl|commdlg|shellapi|shlobj|objbase|psapi|tchar)\.h",
    re.IGNORECASE)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)
SOURCES = {".h", ".hpp", ".c", ".cpp", ".rc"}


def problems(root):
    for layer, allowed in LAYERS.items():
        for path in sorted((root / layer).rglob("*")):
            if path.suffix not in SOURCES:
                continue
            name = path.relative_to(root)
            for bracket, header in INCLUDE.findall(path.read_text(encoding="utf-8")):
                first = header.split("/")[0]
                if ".." in header.split("/"):
                    yield f"{name}: includes {header} by a relative path"
                elif bracket == '"' and "/" in header and first not in allowed:
                    yield f"{name}: includes {header} from {first}/, above {layer}/"
                elif layer in PLATFORM_FREE and WINDOWS_HEADERS.fullmatch(header.split("/")[-1]):
                    yield f"{name}: includes the Windows header {header} in platform-free {layer}/"


def main():
    found = list(problems(pathlib.Path(sys.argv[1])))
    for line in found:
        print(line)
    if found:
        sys.exit(1)
    print(f"include layers hold in {', '.join(LAYERS)}")


if __name__ == "__main__":
    main()
