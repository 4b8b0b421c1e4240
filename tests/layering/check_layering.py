#!/usr/bin/env python3
"""Fails when a file includes a module that docs/architecture.md's layer table does not allow, a Qt
header outside the window code, or an operating-system header in src/ outside platform/.

usage: check_layering.py [ROOT]     check the tree at ROOT (default: the repository)
       check_layering.py --selftest allowed and forbidden includes, one by one, in a scratch tree
"""
import pathlib
import re
import shutil
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)
QT_HEADER = re.compile(r'^Q[A-Za-z]+$|^Qt[A-Za-z]*/')
QT_MODULES = {"gui", "main", "screenshots"}
# The system's own interfaces: every use of them belongs behind platform/ (tools and tests may use them).
OS_HEADER = re.compile(
    r"^(unistd|fcntl|spawn|dirent|signal|pwd|grp|dlfcn|poll|termios|syslog|pthread|sched|semaphore|netdb"
    r"|ftw|glob|fnmatch|wordexp|utime|utmp|mntent|elf|link|windows|winsock2|ws2tcpip|io|direct)\.h$"
    r"|^(sys|linux|asm|netinet|arpa|net)/")
OS_MODULES = {"platform", "cli", "screenshots"}


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
            elif quote == "<" and OS_HEADER.match(target) and module not in OS_MODULES:
                faults.append(f"{path.relative_to(root)}: system header <{target}> outside platform/")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


ALLOWED = [
    ("src/patch/a.cpp", '#include "support/text.h"'),
    ("src/platform/a.cpp", "#include <unistd.h>"),
    ("src/platform/a.cpp", "#include <sys/stat.h>"),
    ("src/gui/a.cpp", "#include <QWidget>"),
    ("tools/cli/a.cpp", "#include <sys/stat.h>"),
    ("src/db/a.cpp", "#include <csignal>"),
]
FORBIDDEN = [
    ("src/patch/a.cpp", '#include "db/connection.h"'),
    ("src/patch/a.cpp", "#include <QWidget>"),
    ("src/framework/a.cpp", "#include <fcntl.h>"),
    ("src/framework/a.cpp", "#include <sys/file.h>"),
    ("src/db/a.h", "#include <dlfcn.h>"),
    ("src/app/a.cpp", "#  include <spawn.h>"),
    ("src/main.cpp", "#include <signal.h>"),
]


def selftest(root):
    """Each include alone in a scratch tree with the repository's table: the check must agree."""
    failed = 0
    for cases, want in ((ALLOWED, 0), (FORBIDDEN, 1)):
        for file, line in cases:
            with tempfile.TemporaryDirectory() as scratch:
                tree = pathlib.Path(scratch)
                shutil.copytree(root / "docs", tree / "docs")
                for m in ("support", "platform", "framework", "patch", "db", "app", "gui"):
                    (tree / "src" / m).mkdir(parents=True)
                (tree / "tools" / "cli").mkdir(parents=True)
                (tree / file).write_text(line + "\n")
                if check(tree) != want:
                    print(f"selftest: {file}: {line} was {'refused' if want == 0 else 'let through'}")
                    failed = 1
    return failed


if __name__ == "__main__":
    repo = pathlib.Path(__file__).resolve().parents[2]
    if sys.argv[1:] == ["--selftest"]:
        sys.exit(selftest(repo))
    sys.exit(check(pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else repo))
