// The component stream reader on arbitrary bytes: into each of the three patch roots and through the
// class registry. Whatever it accepts must write out and read back to a fixed point.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>

#include "patch/component_stream.h"
#include "patch/inst_res_items.h"
#include "patch/param_info.h"
#include "patch/res_items.h"

namespace kp = kestrane::patch;

namespace {

void Require(bool ok) {
    if (!ok) __builtin_trap();
}

template <class Root>
std::unique_ptr<Root> Fresh() {
    auto root = std::make_unique<Root>();
    if constexpr (std::is_same_v<Root, kp::TInstResCollection>) root->ClearItems();
    return root;
}

// a = W(R(x)) must read again, and one more round gives the same bytes. (Reading a into a fresh
// root can differ from a only where a fresh root's initial values fill in omitted properties.)
template <class Root>
void ReadInto(std::span<const std::uint8_t> bytes) {
    auto root = Fresh<Root>();
    try {
        kp::ReadObjectStream(bytes, *root);
    } catch (const kp::EStreamError&) {
        kp::WriteObjectStream(*root);  // what was read before the failure stays writable
        return;
    }
    const kestrane::support::Bytes a = kp::WriteObjectStream(*root);
    auto second = Fresh<Root>();
    kp::ReadObjectStream(a, *second);
    const kestrane::support::Bytes b = kp::WriteObjectStream(*second);
    auto third = Fresh<Root>();
    kp::ReadObjectStream(b, *third);
    Require(kp::WriteObjectStream(*third) == b);
    if constexpr (!std::is_same_v<Root, kp::TBaseParamInfo>) Require(a == b);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kp::RegisterStreamClasses();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    ReadInto<kp::TResCollection>(bytes);
    ReadInto<kp::TInstResCollection>(bytes);
    ReadInto<kp::TBaseParamInfo>(bytes);
    try {
        const auto root = kp::ReadObjectStream(bytes);
        Require(root != nullptr);
        kp::WriteObjectStream(*root);
    } catch (const kp::EStreamError&) {
    }
    return 0;
}
