#!/usr/bin/env bash
# Builds the demo under build/demo/ (or the folder given):
#   maker/     the installation a patch is made on: Lumo 8.2.0, one embedded account set DEMO01 holding
#              every kind of definition the designer offers and a few thousand rows of business data
#   customer/  an installation of the older version 8.1.0 the patch goes into: two account sets, the
#              central catalogue with members that clash, the product's configuration database,
#              "Update.upf" and the old program files
#   manifest.json, version.xml, files/   what `kestrane-cli build` makes the demo patch from
# Each installation has its own registry file naming its folder; store files are laid out byte by byte
# here, not by the program, and the account sets are SQLite files. Use them with:
#   export KESTRANE_REGISTRY=$PWD/build/demo/maker/registry.reg
#   kestrane-cli discover build/demo/maker/lumo
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/demo}"
rm -rf "$out"
mkdir -p "$out"
python3 - "$out" <<'PY'
import datetime, json, os, random, sqlite3, struct, sys, uuid, zlib

out = os.path.abspath(sys.argv[1])
KEY = "HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo"
OWN_ELEMENT = -268304361  # the element naming the account set itself

# ---- store files and registry ----

def text(s):  # record text: 32-bit length, code page 936 bytes
    b = s.encode("gbk")
    return struct.pack("<i", len(b)) + b

def guid_bytes(g):
    return uuid.UUID(g).bytes_le

def write_store(install, sets, accounts):
    """Value 1: one embedded server whose DataSource is the folder of its account-set files, catalogues
    in ascending CtlgId order (the central one last); value 2: the instance list, 32-byte records."""
    catalogs = [(db, 1024 + i) for i, (db, _, _) in enumerate(accounts)]
    catalogs.append(("NXCentre", 1024 + len(accounts)))
    record = b"".join(text(t) for t in ("Microsoft.Jet.OLEDB.4.0", sets, "", "", "", ""))
    record += struct.pack("<ii", 300, 5) + struct.pack("<i", len(catalogs))
    for name, ctlg_id in catalogs:
        record += text(name) + text("") + text("") + text("") + struct.pack("<hBb", ctlg_id, 0, 0)
    record += struct.pack("<h", 1) + b"\0\0"
    factory = bytes([26]) + struct.pack("<Ii", 0xF0000001, 0) + bytes([0xD0])  # item header
    factory += bytes([24, 0x79]) + record                                        # TQELDBCFData
    factory += bytes([4]) + struct.pack("<i", 0)                                 # no items of its own
    factory += bytes([1, 2, 0])                                                  # element trailer
    value1 = bytes([4]) + struct.pack("<i", 1) + factory + bytes([1, 2, 0])
    value2 = bytes([24, 0x54]) + struct.pack("<i", len(accounts))
    for (_, name, g), (_, ctlg_id) in zip(accounts, catalogs):
        value2 += text(name) + text("") + guid_bytes(g) + struct.pack("<I", 1 | ctlg_id << 16) + bytes(4)
    for value, plain in ((1, value1), (2, value2)):
        # complemented zlib stream (level 1), then the plain length
        stream = bytes(~b & 0xFF for b in zlib.compress(plain, 1))
        with open(os.path.join(install, "lumo_bd_%d_14.lmb" % value), "wb") as f:
            f.write(stream + struct.pack("<i", len(plain)))

def write_registry(side, install):
    with open(os.path.join(side, "registry.reg"), "w") as f:
        f.write('REGEDIT4\r\n\r\n[%s]\r\n"AppInstallPath"="%s"\r\n' % (KEY, install.replace("\\", "\\\\")))

def write_upf(install, version):
    with open(os.path.join(install, "Update.upf"), "w", newline="") as f:
        f.write("[UpdateConfig]\r\npf_version=%s\r\n" % version)

def program_file(path, title, version, size, seed):
    """A stand-in for a program file: its title and version as the product's file-version line, then
    bytes of its own."""
    rnd = random.Random(seed)
    head = ("MZ\0LUMO-VERSION=%s\0%s\0" % (version, title)).encode("utf-8")
    with open(path, "wb") as f:
        f.write(head + bytes(rnd.getrandbits(8) for _ in range(size - len(head))))

