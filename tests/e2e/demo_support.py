"""What the script-driven end-to-end tests share: the programs and folders ctest names in the environment
(KESTRANE_CLI, KESTRANE_SOURCE_DIR, KESTRANE_BINARY_DIR), a scratch folder per test, the demo made in it,
and rows read with SQLite itself."""
import os
import shutil
import sqlite3
import subprocess
import tempfile
import unittest

CLI = os.environ.get("KESTRANE_CLI", "")
SOURCE = os.environ.get("KESTRANE_SOURCE_DIR", "")
BINARY = os.environ.get("KESTRANE_BINARY_DIR", "")


def rows(db, sql, *args):
    c = sqlite3.connect("file:%s?mode=ro" % db, uri=True)
    try:
        return c.execute(sql, args).fetchall()
    finally:
        c.close()


def read(path, mode="rb"):
    with open(path, mode) as f:
        return f.read()


def require_tools(test, *names):
    """Fails the test when a program it drives is missing: CI installs them all (scripts/install-deps.sh),
    and a skip would pass for a success there. KESTRANE_ALLOW_SKIP=1 skips instead, on a machine that
    lacks them on purpose."""
    missing = [name for name in names if not shutil.which(name)]
    if not missing:
        return
    message = "not installed: %s (scripts/install-deps.sh installs it)" % ", ".join(missing)
    if os.environ.get("KESTRANE_ALLOW_SKIP") == "1":
        test.skipTest(message)
    test.fail(message + "; KESTRANE_ALLOW_SKIP=1 skips the test instead")


class ScratchTest(unittest.TestCase):
    """A test with its own folder, removed afterwards."""

    def setUp(self):
        if not (CLI and SOURCE):
            self.skipTest("run through ctest: KESTRANE_CLI and KESTRANE_SOURCE_DIR are not set")
        self.dir = tempfile.mkdtemp(prefix="kestrane-e2e-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def make_demo(self, name="demo"):
        out = self.path(name)
        subprocess.run([os.path.join(SOURCE, "scripts", "make-demo.sh"), out], check=True,
                       stdout=subprocess.DEVNULL)
        return out

    def cli(self, args, registry=None, cli=CLI, **kw):
        env = dict(os.environ)
        if registry:
            env["KESTRANE_REGISTRY"] = registry
        return subprocess.run([cli] + args, env=env, capture_output=True, **kw)

    def build_demo_patch(self, demo, cli=CLI):
        r = self.cli(["build", os.path.join(demo, "manifest.json"), "--yes"], os.path.join(demo, "maker", "registry.reg"),
                     cli=cli, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        return os.path.join(demo, "out", "LumoPatch820.exe")
