// The progress callback of the runs: sender, node type, message, position, maximum.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kestrane::patch {

// Defined with its values in inst_res_items.h.
enum TKVParamNodeType : std::uint8_t;

using TProgressEvent = std::function<void(const void* sender, TKVParamNodeType nodeType,
                                          const std::string& msg, int position, int maximum)>;

}  // namespace kestrane::patch
