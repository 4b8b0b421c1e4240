#include "platform/registry.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/codepage.h"
#include "support/format.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace kestrane::platform {

namespace {

namespace su = kestrane::support;

constexpr char kDefaultFile[] = "/etc/kestrane/registry.reg";

[[noreturn]] void Fail(std::size_t line, std::string_view why) {
    throw ERegistryError(su::Format("Invalid registry file, line %d: %s", static_cast<int>(line), why));
}

struct RootName {
    const char* full;
    const char* abbrev;
    RegRoot root;
};
constexpr RootName kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", RegRoot::LocalMachine},
    {"HKEY_CURRENT_USER", "HKCU", RegRoot::CurrentUser},
    {"HKEY_CLASSES_ROOT", "HKCR", RegRoot::ClassesRoot},
    {"HKEY_USERS", "HKU", RegRoot::Users},
    {"HKEY_CURRENT_CONFIG", "HKCC", RegRoot::CurrentConfig},
};

const char* RootText(RegRoot root) {
    for (const auto& r : kRoots)
        if (r.root == root) return r.full;
    return "";
}

// Path components, empty ones dropped.
std::vector<std::string> Components(std::string_view path) {
    std::vector<std::string> out;
    for (auto& part : su::Split(path, '\\'))
        if (!part.empty()) out.push_back(part);
    return out;
}

std::string JoinPath(const std::vector<std::string>& parts, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i) out += '\\';
        out += parts[i];
    }
    return out;
}

// The file's text as UTF-8; `wide` tells whether it came as UTF-16 (the version-5 export form).
std::string DecodeFile(std::string_view bytes, bool& wide) {
    wide = false;
    try {
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
            static_cast<unsigned char>(bytes[1]) == 0xFE) {
            wide = true;
            return su::Utf16ToUtf8(su::LoadUtf16LittleEndian(
                std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()).subspan(2)));
        }
        if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
        if (su::IsValidUtf8(bytes)) return std::string(bytes);
        return su::Cp936ToUtf8(bytes);
    } catch (const su::ECodePageError&) {
        throw ERegistryError("Invalid registry file: undecodable text");
    }
}

// "aa,bb,..." with blanks allowed around the bytes.
std::vector<std::uint8_t> ParseHexBytes(std::string_view s, std::size_t line) {
    std::vector<std::uint8_t> out;
    if (su::Trim(s).empty()) return out;
    for (const auto& item : su::Split(s, ',')) {
        const std::string b = su::Trim(item);
        const auto byte = b.size() == 2 ? su::TryHexToBytes(b) : std::nullopt;
        if (!byte) Fail(line, "bad hex byte");
        out.push_back(byte->front());
    }
    return out;
}

// Reads a quoted text starting at s[pos] == '"'; pos ends after the closing quote.
std::string ParseQuoted(std::string_view s, std::size_t& pos, std::size_t line) {
    std::string out;
    ++pos;
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"') return out;
        if (c == '\\') {
            if (pos >= s.size()) break;
            c = s[pos++];
        }
        out += c;
    }
    Fail(line, "unterminated quoted text");
}

// Text held in a hex(1), hex(2) or hex(7) value: UTF-16LE in version-5 files, code page bytes before.
std::string TextOfBytes(const std::vector<std::uint8_t>& data, bool wide, std::size_t line) {
    try {
        if (wide) {
            std::u16string units = su::LoadUtf16LittleEndian(data);
            while (!units.empty() && units.back() == u'\0') units.pop_back();
            return su::Utf16ToUtf8(units);
        }
        std::string raw(data.begin(), data.end());
        while (!raw.empty() && raw.back() == '\0') raw.pop_back();
        return su::IsValidUtf8(raw) ? raw : su::Cp936ToUtf8(raw);
    } catch (const su::ECodePageError&) {
        Fail(line, "undecodable text value");
    }
}

// A number of the value's first bytes; bytes the value lacks count as zero.
template <class T>
std::uint64_t NumberOfBytes(const std::vector<std::uint8_t>& data) {
    std::uint8_t b[sizeof(T)] = {};
    std::copy_n(data.begin(), std::min(data.size(), sizeof(T)), b);
    return su::LoadLittleEndian<T>(b);
}

RegValue ParseData(std::string name, std::string_view data, bool wide, std::size_t line) {
    RegValue v;
    v.name = std::move(name);
    if (!data.empty() && data[0] == '"') {
        std::size_t pos = 0;
        v.type = RegDataType::String;
        v.text = ParseQuoted(data, pos, line);
        if (!su::Trim(data.substr(pos)).empty()) Fail(line, "text after the value");
        return v;
    }
    if (su::StartsText("dword:", data)) {
        const std::string digits = su::Trim(data.substr(6));
        if (digits.empty() || digits.size() > 8) Fail(line, "bad dword");
        for (char c : digits) {
            if (su::HexDigitValue(c) < 0) Fail(line, "bad dword");
            v.number = v.number * 16 + static_cast<unsigned>(su::HexDigitValue(c));
        }
        v.type = RegDataType::DWord;
        return v;
    }
    if (!su::StartsText("hex", data)) Fail(line, "unknown value type");
    std::size_t colon = data.find(':');
    if (colon == std::string_view::npos) Fail(line, "unknown value type");
    std::string_view kind = data.substr(3, colon - 3);
    unsigned type = 3;  // plain "hex:" is binary
    if (!kind.empty()) {
        if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') Fail(line, "unknown value type");
        type = 0;
        for (char c : kind.substr(1, kind.size() - 2)) {
            if (su::HexDigitValue(c) < 0 || type > 0xFFFF) Fail(line, "unknown value type");
            type = type * 16 + static_cast<unsigned>(su::HexDigitValue(c));
        }
    }
    v.data = ParseHexBytes(data.substr(colon + 1), line);
    switch (type) {
        case 1:
            v.type = RegDataType::String;
            v.text = TextOfBytes(v.data, wide, line);
            break;
        case 2:
            v.type = RegDataType::ExpandString;
            v.text = TextOfBytes(v.data, wide, line);
            break;
        case 7: {
            v.type = RegDataType::MultiString;
            std::string joined = TextOfBytes(v.data, wide, line);
            while (!joined.empty() && joined.back() == '\0') joined.pop_back();
            for (char& c : joined)
                if (c == '\0') c = '\n';
            v.text = joined;
            break;
        }
        case 4:
            v.type = RegDataType::DWord;
            v.number = NumberOfBytes<std::uint32_t>(v.data);
            break;
        case 0xB:
            v.type = RegDataType::QWord;
            v.number = NumberOfBytes<std::uint64_t>(v.data);
            break;
        case 3:
            v.type = RegDataType::Binary;
            break;
        default:
            v.type = RegDataType::Other;
            break;
    }
    return v;
}

}  // namespace

