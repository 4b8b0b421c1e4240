// Read-only access to the resource section of a Windows PE file (PE32 and PE32+), so that a patch
// made on Windows can be opened. The three-level directory (type, name, language) is walked once,
// each table at most once, so a damaged or hostile directory ends in an error, never in a loop.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/resources.h"
#include "platform/resources_io.h"

namespace kestrane::platform {

struct PeResource {
    ResourceInfo info;    // type "RCDATA" or a number or name; name "#<id>" for a numeric name
    bool rcData = false;  // numeric type 10
    std::uint64_t fileOffset = 0;
};

class PeResources {
  public:
    // nullopt when the source is not a PE file; throws EResourceError when its headers or its
    // resource directory are damaged. A PE without resources gives an empty list.
    static std::optional<PeResources> Find(const ByteSource& source, std::string_view origin);

    // Directory order.
    const std::vector<PeResource>& Resources() const { return resources_; }
    // The RCDATA resource `name` (ASCII case ignored), language 0 before any other; nullptr if absent.
    const PeResource* FindRcData(std::string_view name) const;

    static ResourceBytes Read(const ByteSource& source, const PeResource& resource);

  private:
    std::vector<PeResource> resources_;
};

}  // namespace kestrane::platform
