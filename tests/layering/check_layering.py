#!/usr/bin/env python3
"""Fails when a file includes a module that docs/architecture.md's layer table does not allow.

usage: check_layering.py [ROOT]     check the tree at ROOT (default: the repository)
       check_layering.py --selftest one allowed and one forbidden include in a scratch tree
"""
import pathlib
import re
import shutil
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)
QT_HEADER = re.compile(r'^Q[A-Za-z]+$|^Qt[A-Za-z]*/')
QT_MODULES = {"gui", "main", "screenshots"}


def read_table(root):
    text = (root / "docs" / "architecture.md").read_text(encoding="utf-8")
    allowed = {}
    for line in text.splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) != 3 or cells[0] in ("module", "") or set(cells[0]) <= set("-"):
            continue
        allowed[cells[0]] = {m.strip() for m in cells[2].split(",") if m.strip()}
    if not allowed:
        sys.exit("check_layering: no layer table in docs/architecture.md")
    return allowed


def files_of(root):
    """(module, path) of every C++ file whose module the table governs."""
    for path in sorted((root / "src").rglob("*")):
        if path.suffix in (".h", ".cpp"):
            rel = path.relative_to(root / "src")
            yield ("main" if len(rel.parts) == 1 else rel.parts[0]), path
    for tool in ("cli", "screenshots"):
        for path in sorted((root / "tools" / tool).rglob("*")):
            if path.suffix in (".h", ".cpp"):
                yield tool, path


def check(root):
    allowed = read_table(root)
    modules = {m for m in allowed if (root / "src" / m).is_dir()}
    faults = []
    for module, path in files_of(root):
        if module not in allowed:
            faults.append(f"{path.relative_to(root)}: module '{module}' is not in the layer table")
            continue
        for quote, target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            first = target.split("/")[0]
            if quote == '"' and "/" in target and first in modules:
                if first != module and first not in allowed[module]:
                    faults.append(f"{path.relative_to(root)}: {module} may not include \"{target}\"")
            elif quote == "<" and QT_HEADER.match(target) and module not in QT_MODULES:
                faults.append(f"{path.relative_to(root)}: Qt header <{target}> outside the window code")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


def selftest(root):
    with tempfile.TemporaryDirectory() as scratch:
        tree = pathlib.Path(scratch)
        shutil.copytree(root / "docs", tree / "docs")
        for m in ("support", "patch", "db"):
            (tree / "src" / m).mkdir(parents=True)
        (tree / "src" / "support" / "a.h").write_text("#pragma once\n")
        (tree / "src" / "patch" / "b.cpp").write_text('#include "support/a.h"\n')
        if check(tree) != 0:
            print("selftest: an allowed include was refused")
            return 1
        (tree / "src" / "patch" / "c.cpp").write_text('#include "db/connection.h"\n#include <QWidget>\n')
        if check(tree) == 0:
            print("selftest: a forbidden include was let through")
            return 1
    return 0


if __name__ == "__main__":
    repo = pathlib.Path(__file__).resolve().parents[2]
    if sys.argv[1:] == ["--selftest"]:
        sys.exit(selftest(repo))
    sys.exit(check(pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else repo))