bool RegistryKey::ValueExists(std::string_view name) const {
    return FindValue(name) != nullptr;
}

const RegValue* RegistryKey::FindValue(std::string_view name) const {
    auto it = values_.find(su::UpperCase(name));
    return it == values_.end() ? nullptr : &it->second;
}

std::string RegistryKey::ReadString(std::string_view name) const {
    const RegValue* v = FindValue(name);
    if (!v) return {};
    if (v->type != RegDataType::String && v->type != RegDataType::ExpandString)
        throw ERegistryError(su::Format("Invalid data type for '%s'", name));
    return v->text;
}

std::vector<std::string> RegistryKey::ValueNames() const {
    std::vector<std::string> out;
    for (const auto& [key, v] : values_) out.push_back(v.name);
    return out;
}

std::string Registry::DefaultPath() {
    const char* env = std::getenv("KESTRANE_REGISTRY");
    return env && *env ? std::string(env) : std::string(kDefaultFile);
}

Registry Registry::Load() {
    const std::string path = DefaultPath();
    std::ifstream probe(path, std::ios::binary);
    if (!probe) return Registry{};
    return LoadFile(path);
}

Registry Registry::LoadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ERegistryError(su::Format("Cannot open registry file %s", path));
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) throw ERegistryError(su::Format("Cannot read registry file %s", path));
    return Parse(buf.str());
}

Registry Registry::Parse(std::string_view bytes) {
    bool wide = false;
    const std::string text = DecodeFile(bytes, wide);
    const std::vector<std::string> lines = su::SplitLines(text);

    Registry reg;
    RegistryKey* current = nullptr;
    bool header = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t lineNo = i + 1;
        std::string line = su::Trim(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (!header) {
            if (line != "REGEDIT4" && line != "Windows Registry Editor Version 5.00")
                Fail(lineNo, "missing REGEDIT4 header");
            header = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') Fail(lineNo, "unterminated key name");
            std::string_view name(line);
            name = name.substr(1, name.size() - 2);
            const bool remove = !name.empty() && name[0] == '-';
            if (remove) name.remove_prefix(1);
            std::vector<std::string> parts = Components(name);
            if (parts.empty()) Fail(lineNo, "empty key name");
            bool known = false;
            for (const auto& r : kRoots)
                if (su::SameText(parts[0], r.full) || su::SameText(parts[0], r.abbrev)) {
                    parts[0] = r.full;
                    known = true;
                }
            if (!known) Fail(lineNo, "unknown root key");
            const std::string full = JoinPath(parts, parts.size());
            const std::string upper = su::UpperCase(full);
            if (remove) {
                for (auto it = reg.keys_.begin(); it != reg.keys_.end();)
                    it = (it->first == upper || su::StartsText(upper + "\\", it->first)) ? reg.keys_.erase(it)
                                                                                         : std::next(it);
                current = nullptr;
                continue;
            }
            // A key implies its ancestors, as in the real registry.
            for (std::size_t n = 1; n <= parts.size(); ++n) {
                const std::string path = JoinPath(parts, n);
                auto [it, added] = reg.keys_.try_emplace(su::UpperCase(path));
                if (added) it->second.path_ = path;
                current = &it->second;
            }
            continue;
        }
        if (!current) Fail(lineNo, "value outside a key");
        std::string valueName;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (line[0] == '"') {
            valueName = ParseQuoted(line, pos, lineNo);
        } else {
            Fail(lineNo, "bad value name");
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') Fail(lineNo, "missing '='");
        std::string data = su::Trim(std::string_view(line).substr(pos + 1));
        // Long hex data goes on over lines ending with a backslash.
        if (su::StartsText("hex", data)) {
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                if (++i >= lines.size()) Fail(lineNo, "unterminated continuation");
                data += su::Trim(lines[i]);
            }
        }
        const std::string upperName = su::UpperCase(valueName);
        if (data == "-") {
            current->values_.erase(upperName);
            continue;
        }
        current->values_[upperName] = ParseData(valueName, data, wide, lineNo);
    }
    return reg;
}

const RegistryKey* Registry::OpenKey(RegRoot root, std::string_view path) const {
    std::vector<std::string> parts = Components(path);
    parts.insert(parts.begin(), RootText(root));
    auto it = keys_.find(su::UpperCase(JoinPath(parts, parts.size())));
    if (it != keys_.end()) return &it->second;
    // The root keys always exist.
    static const RegistryKey empty;
    return parts.size() == 1 ? &empty : nullptr;
}

}  // namespace kestrane::platform
