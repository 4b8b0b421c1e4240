// The record reader and the stored objects on arbitrary bytes: value 1 (connection factories), value 2
// (the instance list) and an instance element. Whatever loads must save and load again to the same
// bytes.
#include <cstddef>
#include <cstdint>

#include "framework/base.h"
#include "framework/db_conn_factory.h"
#include "framework/record.h"
#include "product/inst_info.h"

namespace kf = kestrane::framework;
namespace kp = kestrane::product;
using kestrane::support::Bytes;

namespace {

void Require(bool ok) {
    if (!ok) __builtin_trap();
}

void Factories(const Bytes& data) {
    kf::TQELDBConnFactorys factories;
    try {
        factories.LoadFromBlob(data);
    } catch (const kf::EQELException&) {
        // A failure inside the item list leaves no items; one in the trailer after it keeps them.
        // Either way the collection stays whole enough to be written.
        factories.SaveToBlob();
        return;
    }
    const Bytes saved = factories.SaveToBlob();
    kf::TQELDBConnFactorys again;
    again.LoadFromBlob(saved);
    Require(again.SaveToBlob() == saved);
}

void InstInfos(const Bytes& data) {
    kp::TQELInstInfoDArray infos;
    try {
        kf::LoadRecordFromBlob(&data, &infos, &kp::TQELInstInfoDArrayType());
    } catch (const kf::EQELException&) {
        return;
    }
    const Bytes saved = kf::SaveRecordToBlob(&infos, &kp::TQELInstInfoDArrayType());
    kp::TQELInstInfoDArray again;
    kf::LoadRecordFromBlob(&saved, &again, &kp::TQELInstInfoDArrayType());
    Require(again == infos);
}

void Element(const Bytes& data) {
    kp::TQELDBInstance element;
    try {
        element.LoadFromBlob(data);
    } catch (const kf::EQELException&) {
        return;
    }
    try {
        Require(element.SaveToBlob() == data);
    } catch (const kf::EQELException&) {
        // A name read from code page 936 always writes back; anything else is a fault.
        Require(false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, data + size);
    Factories(bytes);
    InstInfos(bytes);
    Element(bytes);
    return 0;
}
