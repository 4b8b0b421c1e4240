#include "framework/product_config.h"

#include <cstdlib>

#include "framework/base.h"
#include "framework/blob_codec.h"
#include "platform/file_system.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::framework {

namespace {

std::string FromCp936(const support::Bytes& bytes) {
    try {
        return support::Cp936ToUtf8(std::string(bytes.begin(), bytes.end()));
    } catch (const support::ECodePageError&) {
        return {};
    }
}

// Empty on any failure: a configuration that cannot be read is no configuration.
std::string DecompressedText(const std::string& path) {
    const auto bytes = ReadFileBytes(path);
    if (!bytes) return {};
    try {
        return FromCp936(DecompressBlob(*bytes, 0));
    } catch (const EQELException&) {
        return {};
    }
}

}  // namespace

TQELProductConfig ReadProductConfig(const std::string& dir) {
    const char* env = std::getenv("Lumo_LumoMVFilePostfix");
    return ReadProductConfig(dir, support::Trim(env ? env : ""));
}

TQELProductConfig ReadProductConfig(const std::string& dir, const std::string& overlayPostfix) {
    TQELProductConfig result;
    if (platform::FileExists(dir + "lumo.lumocf")) result.ConfigText = DecompressedText(dir + "lumo.lumocf");
    if (result.ConfigText.empty() && platform::FileExists(dir + "lumo.ini")) {
        if (const auto bytes = ReadFileBytes(dir + "lumo.ini")) result.ConfigText = FromCp936(*bytes);
    }
    if (result.ConfigText.empty()) return result;
    std::string overlay = dir + support::Format("lumo%s.lumomv", overlayPostfix);
    if (!platform::FileExists(overlay)) overlay = dir + support::Format("lumo%s.lumomv", "");
    if (platform::FileExists(overlay)) result.OverlayText = DecompressedText(overlay);
    return result;
}

}  // namespace kestrane::framework
