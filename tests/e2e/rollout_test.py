#!/usr/bin/env python3
"""The fleet roll-out of deploy/ansible against two customer installations on this machine (local
connection, no facts, no privilege change): both are upgraded and the controller's report holds each
host's outcome and log; a second roll-out of the same patch is refused by both, and the report says so."""
import json
import os
import shutil
import subprocess
import unittest

from demo_support import CLI, SOURCE, ScratchTest, read, require_tools, rows

HOSTS = {"shop-east": "east", "shop-west": "west"}


class Rollout(ScratchTest):
    def setUp(self):
        super().setUp()
        require_tools(self, "ansible-playbook")
        self.patch = self.build_demo_patch(self.make_demo("east"))
        self.make_demo("west")
        self.write_inventory(HOSTS)

    def write_inventory(self, hosts, extra=None):
        python = shutil.which("python3", path="/usr/bin") or "/usr/bin/python3"
        with open(self.path("inventory.ini"), "w") as f:
            f.write("[lumo]\n")
            for host, demo in hosts.items():
                customer = self.path(demo, "customer")
                f.write("%s ansible_connection=local ansible_python_interpreter=%s kestrane_install_dir=%s "
                        "kestrane_registry=%s kestrane_remote_dir=%s kestrane_orgs='[\"SHOP02=0102\"]' %s\n"
                        % (host, python, os.path.join(customer, "lumo"), os.path.join(customer, "registry.reg"),
                           self.path("remote", host), (extra or {}).get(host, "")))

    def roll_out(self, cli=CLI):
        # A configuration of its own, so that no ansible.cfg of the machine or the user takes part.
        with open(self.path("ansible.cfg"), "w") as f:
            f.write("[defaults]\n")
        env = dict(os.environ, HOME=self.path("home"), ANSIBLE_CONFIG=self.path("ansible.cfg"), ANSIBLE_NOCOLOR="1",
                   ANSIBLE_LOCAL_TEMP=self.path("tmp"), ANSIBLE_REMOTE_TEMP=self.path("tmp"),
                   ANSIBLE_RETRY_FILES_ENABLED="0")
        r = subprocess.run(
            ["ansible-playbook", "-i", self.path("inventory.ini"),
             os.path.join(SOURCE, "deploy", "ansible", "rollout.yml"),
             "-e", "kestrane_patch_file=" + self.patch, "-e", "kestrane_cli=" + cli,
             "-e", "kestrane_report=" + self.path("report.json"), "-e", "kestrane_log_dir=" + self.path("logs")],
            env=env, capture_output=True, text=True)
        self.assertTrue(os.path.exists(self.path("report.json")), r.stdout + r.stderr)
        with open(self.path("report.json"), encoding="utf-8") as f:
            return r, json.load(f)

    def test_every_host_is_upgraded_and_reported_then_a_second_roll_out_is_refused(self):
        r, report = self.roll_out()
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(report["format"], "kestrane-rollout/1")
        self.assertEqual(report["patch"], "LumoPatch820.exe")
        self.assertEqual(report["summary"], {"completed": 2, "failed": 0, "stopped": 0, "not-run": 0})
        self.assertEqual(sorted(report["hosts"]), sorted(HOSTS))
        for host, demo in HOSTS.items():
            with self.subTest(host):
                h = report["hosts"][host]
                site = self.path(demo, "customer", "lumo")
                self.assertEqual((h["exitCode"], h["outcome"], h["flags"]), (0, "completed", 2))
                self.assertEqual(h["installDir"], site + "/")
                self.assertEqual([(s["dbName"], s["outcome"]) for s in h["accountSets"]],
                                 [("SHOP01", "upgraded"), ("SHOP02", "upgraded")])
                self.assertIn("升级账套“华南分公司账套”的“单据_JC_BillFormat”信息【成功】", h["log"])
                self.assertFalse(any("【失败】" in line for line in h["log"]))
                # The host's upgrade log, fetched to the controller, is the one the install wrote.
                self.assertEqual(h["logFile"], self.path("logs", host, "PatchLog.log"))
                self.assertEqual(read(h["logFile"]), read(os.path.join(site, "PatchLog.log")))
                self.assertEqual(rows(os.path.join(site, "data", "SHOP02.mdb"), "select ZTVersion from Sys_Accounts"),
                                 [("8.2.0",)])

        # The account sets are of the new version now: the patch no longer applies, every host says so,
        # and the play fails after the report is written.
        r, report = self.roll_out()
        self.assertNotEqual(r.returncode, 0)
        self.assertEqual(report["summary"], {"completed": 0, "failed": 0, "stopped": 2, "not-run": 0})
        for host in HOSTS:
            h = report["hosts"][host]
            self.assertEqual((h["exitCode"], h["outcome"]), (1, "stopped"))
            self.assertEqual(h["stoppedBy"], {"kind": "refusal", "text": "该补丁不适合账套[华东分公司账套]的版本号，无法对其升级"})
            self.assertIn("kestrane-cli: stopped by the refusal", h["stderr"])
            self.assertRegex(r.stdout, r"fatal: \[%s\]: FAILED!.*kestrane-cli: stopped by the refusal" % host)

    def test_the_report_is_written_when_every_host_fails_before_the_install(self):
        # shop-gone cannot be reached (its temporary folder cannot be made); on shop-east the CLI to
        # copy is missing. Neither host is left to write the report in the usual way.
        self.write_inventory({"shop-gone": "west", "shop-east": "east"},
                             {"shop-gone": "ansible_remote_tmp=/proc/kestrane-none/tmp"})
        r, report = self.roll_out(cli=self.path("no-such-cli"))
        self.assertNotEqual(r.returncode, 0)
        self.assertEqual(report["summary"], {"completed": 0, "failed": 0, "stopped": 0, "not-run": 2})
        gone, east = report["hosts"]["shop-gone"], report["hosts"]["shop-east"]
        for h in (gone, east):
            self.assertEqual((h["exitCode"], h["outcome"], h["log"], h["logFile"]), (None, "not-run", [], None))
        self.assertRegex(gone["error"], r"^unreachable: Failed to create temporary directory")
        self.assertRegex(east["error"], r"^Copy the patch and kestrane-cli: .*no-such-cli")
        self.assertRegex(r.stdout, r"fatal: \[shop-east\]: FAILED!.*Copy the patch and kestrane-cli")
        self.assertRegex(r.stdout, r"fatal: \[shop-gone\]: FAILED!.*unreachable")
        # Nothing was installed anywhere.
        self.assertEqual(rows(self.path("east", "customer", "lumo", "data", "SHOP02.mdb"),
                              "select ZTVersion from Sys_Accounts"), [("8.1.0",)])


if __name__ == "__main__":
    unittest.main()
