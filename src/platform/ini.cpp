#include "platform/ini.h"

#include <iconv.h>

#include <cerrno>
#include <utility>

#include "platform/file_system.h"
#include "platform/file_system_texts.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::platform {

using support::SameText;
using support::Trim;

std::string DecodeCp936Lenient(std::string_view bytes) {
    if (support::IsAscii(bytes)) return std::string(bytes);
    // One conversion over the whole text: a damaged file must not cost a conversion per byte.
    iconv_t cd = ::iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return support::Cp936ToUtf8(bytes);
    std::string out(bytes.size() * 2 + 4, '\0');
    char* src = const_cast<char*>(bytes.data());
    std::size_t srcLeft = bytes.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (::iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG || dstLeft < 1) {
            const auto used = static_cast<std::size_t>(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
            continue;
        }
        // An invalid or cut-off character: one "?" for its first byte, then on with the next.
        *dst++ = '?';
        --dstLeft;
        ++src;
        --srcLeft;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    ::iconv_close(cd);
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return out;
}

namespace {

// Names and values are single-line texts; a line break would turn the rest into other keys.
void CheckName(const char* what, std::string_view text, std::string_view forbidden, bool mayBeEmpty) {
    for (char c : text) {
        if (c == '\r' || c == '\n' || forbidden.find(c) != std::string_view::npos)
            throw EFileSystemError(support::Format(texts::kInvalidIniEntry, what, text));
    }
    if (!mayBeEmpty && Trim(text).empty())
        throw EFileSystemError(support::Format(texts::kInvalidIniEntry, what, text));
}

void CheckEntry(std::string_view section, std::string_view key, std::string_view value) {
    CheckName(texts::kIniSectionName, section, "]", false);
    CheckName(texts::kIniKeyName, key, "=", false);
    CheckName(texts::kIniValue, value, "", true);
}

std::optional<std::uint32_t> ExistingMode(const std::string& path) {
    const auto attrs = GetFileAttributes(path);
    if (!attrs) return std::nullopt;
    return attrs->mode;
}

// One line of a file on disk as the profile rules see it; `raw` and `eol` give it back unchanged.
struct ProfileLine {
    std::string raw;  // code page 936 bytes without the line break
    std::string eol;  // "\r\n", "\n", "\r" or "" for a last line without one
    enum Kind { Other, Header, Key } kind = Other;
    std::string name;   // section or key name
    std::string value;  // key value, quotes removed
};

ProfileLine ClassifyLine(std::string raw, std::string eol) {
    ProfileLine line;
    line.raw = std::move(raw);
    line.eol = std::move(eol);
    const std::string text = Trim(DecodeCp936Lenient(line.raw));
    if (text.empty() || text[0] == ';') return line;
    if (text[0] == '[') {
        const auto close = text.find(']');
        line.kind = ProfileLine::Header;
        line.name = Trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return line;
    }
    const auto eq = text.find('=');
    if (eq == std::string::npos) return line;
    line.kind = ProfileLine::Key;
    line.name = Trim(text.substr(0, eq));
    line.value = Trim(text.substr(eq + 1));
    if (line.value.size() >= 2 && (line.value.front() == '"' || line.value.front() == '\'') &&
        line.value.back() == line.value.front())
        line.value = line.value.substr(1, line.value.size() - 2);
    return line;
}

std::vector<ProfileLine> LoadProfile(const std::string& path) {
    std::vector<ProfileLine> lines;
    if (!FileExists(path)) return lines;
    const auto bytes = ReadFileBytes(path);
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = start;
        while (end < data.size() && data[end] != '\r' && data[end] != '\n') ++end;
        std::size_t next = end;
        if (next < data.size() && data[next] == '\r') ++next;
        if (next < data.size() && data[next] == '\n') ++next;  // LF alone or the LF of CR LF
        lines.push_back(ClassifyLine(std::string(data.substr(start, end - start)),
                                     std::string(data.substr(end, next - end))));
        start = next;
    }
    return lines;
}

void SaveProfile(const std::string& path, const std::vector<ProfileLine>& lines) {
    std::string out;
    for (const auto& line : lines) out += line.raw + line.eol;
    WriteFileReplacing(path, out, ExistingMode(path));
}

// Range [first, last) of the lines of the first section named `section`, header excluded.
struct SectionRange {
    std::size_t header, first, last;
};

std::optional<SectionRange> FindProfileSection(const std::vector<ProfileLine>& lines,
                                               std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != ProfileLine::Header || !SameText(lines[i].name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != ProfileLine::Header) ++end;
        return SectionRange{i, i + 1, end};
    }
    return std::nullopt;
}

