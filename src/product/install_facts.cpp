#include "product/install_facts.h"

#include <cctype>
#include <charconv>
#include <filesystem>

#include "framework/product_config.h"
#include "platform/ini.h"
#include "product/texts.h"
#include "support/text.h"

namespace kestrane::product {

namespace {

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// A decimal number with optional sign, fraction and exponent, blanks around it allowed.
std::optional<double> TryTextToNumber(std::string_view text) {
    const std::string t = support::Trim(text);
    std::string_view v = t;
    bool negative = false;
    if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    if (v.empty() || !(std::isdigit(static_cast<unsigned char>(v.front())) || v.front() == '.'))
        return std::nullopt;
    double d = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), d, std::chars_format::general);
    if (ec != std::errc() || end != v.data() + v.size()) return std::nullopt;
    return negative ? -d : d;
}

}  // namespace

std::optional<bool> TryTextToBoolean(std::string_view text) {
    if (support::SameText(text, "True")) return true;
    if (support::SameText(text, "False")) return false;
    if (const auto n = TryTextToNumber(text)) return *n != 0;
    return std::nullopt;
}

bool TextToBoolean(std::string_view text, bool def) {
    return TryTextToBoolean(text).value_or(def);
}

void MergeConfigOverlay(const std::string& OverlayText, const std::string& ConfigText,
                        platform::MemIniFile& Ini) {
    Ini.SetText(ConfigText);
    if (OverlayText.empty()) return;
    platform::MemIniFile overlay;
    overlay.SetText(OverlayText);
    for (const std::string& line : overlay.ReadSectionValues(texts::kMainSection)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        Ini.WriteString(texts::kMainSection, line.substr(0, eq), line.substr(eq + 1));
    }
}

bool IsNetworkEdition(const std::string& Dir) {
    try {
        if (FileExists(Dir + texts::kConfigFile)) {
            const framework::TQELProductConfig config = framework::ReadProductConfig(Dir);
            if (config.ConfigText.empty()) return false;
            platform::MemIniFile ini;
            MergeConfigOverlay(config.OverlayText, config.ConfigText, ini);
            return TextToBoolean(ini.ReadString(texts::kMainSection, texts::kNetKey, ""), true);
        }
        if (FileExists(Dir + texts::kSetupFile)) {
            const platform::IniFile setup(Dir + texts::kSetupFile);
            return TextToBoolean(
                setup.ReadString(texts::kSetupSection, texts::kNetVerKey, texts::kNetVerDefault), false);
        }
    } catch (const std::exception&) {
        // An unreadable file says nothing about the edition.
    }
    return false;
}

}  // namespace kestrane::product
