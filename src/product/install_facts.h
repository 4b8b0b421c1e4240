// Facts of a product installation read from its folder: whether it is a network installation, and the
// in-memory merge of the product's configuration text with its overlay.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrane::platform {
class MemIniFile;
}

namespace kestrane::product {

// "True"/"False" in any case, or a number (0 false, any other true); nothing for any other text.
std::optional<bool> TryTextToBoolean(std::string_view text);
bool TextToBoolean(std::string_view text, bool def);

// Ini holds the lines of ConfigText, then every name=value line of the overlay's main section written
// over the same section of Ini; other sections of the overlay are ignored.
void MergeConfigOverlay(const std::string& OverlayText, const std::string& ConfigText,
                        platform::MemIniFile& Ini);

// Dir ends with a path delimiter. "lumo.lumocf" decides when it exists (a missing "net" or a text that
// is no Boolean count as network); else "lumosetup.dat" (missing NETVER counts as network, a text that
// is no Boolean as single-user); else single-user. Failures give false.
bool IsNetworkEdition(const std::string& Dir);

}  // namespace kestrane::product