const ProfileLine* FindProfileKey(const std::vector<ProfileLine>& lines, std::string_view section,
                                  std::string_view key) {
    const auto range = FindProfileSection(lines, section);
    if (!range) return nullptr;
    for (std::size_t i = range->first; i < range->last; ++i)
        if (lines[i].kind == ProfileLine::Key && SameText(lines[i].name, key)) return &lines[i];
    return nullptr;
}

ProfileLine NewLine(std::string text) {
    return ClassifyLine(support::Utf8ToCp936(text), "\r\n");
}

void InsertLine(std::vector<ProfileLine>& lines, std::size_t at, ProfileLine line) {
    if (at > 0 && lines[at - 1].eol.empty()) lines[at - 1].eol = "\r\n";
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

std::string NameOfLine(std::string_view line) {
    const auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string() : std::string(line.substr(0, eq));
}

}  // namespace

// ---- IniFile ----

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    const auto lines = LoadProfile(path_);
    const ProfileLine* line = FindProfileKey(lines, section, key);
    return line ? line->value : std::string(def);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const {
    return support::StrToIntDef(ReadString(section, key, ""), def);
}

bool IniFile::SectionExists(std::string_view section) const {
    return FindProfileSection(LoadProfile(path_), section).has_value();
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindProfileKey(LoadProfile(path_), section, key) != nullptr;
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> result;
    for (const auto& line : LoadProfile(path_)) {
        if (line.kind != ProfileLine::Header) continue;
        bool seen = false;
        for (const auto& name : result) seen = seen || SameText(name, line.name);
        if (!seen) result.push_back(line.name);
    }
    return result;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> result;
    const auto lines = LoadProfile(path_);
    const auto range = FindProfileSection(lines, section);
    if (!range) return result;
    for (std::size_t i = range->first; i < range->last; ++i)
        if (lines[i].kind == ProfileLine::Key) result.push_back(lines[i].name);
    return result;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    CheckEntry(section, key, value);
    auto lines = LoadProfile(path_);
    const std::string entry = Trim(key) + "=" + std::string(value);
    const auto range = FindProfileSection(lines, section);
    if (!range) {
        InsertLine(lines, lines.size(), NewLine("[" + Trim(section) + "]"));
        InsertLine(lines, lines.size(), NewLine(entry));
        SaveProfile(path_, lines);
        return;
    }
    for (std::size_t i = range->first; i < range->last; ++i) {
        if (lines[i].kind == ProfileLine::Key && SameText(lines[i].name, key)) {
            ProfileLine replaced = NewLine(entry);
            replaced.eol = lines[i].eol;
            lines[i] = std::move(replaced);
            SaveProfile(path_, lines);
            return;
        }
    }
    // After the section's last non-blank line, so blank lines before the next section stay there.
    std::size_t at = range->first;
    for (std::size_t i = range->first; i < range->last; ++i)
        if (!Trim(lines[i].raw).empty()) at = i + 1;
    InsertLine(lines, at, NewLine(entry));
    SaveProfile(path_, lines);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    auto lines = LoadProfile(path_);
    const auto range = FindProfileSection(lines, section);
    if (!range) return;
    for (std::size_t i = range->first; i < range->last; ++i) {
        if (lines[i].kind == ProfileLine::Key && SameText(lines[i].name, key)) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            SaveProfile(path_, lines);
            return;
        }
    }
}

void IniFile::EraseSection(std::string_view section) {
    auto lines = LoadProfile(path_);
    const auto range = FindProfileSection(lines, section);
    if (!range) return;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(range->header),
                lines.begin() + static_cast<std::ptrdiff_t>(range->last));
    SaveProfile(path_, lines);
}

// ---- MemIniFile ----