# ---- account sets ----

def hexguid(g):  # the 32 hex digits of a GUID's bytes, as the rights tables hold them
    return uuid.UUID(g).bytes_le.hex().upper()

def fixed_guid(rnd):
    return "{%s}" % str(uuid.UUID(int=rnd.getrandbits(128), version=4)).upper()

def stamp(rnd, year0, year1, millis=True):
    start = datetime.datetime(year0, 1, 1)
    span = (datetime.datetime(year1, 12, 31) - start).total_seconds()
    t = start + datetime.timedelta(seconds=rnd.random() * span)
    s = t.strftime("%Y-%m-%d %H:%M:%S")
    return s + ".%03d" % rnd.randrange(1000) if millis else s

def money(rnd, low, high, places):
    return "%.*f" % (places, rnd.uniform(low, high))

FAMILY = "王李张刘陈杨赵黄周吴徐孙胡朱高林何郭马罗"
GIVEN = ["伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟", "涛", "明", "超", "秀英", "华", "慧"]
CITIES = ["上海", "杭州", "南京", "苏州", "宁波", "广州", "深圳", "厦门", "北京", "天津", "成都", "武汉", "西安", "长沙", "郑州"]
REGIONS = {"上海": "华东", "杭州": "华东", "南京": "华东", "苏州": "华东", "宁波": "华东", "广州": "华南",
           "深圳": "华南", "厦门": "华南", "北京": "华北", "天津": "华北", "成都": "西南", "武汉": "华中",
           "西安": "西北", "长沙": "华中", "郑州": "华中"}
TRADES = ["商贸", "科技", "实业", "电子", "机械", "食品", "建材", "物流", "医药", "服饰"]
GOODS = [("螺纹钢", "吨", "HRB400 Φ%d"), ("电缆", "米", "YJV 3×%d"), ("复印纸", "箱", "A4 %dg"),
         ("轴承", "套", "6%03d-2RS"), ("办公椅", "把", "人体工学 %d型"), ("笔记本电脑", "台", "14英寸 %dG"),
         ("茶叶", "盒", "西湖龙井 %d克"), ("润滑油", "桶", "SAE %dW-40"), ("打印机硒鼓", "只", "CF%d"),
         ("安全帽", "顶", "ABS %d号")]

def person(rnd):
    return rnd.choice(FAMILY) + rnd.choice(GIVEN)

