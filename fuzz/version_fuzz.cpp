// The version descriptor on arbitrary bytes: it parses or fails with its own error, what it reads is
// valid UTF-8 within the field ranges, and a failed parse leaves the fields as they were.
#include <cstddef>
#include <cstdint>
#include <span>

#include "patch/patch_version.h"
#include "support/codepage.h"

namespace kp = kestrane::patch;
using kestrane::support::IsValidUtf8;

namespace {

void Require(bool ok) {
    if (!ok) __builtin_trap();
}

bool Valid(const kp::TPatchVersion& v) {
    bool ok = v.Type <= 3 && IsValidUtf8(v.PatchNo) && IsValidUtf8(v.PatchName) &&
              IsValidUtf8(v.Description) && IsValidUtf8(v.ProgramNewTag) && IsValidUtf8(v.ProgramNewName) &&
              IsValidUtf8(v.InstanceNewTag) && IsValidUtf8(v.InstanceNewName);
    for (const auto* list : {&v.ProgramVersions, &v.InstanceVersions})
        for (const auto& pair : *list) ok = ok && IsValidUtf8(pair.Tag) && IsValidUtf8(pair.Name);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kp::TPatchVersion v;
    v.PatchNo = "before";
    try {
        v.LoadFromStream(std::span<const std::uint8_t>(data, size));
    } catch (const kp::EVersionFormatError&) {
        Require(!v.Loaded() && v.PatchNo == "before");
        return 0;
    }
    Require(v.Loaded() && Valid(v));
    // Reading the same bytes again changes nothing.
    kp::TPatchVersion again = v;
    again.LoadFromStream(std::span<const std::uint8_t>(data, size));
    Require(again.PatchNo == v.PatchNo && again.ProgramVersions == v.ProgramVersions &&
            again.InstanceVersions == v.InstanceVersions && again.Type == v.Type);
    return 0;
}
