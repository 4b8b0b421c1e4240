#include "patch/patch_version.h"

#include <charconv>
#include <cstring>
#include <exception>
#include <pugixml.hpp>
#include <string_view>

#include "patch/texts.h"
#include "platform/file_system.h"
#include "platform/ini.h"
#include "platform/resources.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::patch {
namespace {

constexpr std::string_view kXmlBlanks = " \t\r\n";

std::string_view TrimXml(std::string_view s) {
    const auto first = s.find_first_not_of(kXmlBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kXmlBlanks) - first + 1);
}

// The encoding named by the XML declaration of an 8-bit document, or empty.
std::string_view DeclaredEncoding(std::string_view doc) {
    if (doc.substr(0, 3) == "\xEF\xBB\xBF") doc.remove_prefix(3);
    if (doc.substr(0, 5) != "<?xml") return {};
    doc = doc.substr(0, doc.find("?>"));
    const auto at = doc.find("encoding");
    if (at == std::string_view::npos) return {};
    doc.remove_prefix(at + std::strlen("encoding"));
    doc = TrimXml(doc);
    if (doc.empty() || doc.front() != '=') return {};
    doc = TrimXml(doc.substr(1));
    if (doc.empty() || (doc.front() != '"' && doc.front() != '\'')) return {};
    const auto end = doc.find(doc.front(), 1);
    if (end == std::string_view::npos) return {};
    return doc.substr(1, end - 1);
}

bool IsGbkName(std::string_view name) {
    for (const char* gbk : {"GB2312", "GBK", "CP936", "GB18030", "windows-936", "x-gbk"})
        if (support::SameText(name, gbk)) return true;
    return false;
}

bool HasUtf16Or32Bom(std::string_view doc) {
    return doc.substr(0, 2) == "\xFF\xFE" || doc.substr(0, 2) == "\xFE\xFF" ||
           doc.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4);
}

// Descriptors written on the product's own systems often declare the Chinese code page, which the
// parser does not know; those are taken to UTF-8 first. Documents in UTF-16 or 32 are the parser's
// own business; every other 8-bit document must be UTF-8 (or declared Latin-1), so that no invalid
// text reaches the rest of the program.
void ParseDocument(std::span<const std::uint8_t> bytes, pugi::xml_document& doc) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const bool wide = HasUtf16Or32Bom(raw) || (raw.size() >= 2 && (raw[0] == '\0' || raw[1] == '\0'));
    const std::string_view declared = wide ? std::string_view() : DeclaredEncoding(raw);
    std::string converted;
    const bool gbk = IsGbkName(declared);
    if (gbk) {
        try {
            converted = support::Cp936ToUtf8(raw);
        } catch (const support::ECodePageError&) {
            throw EVersionFormatError(texts::kVersionBadText);
        }
    } else if (!wide && !support::SameText(declared, "ISO-8859-1") &&
               !support::SameText(declared, "latin1") && !support::IsValidUtf8(raw)) {
        throw EVersionFormatError(texts::kVersionBadText);
    }
    const pugi::xml_parse_result r =
        gbk ? doc.load_buffer(converted.data(), converted.size(), pugi::parse_default, pugi::encoding_utf8)
            : doc.load_buffer(bytes.data(), bytes.size());
    if (!r) throw EVersionFormatError(support::Format(texts::kVersionParseError, r.description(), r.offset));
    // The parser accepts several top-level elements; a document has one.
    int elements = 0;
    for (pugi::xml_node node : doc.children())
        if (node.type() == pugi::node_element && ++elements > 1)
            throw EVersionFormatError(texts::kVersionNotOneRoot);
}

bool HasChildElements(pugi::xml_node node) {
    for (pugi::xml_node child : node.children())
        if (child.type() == pugi::node_element) return true;
    return false;
}

// The text of a leaf: its character data without surrounding blanks; empty when the element is
// missing or holds elements of its own.
std::string Leaf(pugi::xml_node parent, const char* name) {
    const pugi::xml_node node = parent.child(name);
    if (!node || HasChildElements(node)) return {};
    std::string text;
    for (pugi::xml_node child : node.children())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    // A character reference can name what UTF-8 cannot hold (a lone surrogate).
    if (!support::IsValidUtf8(text)) throw EVersionFormatError(texts::kVersionBadText);
    return std::string(TrimXml(text));
}