# The definition tables. Each account set of the older version lacks what 8.2.0 added: the bill's
# print style, the goods' bar code, the customer's tax number and the price log table.
def schema(version):
    new = version >= "8.2"
    return [
        "create table Sys_Accounts (AccountName varchar(80), InstanceID varchar(38), ZTVersion varchar(100), "
        "ZTOrgID LONG, ZTUnitName varchar(100), CreateDate DATETIME)",
        "create table QEL_InstElmnt (Enabled LONG, SvcID LONG, ElmntType LONG, ElmntID LONG, ElmntData LONGBINARY, "
        "InstID varchar(38))",
        "create table JC_BillFormat (RwID LONG, BillName varchar(50), BillType LONG, ModelID LONG, ParentRwID LONG, "
        "FormatData LONGBINARY, ModifyDate DATETIME" + (", PrintStyle varchar(40)" if new else "") + ")",
        "create table JC_SysOptInfo (G_ID GUID, RwID LONG, StdCode varchar(80), IntValue LONG, FloatValue DOUBLE, "
        "OrgID LONG, GUIDValue GUID, UserID GUID, BlobValue LONGBINARY, InfoType LONG, State LONG, ZTYear LONG)",
        "create table JC_DJBHGZ (BillType LONG, Prefix varchar(20), DateFormat varchar(20), SerialLen LONG, "
        "ResetCycle LONG)",
        "create table QR_Element (RwID LONG, Name varchar(50), ParentID LONG, QuerySQL MEMO, Version LONG)",
        "create table QR_DataAnalyse (RwID LONG, Name varchar(50), FactTable varchar(50), CubeDef MEMO)",
        "create table QR_DAExecuteTask (RwID LONG, Name varchar(50), Cron varchar(40), LastRun DATETIME)",
        "create table QR_DATaskLink (RwID LONG, TaskID LONG, CubeID LONG)",
        "create table JC_TableDict (CategoryID LONG, Subject varchar(50), TableName varchar(50), CodeRule varchar(20))",
        "create table JC_CodeJCSet (TableID LONG, Code varchar(20), Levels LONG, LevelLens varchar(20))",
        "create table Sys_PurFunRes (FunID LONG, FunName varchar(50), ParentID LONG, ModuleID LONG)",
        "create table Sys_OrgUnit (RwID LONG, StdCode varchar(20), StdName varchar(60), ParentID LONG)",
        "create table CERT_Member (UID varchar(32), Name varchar(50), Code varchar(50), Psdc varchar(50), "
        "Descript varchar(50), Attr int, CRC int)",
        "create table BD_Customer (CustID GUID, Code varchar(20), Name varchar(80), City varchar(20), Region varchar(10), "
        "Contact varchar(20), Phone varchar(20), CreditLimit DECIMAL(18,2), CreatedAt DATETIME, Note MEMO"
        + (", TaxNo varchar(20)" if new else "") + ")",
        "create table BD_Goods (GoodsID GUID, Code varchar(20), Name varchar(80), Model varchar(40), Unit varchar(10), "
        "Category LONG, Price DECIMAL(18,4), Cost DECIMAL(18,6), Stock DECIMAL(18,3), Photo LONGBINARY, Remark MEMO, "
        "CreatedAt DATETIME, UpdatedAt DATETIME, Disabled LONG" + (", BarCode varchar(20)" if new else "") + ")",
        "create table SA_Order (OrderID GUID, BillNo varchar(30), CustID GUID, GoodsID GUID, Qty DECIMAL(18,3), "
        "Amount DECIMAL(18,2), OrderDate DATETIME, Memo MEMO)",
    ] + (["create table SA_PriceLog (GoodsID GUID, OldPrice DECIMAL(18,4), NewPrice DECIMAL(18,4), "
          "ChangedAt DATETIME, ChangedBy varchar(20))"] if new else [])

