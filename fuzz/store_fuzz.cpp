// A whole store value file on arbitrary bytes: trailer, complement, inflate with the trailer as size
// hint, then the decoded content shown and loaded as value 1 and value 2.
#include <cstddef>
#include <cstdint>

#include "framework/base.h"
#include "framework/db_conn_factory.h"
#include "framework/record.h"
#include "product/inst_info.h"
#include "product/store_dump.h"

namespace kf = kestrane::framework;
namespace kp = kestrane::product;
using kestrane::support::Bytes;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kp::TStoredValueFile value;
    try {
        value = kp::DecodeValueFile(Bytes(data, data + size));
    } catch (const kf::EQELException&) {
        return 0;
    }
    try {
        kp::DumpTagged(value.Decoded);
    } catch (const kf::EQELException&) {
    }
    try {
        kf::TQELDBConnFactorys factories;
        factories.LoadFromBlob(value.Decoded);
    } catch (const kf::EQELException&) {
    }
    try {
        kp::TQELInstInfoDArray infos;
        kf::LoadRecordFromBlob(&value.Decoded, &infos, &kp::TQELInstInfoDArrayType());
    } catch (const kf::EQELException&) {
    }
    return 0;
}
