#!/usr/bin/env bash
# Builds a demo Lumo installation under build/demo/: a registry file naming it, store files (laid out
# byte by byte here, not by the program) that list one embedded server with its catalogues, and two
# embedded account sets as SQLite files. Use it with:
#   export KESTRANE_REGISTRY=$PWD/build/demo/registry.reg
#   kestrane-cli discover build/demo/lumo
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/demo}"
rm -rf "$out"
mkdir -p "$out/lumo/sets"
python3 - "$out" <<'PY'
import os, sqlite3, struct, sys, uuid, zlib

out = os.path.abspath(sys.argv[1])
install = os.path.join(out, "lumo")
sets = os.path.join(install, "sets")

def text(s):  # record text: 32-bit length, code page 936 bytes
    b = s.encode("gbk")
    return struct.pack("<i", len(b)) + b

def guid_bytes(g):
    return uuid.UUID(g).bytes_le

# Value 1: the connection factories. One embedded server whose DataSource is the folder of its
# account-set files; catalogues in ascending CtlgId order.
catalogs = [("DEMO01", 1024), ("DEMO02", 1025), ("NXCentre", 1026)]
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

accounts = [("DEMO01", "演示公司一", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}", 1024),
            ("DEMO02", "演示公司二", "{0E984725-C51C-4BF4-9960-E1C80E27ABA0}", 1025)]
# Value 2: the instance list, 32-byte records.
value2 = bytes([24, 0x54]) + struct.pack("<i", len(accounts))
for _, name, g, ctlg_id in accounts:
    value2 += text(name) + text("") + guid_bytes(g) + struct.pack("<I", 1 | ctlg_id << 16) + bytes([0, 0, 0, 0])

def store(value, plain):  # complemented zlib stream (level 1), then the plain length
    stream = bytes(~b & 0xFF for b in zlib.compress(plain, 1))
    with open(os.path.join(install, "lumo_bd_%d_14.lmb" % value), "wb") as f:
        f.write(stream + struct.pack("<i", len(plain)))

store(1, value1)
store(2, value2)

for db, name, g, _ in accounts:
    c = sqlite3.connect(os.path.join(sets, db + ".mdb"))
    c.execute("create table Sys_Accounts (AccountName varchar(80), InstanceID varchar(38), ZTVersion varchar(20), "
              "ZTOrgID LONG, ZTUnitName varchar(50))")
    c.execute("insert into Sys_Accounts values (?, ?, '8.1.0', 1, '总部')", (name, g))
    c.execute("create table QEL_InstElmnt (Enabled int, SvcID int, ElmntType int, ElmntID int, ElmntData blob, "
              "InstID varchar(38))")
    c.execute("insert into QEL_InstElmnt values (1, -268304361, 80, 0, ?, ?)", (bytes([24, 0x6F]) + text(name) + text(""), g))
    # The organisation units the installer offers for the account set.
    c.execute("create table Sys_OrgUnit (RwID LONG, StdCode varchar(20), StdName varchar(50))")
    c.execute("insert into Sys_OrgUnit values (1, '01', '总部'), (2, '0101', '财务部')")
    c.execute("create table CERT_Member (UID varchar(32), Name varchar(50), Code varchar(50), Psdc varchar(50), "
              "Descript varchar(100), Attr int, CRC int)")
    # The definitions a patch is made from: bills, queries, base data, cubes, options, rights, and a
    # user table with a view on it.
    for sql in (
        "create table JC_BillFormat (RwID LONG, BillName varchar(50), BillType LONG, ModelID LONG, ParentRwID LONG)",
        "insert into JC_BillFormat values (1429, '采购订单', 1, 0, 0), (1592, '销售订单', 3, 0, 0), "
        "(2001, '采购订单明细', 2, 0, 1429)",
        "create table JC_SysOptInfo (RwID LONG, StdCode varchar(80), IntValue LONG, BlobValue LONGBINARY)",
        "insert into JC_SysOptInfo (RwID, StdCode, IntValue) values (1, 'GD_BillCfgMsg1429', 1), "
        "(2, 'GD_BillMultiOptCfgMsg', 0)",
        "create table JC_DJBHGZ (BillType LONG, Prefix varchar(20))",
        "insert into JC_DJBHGZ values (1429, 'CG'), (1592, 'XS')",
        "create table QR_Element (RwID LONG, Name varchar(50))",
        "insert into QR_Element values (1, '库存查询')",
        "create table QR_DataAnalyse (RwID LONG, Name varchar(50))",
        "create table QR_DAExecuteTask (RwID LONG, Name varchar(50))",
        "create table QR_DATaskLink (RwID LONG, TaskID LONG)",
        "create table JC_TableDict (CategoryID LONG, Subject varchar(50))",
        "insert into JC_TableDict values (10, '部门'), (20, '职员')",
        "create table JC_CodeJCSet (TableID LONG, Code varchar(20))",
        "insert into JC_CodeJCSet values (10, 'BM'), (20, 'ZY')",
        "create table Sys_PurFunRes (FunID LONG, FunName varchar(50))",
        "insert into Sys_PurFunRes values (1, '录入'), (2, '审核')",
        "create table BD_Customer (ID LONG, Name varchar(50), Region varchar(10))",
        "insert into BD_Customer values (1, '华北客户', 'N'), (2, '华南客户', 'S')",
        "create view V_NorthCustomer as select ID, Name from BD_Customer where Region = 'N'",
    ):
        c.execute(sql)
    c.commit()
    c.close()
c = sqlite3.connect(os.path.join(sets, "NXCentre.mdb"))
c.execute("create table CERT_Member (UID varchar(32), Name varchar(50), Code varchar(50), Psdc varchar(50), "
          "Descript varchar(50), Attr int, CRC int)")
c.execute("create table Cert_MLConn (UID varchar(32), Link int)")
c.execute("create table Cert_ACL (UserID varchar(32), ResID varchar(32), ResType int, ACK int, Falg int, CRC int)")
c.commit()
c.close()
# The product's configuration database: the installer synchronises rights only where it is.
c = sqlite3.connect(os.path.join(install, "LumoConfig.mdb"))
c.execute("create table VerControl (ID int)")
c.commit()
c.close()

with open(os.path.join(install, "Update.upf"), "w") as f:
    f.write("[UpdateConfig]\r\npf_version=8.1.0\r\n")
key = "HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo"
with open(os.path.join(out, "registry.reg"), "w") as f:
    f.write('REGEDIT4\r\n\r\n[%s]\r\n"AppInstallPath"="%s"\r\n' % (key, install.replace("\\", "\\\\")))
PY
echo "demo installation in $out/lumo; export KESTRANE_REGISTRY=$(cd "$out" && pwd)/registry.reg"
