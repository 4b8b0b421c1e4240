#!/usr/bin/env python3
"""What the demo's upgrade changed in a customer installation.

usage: demo_report.py facts INSTALL_DIR > facts.json     the facts of an installation, as JSON
       demo_report.py table BEFORE.json AFTER.json [CLI_OUTPUT]
                                                        the before/after table; CLI_OUTPUT is the text
                                                        `kestrane-cli install` printed (its outcome lines)
"""
import glob
import json
import os
import re
import sqlite3
import sys
import unicodedata

# Columns the patch adds, tables it fills or creates, by the table they are read from.
NEW_COLUMNS = [("BD_Goods", "BarCode"), ("BD_Customer", "TaxNo"), ("JC_BillFormat", "PrintStyle")]
PROGRAM_FILES = ["LumoMain.exe", "LumoReport.dll", "doc/新功能说明.txt"]


def one(c, sql, default=None):
    try:
        row = c.execute(sql).fetchone()
    except sqlite3.Error:
        return default
    return default if row is None else row[0]


def account_set(path):
    c = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    tables = {r[0] for r in c.execute("select name from sqlite_master where type = 'table'")}
    columns = lambda t: {r[1] for r in c.execute("pragma table_info([%s])" % t)} if t in tables else set()
    facts = {
        "version": one(c, "select ZTVersion from Sys_Accounts"),
        "unit": one(c, "select ZTUnitName from Sys_Accounts") or "",
        "goods": one(c, "select count(*) from BD_Goods", 0),
        "ownGoods": one(c, "select count(*) from BD_Goods where Category >= 900", 0),
        "newColumns": ["%s.%s" % (t, col) for t, col in NEW_COLUMNS if col in columns(t)],
        "bills": [one(c, "select BillName from JC_BillFormat where RwID = %d" % rw) or "-" for rw in (1429, 1592)],
        "queries": one(c, "select count(*) from QR_Element", 0),
        "cubes": one(c, "select count(*) from QR_DataAnalyse", 0),
        "rights": one(c, "select count(*) from Sys_PurFunRes", 0),
        "views": sorted(r[0] for r in c.execute("select name from sqlite_master where type = 'view'")),
        "priceLog": one(c, "select count(*) from SA_PriceLog") if "SA_PriceLog" in tables else None,
        "flowChart": one(c, "select count(*) from JC_SysOptInfo where StdCode = 'L5_SysOptInfo_UserUICfg_FlowDesk'", 0),
        "orders": one(c, "select count(*) from SA_Order", 0),
    }
    c.close()
    return facts


def program_file(path):
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        head = f.read(64)
    version = re.search(rb"LUMO-VERSION=([0-9.]+)", head)
    return {"size": os.path.getsize(path), "version": version.group(1).decode() if version else None}


def upgrade_log(path):
    """The counts of the last run's entries in the upgrade log (code page 936)."""
    if not os.path.isfile(path):
        return None
    with open(path, encoding="gbk", errors="replace") as f:
        text = f.read()
    last = text.rsplit("[升级时间：", 1)[-1]
    lines = last.splitlines()
    return {"succeeded": sum("【成功】" in l for l in lines), "failed": sum("【失败】" in l for l in lines),
            "reminders": sum("提醒：" in l for l in lines)}


def facts(install):
    data = [p for p in sorted(glob.glob(os.path.join(install, "data", "*.mdb")))
            if os.path.basename(p) != "NXCentre.mdb"]
    upf = os.path.join(install, "Update.upf")
    version = None
    if os.path.isfile(upf):
        m = re.search(r"pf_version=(\S+)", open(upf, encoding="gbk", errors="replace").read())
        version = m.group(1) if m else None
    central = sqlite3.connect("file:%s?mode=ro" % os.path.join(install, "data", "NXCentre.mdb"), uri=True)
    setup_log = os.path.join(install, "setup.log")
    out = {
        "accountSets": {os.path.basename(p)[:-4]: account_set(p) for p in data},
        "programVersion": version,
        "programFiles": {name: program_file(os.path.join(install, name)) for name in PROGRAM_FILES},
        "setupLog": open(setup_log).read().strip() if os.path.isfile(setup_log) else None,
        "members": one(central, "select count(*) from CERT_Member", 0),
        "rightsRows": one(central, "select count(*) from CERT_ACL", 0),
        "backups": len(glob.glob(os.path.join(install, "BackUp", "EMBEDDED", "*.mdb"))),
        "log": upgrade_log(os.path.join(install, "PatchLog.log")),
    }
    central.close()
    return out


