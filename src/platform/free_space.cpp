#include "platform/free_space.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/system_texts.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::platform {

namespace fs = std::filesystem;

namespace {

// The folder itself when it exists, else its nearest existing parent, with links resolved.
fs::path ExistingFolder(const std::string& folder) {
    std::error_code ec;
    fs::path p = fs::absolute(folder.empty() ? fs::path(".") : fs::path(folder), ec).lexically_normal();
    if (ec) p = "/";
    while (!fs::exists(p, ec) && p.has_relative_path()) p = p.parent_path();
    fs::path real = fs::canonical(p, ec);
    return ec ? p : real;
}

}  // namespace

std::optional<std::uint64_t> ParseMemAvailable(std::string_view meminfo) {
    for (const std::string& line : support::SplitLines(meminfo)) {
        constexpr std::string_view key = "MemAvailable:";
        if (line.compare(0, key.size(), key) != 0) continue;
        const std::string rest = support::Trim(std::string_view(line).substr(key.size()));
        std::size_t digits = 0;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
        // At most 15 digits of kB: the product in bytes stays far inside 64 bits.
        if (digits == 0 || digits > 15) return std::nullopt;
        const std::string unit = support::Trim(std::string_view(rest).substr(digits));
        std::uint64_t kb = 0;
        for (std::size_t i = 0; i < digits; ++i) kb = kb * 10 + static_cast<std::uint64_t>(rest[i] - '0');
        if (unit == "kB") return kb * 1024;
        if (unit.empty()) return kb;
        return std::nullopt;
    }
    return std::nullopt;
}

std::uint64_t FreeMemoryBytes(const std::string& meminfoFile) {
    std::ifstream in(meminfoFile, std::ios::binary);
    if (!in)
        throw ESystemFactError(support::Format(texts::kCannotReadMemory, meminfoFile, std::strerror(errno)));
    std::ostringstream text;
    text << in.rdbuf();
    const auto bytes = ParseMemAvailable(text.str());
    if (!bytes)
        throw ESystemFactError(
            support::Format(texts::kCannotReadMemory, meminfoFile, texts::kNoMemAvailable));
    return *bytes;
}

std::uint64_t FreeDiskBytes(const std::string& folder) {
    const fs::path p = ExistingFolder(folder);
    struct statvfs st {};
    if (::statvfs(p.c_str(), &st) != 0)
        throw ESystemFactError(support::Format(texts::kCannotReadDisk, p.string(), std::strerror(errno)));
    return static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_frsize);
}

std::string MountPointOf(const std::string& folder) {
    fs::path p = ExistingFolder(folder);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return "/";
    // Up the parents while they are on the same file system; the last one is where it is mounted.
    while (p.has_relative_path()) {
        const fs::path parent = p.parent_path();
        struct stat up {};
        if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
        p = parent;
    }
    return p.string();
}

}  // namespace kestrane::platform
