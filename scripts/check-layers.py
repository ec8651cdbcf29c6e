#!/usr/bin/env python3
"""Fails when a source file includes a folder above its own.

The libraries form two stacks that share the bottom: the ones without Qt
(codec, menus, repair, cli) and the window's (platform up to app). The
Python module (python) stands beside cli on codec, menus and repair. A folder
may include its own files and those of the folders below it, never above;
the folders without Qt include no Qt header. Tests, benchmarks and fuzzers
sit above everything and are not checked. A library folder that is not
placed on a layer here, or not in the README's table of folders, fails too.
"""
import pathlib
import re
import sys

WITHOUT_QT = ["codec", "menus", "repair", "cli"]
WINDOW = ["platform", "widgets", "dialogs", "commands", "files", "app"]
# Libraries on the bottom three without Qt, beside cli and never on it.
BESIDE_CLI = ["python"]


def allowed_below(folder):
    if folder in WITHOUT_QT:
        return set(WITHOUT_QT[: WITHOUT_QT.index(folder)])
    if folder in BESIDE_CLI:
        return {"codec", "menus", "repair"}
    # The window's folders may use the libraries without Qt, but not the tool.
    return set(WINDOW[: WINDOW.index(folder)]) | {"codec", "menus", "repair"}


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    own_include = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')
    qt_include = re.compile(r"^\s*#\s*include\s+<Q")
    problems = []
    layers = {folder: allowed_below(folder) for folder in WITHOUT_QT + BESIDE_CLI + WINDOW}
    layers["main.cpp"] = {"app"}
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".cpp", ".h") or not path.is_file():
            continue
        relative = path.relative_to(root)
        top = relative.parts[0]
        if top not in layers:
            continue
        allowed = layers[top] | {top}
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = own_include.match(line)
            if match and match.group(1) in layers and match.group(1) not in allowed:
                problems.append(f"{relative}:{number}: {top} includes {match.group(1)}, a folder above it")
            if top in WITHOUT_QT + BESIDE_CLI and qt_include.match(line):
                problems.append(f"{relative}:{number}: {top} is a library without Qt but includes a Qt header")
    # Every library folder is in the lists above and in the README's table of folders.
    readme = (root / "README.md").read_text(encoding="utf-8")
    for cmake in sorted(root.glob("*/CMakeLists.txt")):
        folder = cmake.parent.name
        if folder in ("tests", "bench", "fuzz", "packaging"):
            continue
        if folder not in layers:
            problems.append(f"{folder}/: a library folder this check does not place on a layer")
        if f"| `{folder}/` |" not in readme:
            problems.append(f"{folder}/: missing from the README's table of folders")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
