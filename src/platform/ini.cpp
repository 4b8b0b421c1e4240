#include "platform/ini.h"

#include <iconv.h>

#include <algorithm>
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
    WriteFileReplacing(path, out);
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
//
// Lines are kept as the code page 936 bytes of the file, so that lines of the file that are not valid
// code page 936 are written back as they were; texts given and asked for are UTF-8. The rules look at
// the bytes, as the product's own runtime does: blanks, control characters, "=" and ";" are never
// part of a double-byte character, and a line from "[" to "]" is a section line.

namespace {

bool IsLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

// ASCII letters compared without case, double-byte characters as they are.
bool SameCp936Text(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsLeadByte(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (support::AsciiLower(a[i]) != support::AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string Encode(std::string_view utf8) {
    return support::Utf8ToCp936Lenient(utf8);
}

std::string_view KeyOfLine(std::string_view line) {
    const auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

bool IsKeyLine(std::string_view line, std::string_view key) {
    const auto eq = line.find('=');
    return eq != std::string_view::npos && SameCp936Text(line.substr(0, eq), key);
}

}  // namespace

MemIniFile::MemIniFile(std::string path) : path_(std::move(path)) {
    if (!FileExists(path_)) return;
    const auto bytes = ReadFileBytes(path_);
    Load(support::SplitLines(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

void MemIniFile::Load(const std::vector<std::string>& lines) {
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

void MemIniFile::SetStrings(const std::vector<std::string>& lines) {
    std::vector<std::string> encoded;
    encoded.reserve(lines.size());
    for (const auto& line : lines) encoded.push_back(Encode(line));
    Load(encoded);
}

void MemIniFile::SetText(std::string_view text) {
    SetStrings(support::SplitLines(text));
}

std::vector<std::string> MemIniFile::FileLines() const {
    std::vector<std::string> result;
    for (const auto& section : sections_) {
        result.push_back("[" + section.name + "]");
        result.insert(result.end(), section.lines.begin(), section.lines.end());
        result.emplace_back();
    }
    return result;
}

std::vector<std::string> MemIniFile::GetStrings() const {
    std::vector<std::string> result = FileLines();
    for (auto& line : result) line = DecodeCp936Lenient(line);
    return result;
}

std::string MemIniFile::GetText() const {
    return DecodeCp936Lenient(support::JoinLines(FileLines()));
}

const MemIniFile::Section* MemIniFile::Find(std::string_view section) const {
    const std::string name = Encode(section);
    for (const auto& s : sections_)
        if (SameCp936Text(s.name, name)) return &s;
    return nullptr;
}

MemIniFile::Section* MemIniFile::Find(std::string_view section) {
    return const_cast<Section*>(std::as_const(*this).Find(section));
}

std::string MemIniFile::ReadString(std::string_view section, std::string_view key,
                                   std::string_view def) const {
    if (const Section* s = Find(section)) {
        const std::string name = Encode(key);
        for (const auto& line : s->lines)
            if (IsKeyLine(line, name))
                return DecodeCp936Lenient(std::string_view(line).substr(line.find('=') + 1));
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
    const Section* s = Find(section);
    if (!s) return false;
    const std::string name = Encode(key);
    return std::any_of(s->lines.begin(), s->lines.end(),
                       [&](const std::string& l) { return IsKeyLine(l, name); });
}

std::vector<std::string> MemIniFile::ReadSections() const {
    std::vector<std::string> result;
    for (const auto& s : sections_) result.push_back(DecodeCp936Lenient(s.name));
    return result;
}

std::vector<std::string> MemIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> result;
    if (const Section* s = Find(section)) {
        for (const auto& line : s->lines)
            if (line.find('=') != std::string::npos) result.push_back(DecodeCp936Lenient(KeyOfLine(line)));
    }
    return result;
}

std::vector<std::string> MemIniFile::ReadSectionValues(std::string_view section) const {
    std::vector<std::string> result;
    if (const Section* s = Find(section))
        for (const auto& line : s->lines) result.push_back(DecodeCp936Lenient(line));
    return result;
}

void MemIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = Find(section);
    if (!s) {
        sections_.push_back({Encode(section), {}});
        s = &sections_.back();
    }
    const std::string name = Encode(key);
    std::string entry = name + "=" + Encode(value);
    for (auto& line : s->lines) {
        if (IsKeyLine(line, name)) {
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
    const std::string name = Encode(key);
    const auto it = std::find_if(s->lines.begin(), s->lines.end(),
                                 [&](const std::string& l) { return IsKeyLine(l, name); });
    if (it != s->lines.end()) s->lines.erase(it);
}

void MemIniFile::EraseSection(std::string_view section) {
    const std::string name = Encode(section);
    const auto it = std::find_if(sections_.begin(), sections_.end(),
                                 [&](const Section& s) { return SameCp936Text(s.name, name); });
    if (it != sections_.end()) sections_.erase(it);
}

void MemIniFile::Clear() {
    sections_.clear();
}

void MemIniFile::UpdateFile() const {
    SaveToFile(path_);
}

void MemIniFile::SaveToFile(const std::string& path) const {
    WriteFileReplacing(path, support::JoinLines(FileLines()));
}

}  // namespace kestrane::platform