def fill_common(c, rnd, name, g, version, org, unit_name, new):
    c.execute("insert into Sys_Accounts values (?, ?, ?, ?, ?, ?)",
              (name, g, version, org, unit_name, "2019-06-01 08:30:00.000"))
    c.execute("insert into QEL_InstElmnt values (1, ?, 80, 0, ?, ?)",
              (OWN_ELEMENT, bytes([24, 0x6F]) + text(name) + text(""), g))
    elements = 12 if new else 8
    for i in range(elements):
        c.execute("insert into QEL_InstElmnt values (1, ?, ?, ?, ?, ?)",
                  (1000 + i, 81 + i % 3, i, bytes(rnd.getrandbits(8) for _ in range(64)), g))

    bills = [(1429, "采购订单", 1, 0, 0), (1592, "销售订单", 3, 0, 0), (1601, "调拨单", 1, 0, 0),
             (2001, "采购订单明细", 2, 0, 1429), (2002, "销售订单明细", 2, 0, 1592),
             (3001, "销售订单(门店)", 4, 1592, 0), (3002, "销售订单(批发)", 5, 1592, 0)]
    for rw, bill, kind, model, parent in bills:
        if not new:
            bill = bill.replace("订单", "单")  # the older version's names
        row = [rw, bill, kind, model, parent, bytes(rnd.getrandbits(8) for _ in range(256)),
               stamp(rnd, 2023 if new else 2020, 2024 if new else 2021)]
        if new:
            row.append("A4横向" if kind in (1, 3) else None)
        c.execute("insert into JC_BillFormat values (%s)" % ",".join("?" * len(row)), row)

    options = [("GD_BillCfgMsg1429", 1), ("GD_BillCfgMsg1592", 1), ("GD_BillCfgMsg1601", 0),
               ("GD_BillMultiOptCfgMsg", 2 if new else 1), ("L5_SysOptInfo_Currency", 156),
               ("L5_SysOptInfo_Precision", 2)]
    for i, (code, value) in enumerate(options, 1):
        c.execute("insert into JC_SysOptInfo values (?, ?, ?, ?, ?, 0, ?, ?, ?, 0, 1, 2024)",
                  (fixed_guid(rnd), i, code, value, value / 10.0, "{00000000-0000-0000-0000-000000000000}",
                   "{00000000-0000-0000-0000-000000000000}", text(code) if value else None))

    for kind, prefix in ((1429, "CG"), (1592, "XS"), (1601, "DB")):
        c.execute("insert into JC_DJBHGZ values (?, ?, ?, ?, ?)",
                  (kind, prefix, "yyyymmdd" if new else "yymm", 5 if new else 4, 1))

    queries = ["库存查询", "销售明细查询", "采购明细查询", "应收账款查询", "客户往来对账"]
    if new:
        queries += ["商品条码查询", "价格变动查询"]
    for i, q in enumerate(queries, 1):
        c.execute("insert into QR_Element values (?, ?, 0, ?, ?)",
                  (i, q, "select * from BD_Goods where Disabled = 0" if i == 1 else None, 82 if new else 81))

    cubes = [(1, "销售分析", "SA_Order"), (2, "库存分析", "BD_Goods")] + ([(3, "客户信用分析", "BD_Customer")] if new else [])
    for rw, cube, fact in cubes:
        c.execute("insert into QR_DataAnalyse values (?, ?, ?, ?)", (rw, cube, fact, "<cube name='%s'/>" % cube))
    for rw, task in ((1, "每日汇总"), (2, "月末结转")):
        c.execute("insert into QR_DAExecuteTask values (?, ?, ?, ?)", (rw, task, "0 2 * * *", stamp(rnd, 2024, 2024)))
    for rw, (task, cube) in enumerate([(1, 1), (1, 2), (2, 1)] + ([(2, 3)] if new else []), 1):
        c.execute("insert into QR_DATaskLink values (?, ?, ?)", (rw, task, cube))

    dicts = [(10, "部门", "BD_Dept", "2-2-2"), (20, "职员", "BD_Employee", "4"), (30, "客户", "BD_Customer", "3-4"),
             (40, "商品", "BD_Goods", "2-3-4")]
    for cat, subject, table, rule in dicts:
        if not new and cat == 40:
            rule = "2-3"
        c.execute("insert into JC_TableDict values (?, ?, ?, ?)", (cat, subject, table, rule))
        c.execute("insert into JC_CodeJCSet values (?, ?, ?, ?)",
                  (cat, table[3:].upper(), rule.count("-") + 1, rule))

    funs = [(1, "基础资料", 0, 1), (101, "客户档案", 1, 1), (102, "商品档案", 1, 1), (2, "采购管理", 0, 2),
            (201, "采购订单", 2, 2), (3, "销售管理", 0, 3), (301, "销售订单", 3, 3), (302, "销售出库", 3, 3)]
    if new:
        funs += [(103, "商品条码", 1, 1), (303, "价格调整", 3, 3), (4, "数据分析", 0, 4)]
    c.executemany("insert into Sys_PurFunRes values (?, ?, ?, ?)", funs)

def org_tree(c, top):
    """A three-level code tree: company, branches, shops."""
    units = [("01", top, 0), ("0101", "华东分公司", 1), ("010101", "上海门店", 2), ("010102", "杭州门店", 2),
             ("0102", "华南分公司", 1), ("010201", "广州门店", 5), ("010202", "深圳门店", 5),
             ("02", "研发中心", 0), ("0201", "软件部", 8), ("020101", "测试组", 9)]
    for rw, (code, name, parent) in enumerate(units, 1):
        c.execute("insert into Sys_OrgUnit values (?, ?, ?, ?)", (rw, code, name, parent))
    return {code: rw for rw, (code, _, _) in enumerate(units, 1)}

def members(c, rows):
    for uid, name, code in rows:
        c.execute("insert into CERT_Member values (?, ?, ?, ?, '', 1, 0)", (uid, name, code, "x" + code))

