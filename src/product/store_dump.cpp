#include "product/store_dump.h"

#include <cstdio>

#include "framework/blob_codec.h"
#include "framework/db_conn_factory.h"
#include "framework/tagged.h"
#include "product/inst_info.h"
#include "support/guid.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace kestrane::product {

using framework::TQELReader;

namespace {

std::string Hex(const std::uint8_t* p, std::size_t n) {
    return support::HexText(std::span(p, n));
}

std::string HexNumber(std::uint64_t v, int width) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%0*llX", width, static_cast<unsigned long long>(v));
    return buf;
}

std::string Number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

class Dumper {
  public:
    explicit Dumper(const support::Bytes& data) : source_(data), r_(source_) {}

    std::vector<TTaggedEntry> Run() {
        while (!r_.AtEnd() && !stopped_) Value();
        return std::move(out_);
    }

  private:
    void Add(int depth, std::string kind, std::string value) {
        out_.push_back({depth, std::move(kind), std::move(value)});
    }

    void Value() {
        switch (r_.PeekTag()) {
            case framework::tagTrue:
            case framework::tagFalse:
                Add(0, "boolean", r_.ReadBoolean() ? "true" : "false");
                break;
            case framework::tagInt8:
                Add(0, "int8", std::to_string(r_.ReadInt8()));
                break;
            case framework::tagInt16:
                Add(0, "int16", std::to_string(r_.ReadInt16()));
                break;
            case framework::tagInt32:
                Add(0, "int32", std::to_string(r_.ReadInt32()));
                break;
            case framework::tagInt64:
                Add(0, "int64", std::to_string(r_.ReadInt64()));
                break;
            case framework::tagDouble:
                Add(0, "double", Number(r_.ReadDouble()));
                break;
            case framework::tagSingle:
                Add(0, "single", Number(r_.ReadSingle()));
                break;
            case framework::tagDateTime:
                Add(0, "datetime", Number(r_.ReadDateTime()));
                break;
            case framework::tagDouble2:
                Add(0, "double2", Number(r_.ReadDouble2()));
                break;
            case framework::tagCardinal:
                Add(0, "cardinal", std::to_string(r_.ReadCardinal()));
                break;
            case framework::tagInt32Ext: {
                std::uint8_t extra = 0;
                const std::int32_t v = r_.ReadInt32Ext(extra);
                Add(0, "int32ext", std::to_string(v) + " extra " + std::to_string(extra));
                break;
            }
            case framework::tagGuid:
                Add(0, "guid", support::GuidToString(r_.ReadGuid()));
                break;
            case framework::tagCharZero:
            case framework::tagChar:
                Add(0, "char", HexNumber(static_cast<std::uint8_t>(r_.ReadChar()), 2));
                break;
            case framework::tagShortStringEmpty:
            case framework::tagShortString:
            case framework::tagStringEmpty:
            case framework::tagString:
                Add(0, "text", Quoted(r_.ReadString()));
                break;
            case framework::tagWideStringEmpty:
            case framework::tagWideString:
                Add(0, "widetext", Quoted(r_.ReadWideString()));
                break;
            case framework::tagRawBlock: {
                r_.ReadTag();
                const std::size_t n = r_.CheckedLength(r_.ReadRawInt32());
                support::Bytes b(n);
                r_.ReadRaw(b.data(), n);
                Add(0, "block", Hex(b.data(), b.size()));
                break;
            }
            case framework::tagBytes:
            case framework::tagBytesEmpty: {
                const support::Bytes b = r_.ReadBytes();
                Add(0, "bytes", Hex(b.data(), b.size()));
                break;
            }
            case framework::tagClassRef: {
                std::uint32_t id = 0;
                std::int32_t version = 0;
                r_.ReadClassRef(id, version);
                Add(0, "class", HexNumber(id, 8) + " version " + std::to_string(version));
                break;
            }
            case framework::tagItemHeader: {
                const framework::TQELItemHeader h = r_.ReadItemHeader();
                Add(0, "item",
                    HexNumber(h.ClassId, 8) + " version " + std::to_string(h.ClassVersion) + " check " +
                        HexNumber(h.NameCheckByte, 2));
                break;
            }
            case framework::tagRecord:
                Record();
                break;
            default:
                r_.ReadFailed();
        }
    }

