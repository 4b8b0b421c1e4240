// Run at logon: the XDG autostart entry that stands in for the machine's Run key.
#pragma once

#include <optional>
#include <string>

namespace kestrane::platform {

// ${XDG_CONFIG_HOME:-~/.config}/autostart/ (a relative XDG_CONFIG_HOME is ignored, as the XDG rules say).
std::string AutostartFolder();
// The entry of the product's update client in AutostartFolder().
std::string AutostartEntryPath();

// Registers `ExePath` to be started at logon under the value name "LumoUpdateClient", replacing an
// earlier registration. False when the entry cannot be written; nothing is written then.
bool RegisterAutorun(const std::string& ExePath);

// The program the entry starts, or none when there is no readable entry.
std::optional<std::string> RegisteredAutorun();

// The Exec value for one program path: quoted, with the escapes of desktop entries.
std::string DesktopExecValue(const std::string& program);
// The inverse of DesktopExecValue for a single quoted or unquoted argument; none when malformed.
std::optional<std::string> ParseDesktopExecValue(const std::string& value);

}  // namespace kestrane::platform