def business(c, rnd, customers, goods, orders, own_goods, new):
    cust_ids = []
    for i in range(customers):
        city = rnd.choice(CITIES)
        cid = fixed_guid(rnd)
        cust_ids.append(cid)
        region = REGIONS[city]
        if not new and region == "华东" and rnd.random() < 0.2:
            region = "HD"  # the older version's region code, renamed by the patch's script
        row = [cid, "KH%05d" % (i + 1), city + rnd.choice("华东新宏远盛金鑫恒") + rnd.choice(TRADES) + "有限公司", city,
               region, person(rnd), "1%d" % rnd.randrange(3000000000, 9999999999),
               money(rnd, 0, 500000, 2) if rnd.random() > 0.1 else None, stamp(rnd, 2019, 2024),
               rnd.choice([None, None, "老客户", "需开具增值税专用发票", "月结30天"])]
        if new:
            row.append("91%016d" % rnd.randrange(10 ** 16) if rnd.random() > 0.3 else None)
        c.execute("insert into BD_Customer values (%s)" % ",".join("?" * len(row)), row)
    goods_ids = []
    for i in range(goods + own_goods):
        base, unit, model = GOODS[i % len(GOODS)]
        own = i >= goods  # the customer's own goods, outside the standard catalogue
        gid = fixed_guid(rnd)
        goods_ids.append(gid)
        row = [gid, ("ZY%04d" if own else "SP%05d") % (i + 1), base + ("(自定)" if own else ""),
               model % (8 + i % 40), unit, 900 + i % 5 if own else 1 + i % 12, money(rnd, 1, 9999, 4),
               money(rnd, 0.5, 8000, 6), money(rnd, 0, 5000, 3),
               bytes(rnd.getrandbits(8) for _ in range(rnd.randrange(200, 2000))) if rnd.random() < 0.1 else None,
               rnd.choice([None, None, None, "进口", "含税价", "季节性商品"]), stamp(rnd, 2018, 2023),
               stamp(rnd, 2024, 2024) if rnd.random() < 0.4 else None, 1 if rnd.random() < 0.05 else 0]
        if new:
            row.append("69%011d" % rnd.randrange(10 ** 11))
        c.execute("insert into BD_Goods values (%s)" % ",".join("?" * len(row)), row)
    for i in range(orders):
        c.execute("insert into SA_Order values (?, ?, ?, ?, ?, ?, ?, ?)",
                  (fixed_guid(rnd), "XS2024%06d" % (i + 1), rnd.choice(cust_ids), rnd.choice(goods_ids),
                   money(rnd, 1, 500, 3), money(rnd, 10, 200000, 2), stamp(rnd, 2024, 2024),
                   rnd.choice([None, "加急", "分批发货"])))

def views(c, new):
    c.execute("create view V_CustomerRegion as select Region, count(*) as Customers from BD_Customer group by Region")
    if new:
        c.execute("create view V_GoodsStock as select Code, Name, Stock, Price * Stock as StockValue, BarCode "
                  "from BD_Goods where Disabled = 0")

def central(path, rows):
    c = sqlite3.connect(path)
    c.executescript(
        "create table CERT_Member (UID varchar(32), Name varchar(50), Code varchar(50), Psdc varchar(50), "
        "Descript varchar(50), Attr int, CRC int);"
        "create table Cert_MLConn (UID varchar(32), GroupID varchar(32));"
        "create table CERT_ACL (UserID varchar(32), ResID varchar(32), ResType int, ACK int, Falg int, CRC int);")
    members(c, rows)
    for uid, _, _ in rows:
        c.execute("insert into Cert_MLConn values (?, 'G0001')", (uid,))
    c.commit()
    c.close()

def config_db(path):
    c = sqlite3.connect(path)
    c.executescript(
        "create table VerControl (FileName varchar(100), FileVersion varchar(20), CheckedAt DATETIME);"
        "insert into VerControl values ('LumoMain.exe', '8.1.0', '2024-05-01 09:00:00.000');"
        "insert into VerControl values ('LumoReport.dll', '8.1.0', '2024-05-01 09:00:00.000');"
        "create table SysConfig (Name varchar(50), Value varchar(200));"
        "insert into SysConfig values ('Language', 'zh-CN');")
    c.commit()
    c.close()