    void Record() {
        r_.ReadTag();
        std::uint8_t check = 0;
        r_.ReadRaw(&check, 1);
        if (check == framework::NameCheckByte("TQELDBCFData")) {
            framework::TQELDBCFData d;
            framework::TQELDBCFDataType().ReadFields(r_, &d);
            Add(0, "record", "TQELDBCFData (" + HexNumber(check, 2) + ")");
            const auto& c = d.ConnData;
            Add(1, "Provider", Quoted(c.Provider));
            Add(1, "DataSource", Quoted(c.DataSource));
            Add(1, "UserID", Quoted(c.UserID));
            Add(1, "ConnPassword", c.ConnPassword.empty() ? "\"\"" : "(set)");
            Add(1, "ConnString", Quoted(c.ConnString));
            Add(1, "ConnText", Quoted(c.ConnText));
            Add(1, "CommandTimeout", std::to_string(c.CommandTimeout));
            Add(1, "ConnectTimeout", std::to_string(c.ConnectTimeout));
            Add(1, "Catalogs", std::to_string(d.Catalogs.size()));
            for (std::size_t i = 0; i < d.Catalogs.size(); ++i) {
                const auto& k = d.Catalogs[i];
                const std::string p = "Catalogs[" + std::to_string(i) + "].";
                Add(1, p + "CtlgName", Quoted(k.CtlgName));
                Add(1, p + "CtlgUser", Quoted(k.CtlgUser));
                Add(1, p + "CtlgPassword", k.CtlgPassword.empty() ? "\"\"" : "(set)");
                Add(1, p + "CtlgText", Quoted(k.CtlgText));
                Add(1, p + "CtlgId", std::to_string(k.CtlgId));
                Add(1, p + "CtlgFlags", std::to_string(k.CtlgFlags));
                Add(1, p + "UseCount", std::to_string(k.UseCount));
            }
            Add(1, "FactoryId", std::to_string(d.FactoryId));
        } else if (check == framework::NameCheckByte("TQELInstInfoDArray")) {
            TQELInstInfoDArray infos;
            TQELInstInfoDArrayType().ReadFields(r_, &infos);
            Add(0, "record", "TQELInstInfoDArray (" + HexNumber(check, 2) + ")");
            Add(1, "Count", std::to_string(infos.size()));
            for (std::size_t i = 0; i < infos.size(); ++i) {
                const auto& k = infos[i];
                const std::string p = "[" + std::to_string(i) + "].";
                Add(1, p + "InstName", Quoted(k.InstName));
                Add(1, p + "InstText", Quoted(k.InstText));
                Add(1, p + "InstId", support::GuidToString(k.InstId));
                Add(1, p + "InstRef",
                    HexNumber(k.InstRef, 8) + " (factory " + std::to_string(k.InstRef & 0xFFFF) +
                        ", catalogue " + std::to_string(k.InstRef >> 16) + ")");
                Add(1, p + "InstState", std::to_string(k.InstState));
            }
        } else if (check == kInstDataCheckByte) {
            Add(0, "record", "instance data (" + HexNumber(check, 2) + ")");
            Add(1, "InstName", Quoted(r_.ReadRawText()));
            Rest(1);
        } else {
            Add(0, "record", "unknown type (" + HexNumber(check, 2) + ")");
            Rest(1);
        }
    }

    void Rest(int depth) {
        support::Bytes b(r_.Remaining());
        if (!b.empty()) r_.ReadRaw(b.data(), b.size());
        Add(depth, "rest", Hex(b.data(), b.size()));
        stopped_ = true;
    }

    framework::TQELMemReadData source_;
    TQELReader r_;
    std::vector<TTaggedEntry> out_;
    bool stopped_ = false;
};

}  // namespace

TStoredValueFile DecodeValueFile(const support::Bytes& file) {
    TStoredValueFile v;
    if (file.size() < 4) return v;
    v.StoredSize = file.size() - 4;
    const std::size_t n = v.StoredSize;
    v.Trailer = support::LoadLittleEndian<std::int32_t>(file.data() + n);
    v.Empty = n == 0;
    if (v.Empty) return v;
    support::Bytes stored(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
    framework::InvertBytes(stored);
    v.Decoded = framework::DecompressBlob(stored, v.Trailer);
    return v;
}

std::vector<TTaggedEntry> DumpTagged(const support::Bytes& data) {
    return Dumper(data).Run();
}

}  // namespace kestrane::product
