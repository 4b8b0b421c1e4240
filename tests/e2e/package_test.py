#!/usr/bin/env python3
"""The Debian package made by CPack from this build: it lists the programs and the documentation, and
installed into a scratch root its kestrane-cli runs and makes patches from the Kestrane.exe beside it."""
import glob
import os
import subprocess
import unittest

from demo_support import BINARY, ScratchTest, read

WANTED = ["./usr/bin/Kestrane.exe", "./usr/bin/kestrane-cli", "./usr/share/doc/kestrane/README.md",
          "./usr/share/doc/kestrane/user-guide.md", "./usr/share/doc/kestrane/headless-build.md",
          "./usr/share/doc/kestrane/images/welcome-maker.png",
          "./usr/share/doc/kestrane/examples/ansible/rollout.yml",
          "./usr/share/doc/kestrane/examples/ansible/roles/kestrane_patch/tasks/main.yml"]


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw).stdout


class DebianPackage(ScratchTest):
    def test_package_lists_its_files_and_its_cli_runs_where_it_is_installed(self):
        if not BINARY:
            self.skipTest("KESTRANE_BINARY_DIR is not set")
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
