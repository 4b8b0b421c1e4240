#!/usr/bin/env python3
"""The Debian package made by CPack from this build: it lists the programs and the documentation, and
installed into a scratch root its kestrane-cli runs and makes patches from the Kestrane.exe beside it."""
import glob
import os
import re
import subprocess
import unittest

from demo_support import BINARY, ScratchTest, read, require_tools

WANTED = ["./usr/bin/Kestrane.exe", "./usr/bin/kestrane-cli", "./usr/share/doc/kestrane/README.md",
          "./usr/share/doc/kestrane/docs/user-guide.md", "./usr/share/doc/kestrane/docs/headless-build.md",
          "./usr/share/doc/kestrane/docs/images/welcome-maker.png",
          "./usr/share/doc/kestrane/examples/ansible/rollout.yml",
          "./usr/share/doc/kestrane/examples/ansible/roles/kestrane_patch/tasks/main.yml"]


# The targets of Markdown links and HTML images.
LINK = re.compile(r"\]\(([^)\s]+)\)|src=\"([^\"]+)\"")


def broken_links(folder):
    """Every relative link of the Markdown files under `folder` that names no file there, as "file: link"."""
    broken = []
    for md in glob.glob(os.path.join(folder, "**", "*.md"), recursive=True):
        with open(md, encoding="utf-8") as f:
            text = f.read()
        for match in LINK.finditer(text):
            link = match.group(1) or match.group(2)
            target = link.split("#", 1)[0]
            if not target or re.match(r"[a-z][a-z0-9+.-]*:", target):
                continue
            if not os.path.exists(os.path.join(os.path.dirname(md), target)):
                broken.append("%s: %s" % (os.path.relpath(md, folder), link))
    return broken


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw).stdout


class DebianPackage(ScratchTest):
    def test_package_lists_its_files_and_its_cli_runs_where_it_is_installed(self):
        if not BINARY:
            self.skipTest("KESTRANE_BINARY_DIR is not set")
        require_tools(self, "cpack", "dpkg-deb", "dpkg-shlibdeps", "file")
        run(["cpack", "-G", "DEB", "-B", self.path("pkg"), "--config", os.path.join(BINARY, "CPackConfig.cmake")])
        debs = glob.glob(self.path("pkg", "*.deb"))
        self.assertEqual(len(debs), 1, debs)
        deb = debs[0]

        listed = {line.split()[-1] for line in run(["dpkg-deb", "-c", deb]).splitlines()}
        for name in WANTED:
            self.assertIn(name, listed)
        self.assertEqual(run(["dpkg-deb", "-f", deb, "Package"]).strip(), "kestrane")
        version = run(["dpkg-deb", "-f", deb, "Version"]).strip()
        depends = run(["dpkg-deb", "-f", deb, "Depends"])
        for library in ("libqt6widgets6", "libsqlite3-0", "libodbc2", "libpugixml1v5"):
            self.assertIn(library, depends)

        root = self.path("root")
        run(["dpkg-deb", "-x", deb, root])
        cli = os.path.join(root, "usr", "bin", "kestrane-cli")
        self.assertEqual(run([cli, "version"]), "kestrane-cli %s\n" % version)
        # The documentation read where it is installed: README's docs/... links and the guide's pictures.
        docs = os.path.join(root, "usr", "share", "doc", "kestrane")
        self.assertGreater(len(glob.glob(os.path.join(docs, "docs", "images", "*.png"))), 10)
        self.assertEqual(broken_links(docs), [])

        # Without --program the installed CLI copies the program installed beside it (stripped, so
        # unlike the one of the build tree).
        program = read(os.path.join(root, "usr", "bin", "Kestrane.exe"))
        self.assertNotEqual(program, read(os.path.join(BINARY, "Kestrane.exe")))
        patch = self.build_demo_patch(self.make_demo(), cli=cli)
        made = read(patch)
        self.assertGreater(len(made), len(program))
        self.assertEqual(made[:len(program)], program)
        self.assertIn("ptBoth", run([cli, "inspect", patch]))


if __name__ == "__main__":
    unittest.main()
