// The tagged reader on arbitrary bytes: every reader operation driven by a selector byte, then the
// whole data shown as entries. Only the framework's read error may come out.
#include <cstddef>
#include <cstdint>

#include "framework/base.h"
#include "framework/tagged.h"
#include "product/store_dump.h"

namespace kf = kestrane::framework;

namespace {

void ReadOne(kf::TQELReader& r, std::uint8_t op) {
    std::uint8_t extra = 0;
    std::uint32_t id = 0;
    std::int32_t version = 0;
    switch (op % 22) {
        case 0:
            r.ReadBoolean();
            break;
        case 1:
            r.ReadInt8();
            break;
        case 2:
            r.ReadInt16();
            break;
        case 3:
            r.ReadInt32();
            break;
        case 4:
            r.ReadInt64();
            break;
        case 5:
            r.ReadDouble();
            break;
        case 6:
            r.ReadSingle();
            break;
        case 7:
            r.ReadDateTime();
            break;
        case 8:
            r.ReadDouble2();
            break;
        case 9:
            r.ReadCardinal();
            break;
        case 10:
            r.ReadInt32Ext(extra);
            break;
        case 11:
            r.ReadGuid();
            break;
        case 12:
            r.ReadChar();
            break;
        case 13:
            r.ReadString();
            break;
        case 14:
            r.ReadWideString();
            break;
        case 15:
            r.ReadRawBlock(op / 22);
            break;
        case 16:
            r.ReadRecordHeader(op);
            break;
        case 17:
            r.ReadClassRef(id, version);
            break;
        case 18:
            r.ReadItemHeader();
            break;
        case 19:
            r.ReadBytes();
            break;
        case 20:
            r.ReadRawText();
            break;
        case 21:
            r.ReadRawWideText();
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // First byte: how many of the following bytes are selectors.
    const std::size_t ops = std::min<std::size_t>(data[0] % 16, size - 1);
    const kestrane::support::Bytes rest(data + 1 + ops, data + size);
    {
        kf::TQELMemReadData source(rest);
        kf::TQELReader r(source);
        try {
            for (std::size_t i = 0; i < ops; ++i) ReadOne(r, data[1 + i]);
        } catch (const kf::EQELException&) {
        }
    }
    try {
        kestrane::product::DumpTagged(rest);
    } catch (const kf::EQELException&) {
    }
    return 0;
}
