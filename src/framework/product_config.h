// The product's configuration text ("lumo.lumocf" compressed, else "lumo.ini") and its overlay
// ("lumo<postfix>.lumomv"). The files are zlib streams without complement, texts in code page 936.
#pragma once

#include <string>

namespace kestrane::framework {

struct TQELProductConfig {
    std::string ConfigText;   // UTF-8
    std::string OverlayText;  // UTF-8
};

// dir ends with a path delimiter; the overlay postfix is taken from "Lumo_LumoMVFilePostfix".
TQELProductConfig ReadProductConfig(const std::string& dir);
TQELProductConfig ReadProductConfig(const std::string& dir, const std::string& overlayPostfix);

}  // namespace kestrane::framework
