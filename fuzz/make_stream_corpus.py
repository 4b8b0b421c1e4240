#!/usr/bin/env python3
"""Writes the seed streams of stream_fuzz into fuzz/corpus/stream/: the shapes the patch tests use."""
import pathlib
import struct
import zlib

OUT = pathlib.Path(__file__).resolve().parent / "corpus" / "stream"


def ss(s):
    b = s.encode("ascii")
    return bytes([len(b)]) + b


def u32(v):
    return struct.pack("<I", v)


Z = b"\x00"
FALSE, TRUE = b"\x08", b"\x09"


def i8(v):
    return b"\x02" + struct.pack("<b", v)


def i16(v):
    return b"\x03" + struct.pack("<h", v)


def i32(v):
    return b"\x04" + struct.pack("<i", v)


def ident(name):
    return b"\x07" + ss(name)


def text(s):
    b = s.encode("ascii")
    return (b"\x06" + bytes([len(b)]) if len(b) <= 255 else b"\x0C" + u32(len(b))) + b


def utf8(s):
    b = s.encode("utf-8")
    return b"\x14" + u32(len(b)) + b


def utf16(s):
    b = s.encode("utf-16-le")
    return b"\x12" + u32(len(b) // 2) + b


def head(cls):
    return ss(cls) + Z


def stream(root):
    return b"TPF0" + root


def item(name, data, opt="otCopy", delay=i8(0)):
    z = zlib.compress(data, 9)
    return (head("TResItem") + ss("Name") + text(name) + ss("RelPath") + text("\\bin") + ss("OptType") +
            ident(opt) + ss("Param") + utf8("%PATH% -q 参数") + ss("Waiting") + TRUE + ss("DelayTime") + delay +
            ss("FILEDATA") + u32(len(z)) + z + Z + Z)


collection = ss("PatchType") + ident("ptBoth") + ss("NotCheckVersion") + FALSE + ss("NotUpdateVersion") + TRUE
node = (ss("Tag") + text("1429") + ss("Caption") + utf16("资产购买登记单") + ss("Text") + text(" and x = 'y'") +
        ss("TableType") + ident("ttData") + ss("SQLType") + ident("dbtOracle") + ss("ParamNodeType") +
        ident("pntBill"))
kinds = ["TInstInitScriptResItem", "TInstReCstResItem", "TInstBillResItem", "TInstQueryResItem",
         "TInstAnalyseResItem", "TInstBaseDataResItem", "TInstDeskFlowResItem", "TInstTableResItem",
         "TInstViewResItem", "TInstScriptResItem"]

seeds = {
    "params-default": stream(head("TBaseParamInfo") + ss("RegInstallPath") + text("Software\\Torlinex\\Lumo") +
                             ss("NeedFreeDiskMB") + i16(200) + ss("NeedFreeMemMB") + i8(0) +
                             ss("NeedCloseFileNames") + utf8("LumoClient.exe-Lumo客户端程序,b.exe") +
                             ss("NotBackup") + FALSE + Z + Z),
    "params-wide": stream(head("TBaseParamInfo") + ss("NeedFreeMemMB") + i32(40000) + ss("notbackup") +
                          ident("TRUE") + Z + Z),
    "files": stream(head("TResCollection") + collection + ss("Description") + utf8("补丁 v2") + Z +
                    item("a.exe", b"MZ" + bytes(range(64)) * 4, "otProgram", i16(200)) +
                    item("run.bat", b"@echo off\r\n", "otExecute", i32(40000)) + Z),
    "files-empty-item": stream(head("TResCollection") + collection + Z + head("TResItem") + ss("FILEDATA") +
                               u32(8) + zlib.compress(b"", 9) + Z + Z + Z),
    "files-long-text": stream(head("TResCollection") + ss("Description") + text("x" * 256) + Z + Z),
    "files-prefix": stream(b"\xF2" + i8(1) + head("TResCollection") + Z + b"\xF0" + head("TResItem") +
                           ss("FILEDATA") + u32(0) + Z + Z + Z),
    "inst-ten": stream(head("TInstResCollection") + Z + b"".join(head(k) + Z + Z for k in kinds) + Z),
    "inst-nodes": stream(head("TInstResCollection") + Z + head("TInstBillResItem") + ss("Description") +
                         text("bills") + Z + head("TNodeItem") + node + Z + Z + Z +
                         head("TInstScriptResItem") + Z + head("TNodeScriptItem") + node + ss("Text2") +
                         text("go") + ss("SQLType2") + ident("dbAccess") + ss("SQLExecType") +
                         ident("seCheck") + ss("DropBeforeCreate") + TRUE + Z + Z + Z +
                         head("TInstTableResItem") + Z + head("TNodeTableItem") + node + ss("BeforeSQL2") +
                         text("b") + ss("AfterSQL2") + text("a") + Z + Z + Z + Z),
    "unknown-class": stream(head("TInstResCollection") + Z + head("TInstScriptBaseResItem") + Z + Z + Z),
}

OUT.mkdir(parents=True, exist_ok=True)
for name, data in seeds.items():
    (OUT / name).write_bytes(data)
