#!/usr/bin/env python3
"""Progress of build and install as a user sees it: a bar redrawn in place on a terminal that never
outgrows the terminal's width, plain lines into a pipe, nothing with --json."""
import fcntl
import os
import pty
import re
import struct
import subprocess
import termios
import unicodedata
import unittest

from demo_support import CLI, ScratchTest, read

FRAME = re.compile(r"^\[([#.]{20})\] +(\d+)% (.*)$")


def columns_of(text):
    return sum(2 if unicodedata.east_asian_width(ch) in "WF" else 1 for ch in text)


def on_terminal(args, env, columns, stdout):
    """Runs the CLI with standard error on a terminal `columns` wide; what the terminal received."""
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    with open(stdout, "wb") as out:
        p = subprocess.Popen([CLI] + args, stdin=subprocess.DEVNULL, stdout=out, stderr=slave,
                             env=dict(env, TERM="xterm"))
    os.close(slave)
    received = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the other end closed
            break
        if not chunk:
            break
        received += chunk
    os.close(master)
    return p.wait(), received.decode("utf-8")


class CliProgress(ScratchTest):
    def setUp(self):
        super().setUp()
        self.demo = self.make_demo()
        self.maker = dict(os.environ, KESTRANE_REGISTRY=os.path.join(self.demo, "maker", "registry.reg"))
        self.customer = dict(os.environ, KESTRANE_REGISTRY=os.path.join(self.demo, "customer", "registry.reg"))
        self.manifest = os.path.join(self.demo, "manifest.json")
        self.patch = os.path.join(self.demo, "out", "LumoPatch820.exe")

    def frames(self, received, columns):
        """The bar's frames in order; each fits the terminal and the run ends on a line of its own."""
        self.assertTrue(received.endswith("\n"), repr(received[-80:]))
        body = received[:-1]
        self.assertNotIn("\n", body)
        frames = [f for f in body.split("\r") if f]
        for f in frames:
            self.assertTrue(f.endswith("\x1b[K"), repr(f))
            self.assertLessEqual(columns_of(f[:-3]), columns - 1, f)
        return [f[:-3] for f in frames]

    def test_bar_on_a_terminal_follows_every_step_within_its_width(self):
        for columns in (60, 200):
            with self.subTest(columns=columns):
                status, received = on_terminal(["build", self.manifest, "--yes"], self.maker, columns,
                                               self.path("build.out"))
                self.assertEqual(status, 0, received)
                frames = self.frames(received, columns)
                self.assertGreaterEqual(len(frames), 20)
                parts = [FRAME.match(f) for f in frames]
                self.assertTrue(all(parts), frames)
                self.assertEqual(parts[-1].group(1), "#" * 20)
                self.assertEqual(parts[-1].group(2), "100")
                self.assertEqual(parts[-1].group(3), "已完成文件与信息压缩")
                if columns == 200:  # wide enough for every step's whole text
                    self.assertIn("[##..................]  10% 正在将账套[标准账套8.2]的“初始脚本”信息加载到补丁程序……",
                                  frames)
                else:
                    self.assertTrue(any(p.group(3).endswith("…") and "“初始脚本”" not in p.group(3) for p in parts))

        status, received = on_terminal(["install", self.patch, "--all-sets", "--org", "SHOP02=0102", "--yes"],
                                       self.customer, 120, self.path("install.out"))
        self.assertEqual(status, 0, received)
        frames = self.frames(received, 120)
        self.assertIn("[####################] 100% 正在升级账套[华南分公司账套]的“统一地区名称”信息……", frames)
        self.assertIn("outcome: completed", read(self.path("install.out")).decode("utf-8"))

    def test_lines_into_a_pipe_and_nothing_with_json(self):
        r = self.cli(["build", self.manifest, "--yes"], self.maker["KESTRANE_REGISTRY"], text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stderr.splitlines()
        self.assertIn("[1/10] 正在将账套[标准账套8.2]的“初始脚本”信息加载到补丁程序……", lines)
        self.assertEqual(lines[-1], "[17/17] 已完成文件与信息压缩")
        self.assertNotIn("\r", r.stderr)
        self.assertNotIn("\x1b", r.stderr)

        r = self.cli(["install", self.patch, "--all-sets", "--org", "SHOP02=0102", "--yes", "--json"],
                     self.customer["KESTRANE_REGISTRY"], text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, "")
        self.assertTrue(r.stdout.lstrip().startswith("{"))


if __name__ == "__main__":
    unittest.main()