def account_set(path, name, g, version, seed, top, org_code, unit_name, sizes):
    new = version >= "8.2"
    rnd = random.Random(seed)
    c = sqlite3.connect(path)
    for sql in schema(version):
        c.execute(sql)
    codes = org_tree(c, top)
    fill_common(c, rnd, name, g, version, codes.get(org_code, 0), unit_name, new)
    business(c, rnd, *sizes, new)
    views(c, new)
    return c

# ---- the maker's side: Lumo 8.2.0 ----

maker = os.path.join(out, "maker")
install = os.path.join(maker, "lumo")
sets = os.path.join(install, "sets")
os.makedirs(sets)
maker_set = ("DEMO01", "标准账套8.2", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}")
c = account_set(os.path.join(sets, "DEMO01.mdb"), maker_set[1], maker_set[2], "8.2.0", 82, "演示集团",
                "01", "演示集团", (2000, 3000, 4000, 0))
members(c, [(hexguid("{A1000000-0000-4000-8000-000000000001}"), "系统管理员", "admin"),
            (hexguid("{A1000000-0000-4000-8000-000000000002}"), "实施顾问", "consultant")])
c.commit()
c.close()
central(os.path.join(sets, "NXCentre.mdb"), [(hexguid("{A1000000-0000-4000-8000-000000000001}"), "系统管理员", "admin")])
config_db(os.path.join(install, "LumoConfig.mdb"))
write_store(install, sets, [maker_set])
write_upf(install, "8.2.0")
program_file(os.path.join(install, "LumoMain.exe"), "Lumo主程序", "8.2.0", 48000, 1)
program_file(os.path.join(install, "LumoReport.dll"), "Lumo报表组件", "8.2.0", 24000, 2)
with open(os.path.join(install, "DeskFlow.fld"), "wb") as f:  # the desk flow chart of 8.2.0
    f.write('<flow version="8.2.0"><node id="1" text="采购订单"/><node id="2" text="销售订单"/>'
            '<node id="3" text="数据分析"/><link from="1" to="2"/></flow>'.encode("utf-8"))
write_registry(maker, install)

# ---- the customer's side: Lumo 8.1.0 ----

customer = os.path.join(out, "customer")
cinstall = os.path.join(customer, "lumo")
csets = os.path.join(cinstall, "data")
os.makedirs(csets)
shops = [("SHOP01", "华东分公司账套", "{3B2C1D4E-5F60-4718-9A2B-3C4D5E6F7081}"),
         ("SHOP02", "华南分公司账套", "{7C8D9EAF-B0C1-42D3-94E5-F60718293A4B}")]
# SHOP01 names its unit already (preselected on the organisation page); SHOP02 names none.
for (db, name, g), seed, org in zip(shops, (811, 812), ("0101", "")):
    c = account_set(os.path.join(csets, db + ".mdb"), name, g, "8.1.0", seed, "演示集团", org,
                    "华东分公司" if org else "", (600, 1150, 1500, 40))
    members(c, [(hexguid("{A1000000-0000-4000-8000-000000000001}"), "系统管理员", "admin"),
                (hexguid(g[:-5] + "0001}"), "张伟", "zhangwei"),
                (hexguid(g[:-5] + "0002}"), "李娜", "lina" if db == "SHOP01" else "lina2")])
    c.commit()
    c.close()
# The central catalogue knows zhangwei under another UID (a clash by code) and SHOP02's lina2 under her
# UID with the code of SHOP01's lina (a clash by UID).
central(os.path.join(csets, "NXCentre.mdb"),
        [(hexguid("{A1000000-0000-4000-8000-000000000001}"), "系统管理员", "admin"),
         (hexguid("{C0000000-0000-4000-8000-00000000000A}"), "张伟", "zhangwei"),
         (hexguid(shops[0][2][:-5] + "0002}"), "李娜", "lina"),
         (hexguid(shops[1][2][:-5] + "0002}"), "李娜", "lina")])
