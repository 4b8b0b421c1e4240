// The failure of reading a component stream; the message is the user-facing text ("Invalid stream
// format", "Invalid property value", "Property %s does not exist", "Class %s not found", "Stream read
// error", "Error").
#pragma once

#include <stdexcept>

namespace kestrane::patch {

class EStreamError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace kestrane::patch