MemIniFile::MemIniFile(std::string path) : path_(std::move(path)) {
    if (!FileExists(path_)) return;
    const auto bytes = ReadFileBytes(path_);
    SetText(DecodeCp936Lenient(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

void MemIniFile::SetStrings(const std::vector<std::string>& lines) {
    sections_.clear();
    Section* current = nullptr;
    for (const auto& raw : lines) {
        const std::string s = Trim(raw);
        if (s.empty() || s[0] == ';') continue;
        if (s.size() >= 2 && s.front() == '[' && s.back() == ']') {
            sections_.push_back({Trim(s.substr(1, s.size() - 2)), {}});
            current = &sections_.back();
        } else if (current) {
            const auto eq = s.find('=');
            current->lines.push_back(
                eq == std::string::npos ? s : Trim(s.substr(0, eq)) + "=" + Trim(s.substr(eq + 1)));
        }
    }
}

void MemIniFile::SetText(std::string_view text) {
    SetStrings(support::SplitLines(text));
}

std::vector<std::string> MemIniFile::GetStrings() const {
    std::vector<std::string> result;
    for (const auto& section : sections_) {
        result.push_back("[" + section.name + "]");
        result.insert(result.end(), section.lines.begin(), section.lines.end());
        result.emplace_back();
    }
    return result;
}

std::string MemIniFile::GetText() const {
    std::string text;
    for (const auto& line : GetStrings()) text += line + "\r\n";
    return text;
}

const MemIniFile::Section* MemIniFile::Find(std::string_view section) const {
    for (const auto& s : sections_)
        if (SameText(s.name, section)) return &s;
    return nullptr;
}

MemIniFile::Section* MemIniFile::Find(std::string_view section) {
    return const_cast<Section*>(std::as_const(*this).Find(section));
}

std::string MemIniFile::ReadString(std::string_view section, std::string_view key,
                                   std::string_view def) const {
    if (const Section* s = Find(section)) {
        for (const auto& line : s->lines) {
            const auto eq = line.find('=');
            if (eq != std::string::npos && SameText(std::string_view(line).substr(0, eq), key))
                return line.substr(eq + 1);
        }
    }
    return std::string(def);
}

std::int32_t MemIniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const {
    return support::StrToIntDef(ReadString(section, key, ""), def);
}

bool MemIniFile::SectionExists(std::string_view section) const {
    return Find(section) != nullptr;
}

bool MemIniFile::ValueExists(std::string_view section, std::string_view key) const {
    if (const Section* s = Find(section)) {
        for (const auto& line : s->lines) {
            const auto eq = line.find('=');
            if (eq != std::string::npos && SameText(std::string_view(line).substr(0, eq), key)) return true;
        }
    }
    return false;
}

std::vector<std::string> MemIniFile::ReadSections() const {
    std::vector<std::string> result;
    for (const auto& s : sections_) result.push_back(s.name);
    return result;
}

std::vector<std::string> MemIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> result;
    if (const Section* s = Find(section)) {
        for (const auto& line : s->lines)
            if (line.find('=') != std::string::npos) result.push_back(NameOfLine(line));
    }
    return result;
}

std::vector<std::string> MemIniFile::ReadSectionValues(std::string_view section) const {
    const Section* s = Find(section);
    return s ? s->lines : std::vector<std::string>{};
}

void MemIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = Find(section);
    if (!s) {
        sections_.push_back({std::string(section), {}});
        s = &sections_.back();
    }
    std::string entry = std::string(key) + "=" + std::string(value);
    for (auto& line : s->lines) {
        const auto eq = line.find('=');
        if (eq != std::string::npos && SameText(std::string_view(line).substr(0, eq), key)) {
            line = std::move(entry);
            return;
        }
    }
    s->lines.push_back(std::move(entry));
}

void MemIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void MemIniFile::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = Find(section);
    if (!s) return;
    for (auto it = s->lines.begin(); it != s->lines.end(); ++it) {
        const auto eq = it->find('=');
        if (eq != std::string::npos && SameText(std::string_view(*it).substr(0, eq), key)) {
            s->lines.erase(it);
            return;
        }
    }
}

void MemIniFile::EraseSection(std::string_view section) {
    for (auto it = sections_.begin(); it != sections_.end(); ++it) {
        if (SameText(it->name, section)) {
            sections_.erase(it);
            return;
        }
    }
}

void MemIniFile::Clear() {
    sections_.clear();
}

void MemIniFile::UpdateFile() const {
    SaveToFile(path_);
}

void MemIniFile::SaveToFile(const std::string& path) const {
    WriteFileReplacing(path, support::Utf8ToCp936(GetText()), ExistingMode(path));
}

}  // namespace kestrane::platform
