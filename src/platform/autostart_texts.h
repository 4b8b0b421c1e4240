// Fixed texts of the run-at-logon registration.
#pragma once

namespace kestrane::platform::texts {

// The value name under which the update client is started at logon.
inline constexpr char kAutorunValueName[] = "LumoUpdateClient";

}  // namespace kestrane::platform::texts
