#!/usr/bin/env python3
"""The demo's headless main job (scripts/demo-upgrade.sh): the patch made on the maker's side installs into
both account sets of the customer's side, and what arrives there is what the maker's account set holds,
value for value, while the customer's own rows stay."""
import os
import re
import subprocess
import unittest

from demo_support import CLI, SOURCE, ScratchTest, read, rows

SETS = {"SHOP01": "{3B2C1D4E-5F60-4718-9A2B-3C4D5E6F7081}", "SHOP02": "{7C8D9EAF-B0C1-42D3-94E5-F60718293A4B}"}
BILLS = ("RwID in (1429,1592) or BillType in (4,5) and ModelID in (1429,1592) "
         "or BillType = 2 and ParentRwID in (1429,1592)")


def same_date(value):
    """A stored date, with no milliseconds written when there are none."""
    return re.sub(r"\.000$", "", value) if isinstance(value, str) else value


def normal(table):
    return sorted(tuple(same_date(v) for v in row) for row in table)


class DemoUpgrade(ScratchTest):
    def test_patch_of_the_maker_upgrades_both_account_sets_of_the_customer(self):
        demo = self.path("demo")
        r = subprocess.run([os.path.join(SOURCE, "scripts", "demo-upgrade.sh"), CLI, demo],
                           capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        # The table: every line marked changed where the upgrade shows.
        self.assertRegex(r.stdout, r"SHOP01 version +8\.1\.0 +8\.2\.0 +\*")
        self.assertRegex(r.stdout, r"SHOP02 organisation unit +\(none\) +华南分公司 +\*")
        self.assertRegex(r.stdout, r"install outcome +completed; SHOP01 upgraded, SHOP02 upgraded")
        self.assertRegex(r.stdout, r"SHOP01 SA_Order rows \(own\) +1500 +1500\n")

        pristine = self.make_demo("pristine")  # the demo is made the same every time
        maker = os.path.join(demo, "maker", "lumo")
        source = os.path.join(maker, "sets", "DEMO01.mdb")
        site = os.path.join(demo, "customer", "lumo")
        for name, instance in SETS.items():
            with self.subTest(name):
                db = os.path.join(site, "data", name + ".mdb")
                before = os.path.join(pristine, "customer", "lumo", "data", name + ".mdb")
                self.assertEqual(rows(db, "select ZTVersion from Sys_Accounts"), [("8.2.0",)])
                # Shipped rows arrive as they are in the source: texts, decimals, dates to the
                # millisecond, GUIDs, blobs and nulls; the customer's own goods stay.
                self.assertEqual(normal(rows(db, "select * from BD_Goods where Category < 900")),
                                 normal(rows(source, "select * from BD_Goods")))
                own = "select GoodsID, Code, Name, Price, Photo, CreatedAt from BD_Goods where Category >= 900"
                self.assertEqual(normal(rows(db, own)), normal(rows(before, own)))
                self.assertEqual(len(rows(db, own)), 40)
                self.assertEqual(rows(db, "select * from SA_Order order by BillNo"),
                                 rows(before, "select * from SA_Order order by BillNo"))
                # Restructured: the new columns are there, the customer's rows kept.
                self.assertIn("TaxNo", [c[1] for c in rows(db, "pragma table_info(BD_Customer)")])
                self.assertEqual(rows(db, "select count(*) from BD_Customer"), [(600,)])
                self.assertEqual(rows(db, "select count(*) from BD_Customer where Region = 'HD'"), [(0,)])
                self.assertEqual(normal(rows(db, "select * from JC_BillFormat where " + BILLS)),
                                 normal(rows(source, "select * from JC_BillFormat where " + BILLS)))
                self.assertEqual(rows(db, "select BillName, PrintStyle from JC_BillFormat where RwID = 1601"),
                                 [("调拨单", None)])
                for table in ("QR_Element", "QR_DataAnalyse", "QR_DAExecuteTask", "QR_DATaskLink", "JC_TableDict",
                              "JC_CodeJCSet", "Sys_PurFunRes"):
                    self.assertEqual(normal(rows(db, "select * from " + table)),
                                     normal(rows(source, "select * from " + table)), table)
                numbering = "select * from JC_DJBHGZ where BillType in (1429,1592)"
                self.assertEqual(rows(db, numbering), rows(source, numbering))
                self.assertEqual(rows(db, "select DateFormat from JC_DJBHGZ where BillType = 1601"), [("yymm",)])
                # The restructuring elements of the source, stamped with this account set's identifier.
                self.assertEqual(rows(db, "select count(*), min(SvcID) from QEL_InstElmnt where SvcID >= 1000"),
                                 [(12, 1000)])
                self.assertEqual(rows(db, "select distinct InstID from QEL_InstElmnt"), [(instance,)])
                self.assertEqual(rows(db, "select sql from sqlite_master where type = 'view' order by name"),
                                 rows(source, "select sql from sqlite_master where type = 'view' order by name"))
                self.assertEqual(rows(db, "select count(*) from SA_PriceLog"), [(0,)])
                self.assertEqual(rows(db, "select BlobValue from JC_SysOptInfo "
                                          "where StdCode = 'L5_SysOptInfo_UserUICfg_FlowDesk'"),
                                 [(read(os.path.join(maker, "DeskFlow.fld")),)])
                self.assertEqual(rows(db, "select count(*) from sqlite_master where name = 'IX_Goods_Code'"), [(1,)])
                self.assertEqual(rows(db, "select * from Sys_OrgUnit"), rows(before, "select * from Sys_OrgUnit"))
                backups = [f for f in os.listdir(os.path.join(site, "BackUp", "EMBEDDED"))
                           if f.startswith(rows(before, "select AccountName from Sys_Accounts")[0][0])]
                self.assertEqual(len(backups), 1)
                backup = os.path.join(site, "BackUp", "EMBEDDED", backups[0])
                self.assertEqual(rows(backup, "select * from BD_Goods"), rows(before, "select * from BD_Goods"))

        self.assertEqual(rows(os.path.join(site, "data", "SHOP02.mdb"), "select ZTOrgID, ZTUnitName from Sys_Accounts"),
                         [(5, "华南分公司")])
        self.assertIn(b"pf_version=8.2.0", read(os.path.join(site, "Update.upf")))
        for f in ("LumoMain.exe", "LumoReport.dll"):
            self.assertEqual(read(os.path.join(site, f)), read(os.path.join(maker, f)), f)
        self.assertEqual(read(os.path.join(site, "doc", "新功能说明.txt")),
                         read(os.path.join(demo, "files", "新功能说明.txt")))
        self.assertEqual(read(os.path.join(site, "setup.log"), "r"), "setup 8.2.0 done\n")
        # The package database and the chart file were taken away after use.
        self.assertFalse(os.path.exists(os.path.join(site, "Update.mdb")))
        self.assertFalse(os.path.exists(os.path.join(site, "DeskFlow.fld")))
        # The members of the account sets replaced the central ones they clash with; SHOP01's lina,
        # already there under her own UID, is not put in a second time.
        central = os.path.join(site, "data", "NXCentre.mdb")
        self.assertEqual(sorted(rows(central, "select Code from CERT_Member")),
                         [("admin",), ("lina",), ("lina2",), ("zhangwei",), ("zhangwei",)])
        self.assertEqual(rows(central, "select UID from CERT_Member group by UID having count(*) > 1"), [])
        self.assertEqual(rows(central, "select count(*) from CERT_ACL"), [(4,)])
        log = read(os.path.join(site, "PatchLog.log")).decode("gbk")
        self.assertNotIn("【失败】", log)
        self.assertIn("升级账套“华南分公司账套”的“数据表_SA_PriceLog”信息【成功】", log)


if __name__ == "__main__":
    unittest.main()