def width(s):
    return sum(2 if unicodedata.east_asian_width(ch) in "WF" else 1 for ch in s)


def pad(s, n):
    return s + " " * max(n - width(s), 0)


def rows(before, after, outcome):
    def both(label, get):
        return (label, get(before), get(after))

    out = []
    for name in after["accountSets"]:
        b, a = before["accountSets"].get(name, {}), after["accountSets"][name]
        side = lambda f: (lambda s: f(s["accountSets"][name]) if name in s["accountSets"] else "-")
        out += [
            both(name + " version", side(lambda s: s["version"] or "-")),
            both(name + " organisation unit", side(lambda s: s["unit"] or "(none)")),
            both(name + " BD_Goods rows", side(lambda s: "%d (%d own)" % (s["goods"], s["ownGoods"]))),
            both(name + " new columns", side(lambda s: ", ".join(s["newColumns"]) or "-")),
            both(name + " bills 1429, 1592", side(lambda s: ", ".join(s["bills"]))),
            both(name + " queries/cubes/rights", side(lambda s: "%d / %d / %d" % (s["queries"], s["cubes"], s["rights"]))),
            both(name + " views", side(lambda s: ", ".join(s["views"]) or "-")),
            both(name + " SA_PriceLog, flow chart", side(
                lambda s: "%s, %s" % ("-" if s["priceLog"] is None else "%d rows" % s["priceLog"],
                                      "yes" if s["flowChart"] else "no"))),
            both(name + " SA_Order rows (own)", side(lambda s: str(s["orders"]))),
        ]
    out.append(both("program version (Update.upf)", lambda s: s["programVersion"] or "-"))
    for name in PROGRAM_FILES:
        out.append(both(name, lambda s: "-" if not s["programFiles"][name] else
                        ("%s, " % s["programFiles"][name]["version"] if s["programFiles"][name]["version"] else "")
                        + "%d bytes" % s["programFiles"][name]["size"]))
    out.append(both("setup.sh ran (setup.log)", lambda s: s["setupLog"] or "-"))
    out.append(both("central members / rights rows", lambda s: "%d / %d" % (s["members"], s["rightsRows"])))
    out.append(both("backups (BackUp/EMBEDDED)", lambda s: str(s["backups"])))
    out.append(both("upgrade log (PatchLog.log)", lambda s: "-" if not s["log"] else
                    "%d succeeded, %d failed, %d reminders" % (s["log"]["succeeded"], s["log"]["failed"],
                                                                s["log"]["reminders"])))
    if outcome:
        out.append(("install outcome", "", outcome))
    return out


def outcome_of(cli_output):
    """"completed; SHOP01 upgraded, SHOP02 upgraded" from the outcome lines kestrane-cli printed."""
    text = open(cli_output, encoding="utf-8", errors="replace").read()
    m = re.search(r"^outcome: (\S+)", text, re.M)
    sets = re.findall(r"^account set (\S+) \(.*?\): ([^,\n]+)", text, re.M)
    return ((m.group(1) if m else "unknown") + "; " + ", ".join("%s %s" % s for s in sets)).rstrip("; ")


def table(before, after, cli_output=None):
    body = rows(before, after, outcome_of(cli_output) if cli_output else None)
    heads = ("", "before", "after")
    w = [max(width(r[i]) for r in body + [heads]) for i in range(3)]
    lines = ["  ".join(pad(h, w[i]) for i, h in enumerate(heads)).rstrip(),
             "  ".join("-" * n for n in w)]
    for r in body:
        mark = " " if r[1] == r[2] else "*"
        lines.append(("  ".join(pad(c, w[i]) for i, c in enumerate(r)) + " " + mark).rstrip())
    return "\n".join(lines)


def main(argv):
    if len(argv) == 3 and argv[1] == "facts":
        json.dump(facts(argv[2]), sys.stdout, ensure_ascii=False, indent=1)
        print()
        return 0
    if len(argv) in (4, 5) and argv[1] == "table":
        load = lambda p: json.load(open(p, encoding="utf-8"))
        print(table(load(argv[2]), load(argv[3]), argv[4] if len(argv) == 5 else None))
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