config_db(os.path.join(cinstall, "LumoConfig.mdb"))
write_store(cinstall, csets, shops)
write_upf(cinstall, "8.1.0")
program_file(os.path.join(cinstall, "LumoMain.exe"), "Lumo主程序", "8.1.0", 44000, 3)
program_file(os.path.join(cinstall, "LumoReport.dll"), "Lumo报表组件", "8.1.0", 22000, 4)
write_registry(customer, cinstall)

# ---- what the patch is made from ----

os.makedirs(os.path.join(out, "out"))  # where the demo patch is written
files = os.path.join(out, "files")
os.makedirs(files)
with open(os.path.join(files, "新功能说明.txt"), "w", encoding="utf-8") as f:
    f.write("Lumo 8.2.0 新功能\n- 商品条码\n- 价格变动记录\n- 客户信用分析\n")
with open(os.path.join(files, "setup.sh"), "w") as f:
    f.write('#!/bin/sh\n# Run by the installer with the installation folder.\necho "setup 8.2.0 done" >> "$1/setup.log"\n')
with open(os.path.join(out, "version.xml"), "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<patch>\n  <type>3</type>\n  <patchNo>LUMO-820-01</patchNo>\n'
            '  <patchName>Lumo 8.2.0 升级补丁</patchName>\n  <description>商品条码、价格变动记录、客户信用分析</description>\n'
            '  <program>\n    <newVersion><tag>8.2.0</tag><name>Lumo 8.2.0</name></newVersion>\n'
            '    <versions><v><tag>8.1.0</tag><name>Lumo 8.1.0</name></v></versions>\n  </program>\n'
            '  <instance>\n    <newVersion><tag>8.2.0</tag><name>账套 8.2.0</name></newVersion>\n'
            '    <versions><v><tag>8.1.0</tag><name>账套 8.1.0</name></v></versions>\n  </instance>\n</patch>\n')
manifest = {
    "installDir": "maker/lumo",
    "patchType": "both", "notCheckVersion": False, "notUpdateVersion": False, "notBackup": False,
    "output": "out/LumoPatch820", "versionFile": "version.xml",
    "description": "Lumo 8.1.0 升级到 8.2.0", "needFreeMemMB": 64, "needFreeDiskMB": 100,
    "closeFileNames": "LumoMain.exe-Lumo主程序",
    "files": [{"path": "maker/lumo/LumoMain.exe"}, {"path": "maker/lumo/LumoReport.dll"},
              {"path": "files/新功能说明.txt", "relPath": "\\doc"},
              {"path": "files/setup.sh", "action": "execute", "wait": True, "param": "%PATH%"}],
    "source": "DEMO01",
    "content": [
        {"kind": "initScript", "caption": "建立商品编码索引",
         "Text": "create index if not exists IX_Goods_Code on BD_Goods (Code)"},
        {"kind": "reCst", "tag": "QEL_InstElmnt", "Text": " and SvcID >= 1000"},
        {"kind": "reCst", "tag": "JC_BillFormat"},
        {"kind": "reCst", "tag": "BD_Goods"},
        {"kind": "reCst", "tag": "BD_Customer"},
        {"kind": "bill", "tag": "1429"},
        {"kind": "bill", "tag": "1592"},
        {"kind": "query", "tag": "QR_Element"},
        {"kind": "analyse", "tag": "*"},
        {"kind": "baseData", "tag": "*"},
        {"kind": "deskFlow", "file": "maker/lumo/DeskFlow.fld"},
        {"kind": "table", "tag": "BD_Goods", "Text": " and Category < 900"},
        {"kind": "table", "tag": "SA_PriceLog", "TableType": "structure"},
        {"kind": "view", "tag": "*"},
        {"kind": "script", "caption": "统一地区名称", "Text": "update BD_Customer set Region = '华东' where Region = 'HD'"},
    ],
    "descriptions": {"bill": "采购订单与销售订单的新格式", "table": "标准商品目录"},
}
with open(os.path.join(out, "manifest.json"), "w", encoding="utf-8") as f:
    json.dump(manifest, f, ensure_ascii=False, indent=2)
    f.write("\n")
PY
echo "demo in $out: maker/ (export KESTRANE_REGISTRY=$(cd "$out" && pwd)/maker/registry.reg), customer/, manifest.json"