std::uint8_t PatchTypeOf(const std::string& text) {
    std::string_view s = text;
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value < 0 || value > 3) return 0;
    return static_cast<std::uint8_t>(value);
}

void ReadVersions(pugi::xml_node part, std::string& newTag, std::string& newName, TVersionArray& versions) {
    if (!part || !HasChildElements(part)) return;
    if (const pugi::xml_node latest = part.child("newVersion")) {
        newTag = Leaf(latest, "tag");
        newName = Leaf(latest, "name");
    }
    const pugi::xml_node listed = part.child("versions");
    if (!listed || !HasChildElements(listed)) return;
    versions.clear();
    for (pugi::xml_node entry : listed.children())
        if (entry.type() == pugi::node_element) versions.push_back({Leaf(entry, "tag"), Leaf(entry, "name")});
}

}  // namespace

void TPatchVersion::LoadFromFile(const std::string& path) {
    if (!platform::FileExists(path)) return;
    const std::vector<std::uint8_t> bytes = platform::ReadFileBytes(path);
    LoadFromStream(bytes);
}

void TPatchVersion::LoadFromStream(std::span<const std::uint8_t> bytes) {
    pugi::xml_document doc;
    ParseDocument(bytes, doc);
    // Read into a copy, so that a failure part way leaves every field as it was.
    TPatchVersion next = *this;
    next.loaded_ = true;
    const pugi::xml_node root = doc.document_element();
    if (HasChildElements(root)) {
        next.Type = PatchTypeOf(Leaf(root, "type"));
        next.PatchNo = Leaf(root, "patchNo");
        next.PatchName = Leaf(root, "patchName");
        next.Description = Leaf(root, "description");
        ReadVersions(root.child("program"), next.ProgramNewTag, next.ProgramNewName, next.ProgramVersions);
        ReadVersions(root.child("instance"), next.InstanceNewTag, next.InstanceNewName,
                     next.InstanceVersions);
    }
    *this = std::move(next);
}

bool TPatchVersion::VersionListed(const TVersionArray& list, const std::string& value) {
    if (value.empty()) return true;
    for (const TVersionPair& pair : list)
        if (support::SameText(pair.Tag, value)) return true;
    return false;
}

std::string TPatchVersion::VersionFile(const std::string& installDir) const {
    std::string folder = installDir;
    if (folder.empty()) folder = ProgramDir;
    if (folder.empty()) folder = platform::ExtractFilePath(platform::RunningExecutable());
    return platform::IncludeTrailingPathDelimiter(folder) + texts::kVersionFile;
}

bool TPatchVersion::ProgramApplicable(const std::string& installDir) const {
    const std::string file = VersionFile(installDir);
    if (!platform::FileExists(file)) return true;
    return VersionListed(ProgramVersions,
                         platform::IniFile(file).ReadString(texts::kVersionSection, texts::kVersionKey, ""));
}

bool TPatchVersion::IsApplicable(int kind, const std::string& installDir,
                                 const std::string& accountSetVersion) const {
    switch (kind) {
        case vkProgram:
            return ProgramApplicable(installDir);
        case vkAccountSet:
            return VersionListed(InstanceVersions, accountSetVersion);
        case vkBoth:
            return ProgramApplicable(installDir) && VersionListed(InstanceVersions, accountSetVersion);
        default:
            return false;
    }
}

void TPatchVersion::StampNewVersion(TKVPatchType patchType, const std::string& installDir,
                                    const support::TInstArray& instances,
                                    TAccountSetStatements& statements) const {
    const std::string file = VersionFile(installDir);
    if (!platform::FileExists(file)) return;
    if (patchType == ptProgram || patchType == ptBoth)
        platform::IniFile(file).WriteString(texts::kVersionSection, texts::kVersionKey, ProgramNewTag);
    if (patchType != ptInstance && patchType != ptBoth) return;
    // The tag comes from the descriptor, outside data: quotes are doubled so that it stays one literal.
    const std::string stamp =
        support::Format(texts::kStampAccountSetVersion, support::QuotedSqlText(InstanceNewTag));
    for (const support::TInstanceRec& instance : instances) {
        if (!instance.Selected) continue;
        statements.Connect(instance.DBInfo, instance.DBName);
        try {
            statements.ExecSQL(texts::kAddVersionColumn);
        } catch (const std::exception&) {
            // The column is there already on every account set but the oldest.
        }
        statements.ExecSQL(stamp);
    }
}

}  // namespace kestrane::patch
