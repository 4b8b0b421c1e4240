#include "db/oracle_net.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>

#include "db/connection.h"
#include "db/texts.h"
#include "platform/file_system.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::db {

namespace fs = std::filesystem;
using support::Format;

namespace {

std::mutex gOraInstMutex;
std::string gOraInstFile;

bool ReadWholeFile(const std::string& path, std::string& out) {
    try {
        const auto bytes = platform::ReadFileBytes(path);
        out.assign(bytes.begin(), bytes.end());
        return true;
    } catch (const platform::EFileSystemError&) {
        return false;
    }
}

bool IsFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

}  // namespace

void SetOraInstLocFile(std::string path) {
    std::lock_guard lock(gOraInstMutex);
    gOraInstFile = std::move(path);
}

std::string OracleInventoryLocation() {
    std::string file;
    if (const char* env = std::getenv("KESTRANE_ORAINST_LOC"); env && *env) {
        file = env;
    } else {
        std::lock_guard lock(gOraInstMutex);
        file = gOraInstFile.empty() ? "/etc/oraInst.loc" : gOraInstFile;
    }
    std::string text;
    if (!IsFile(file) || !ReadWholeFile(file, text)) return {};
    for (const std::string& line : support::SplitLines(text)) {
        const std::string t = support::Trim(line);
        if (t.empty() || t[0] == '#') continue;
        const auto eq = t.find('=');
        if (eq != std::string::npos && support::SameText(support::Trim(t.substr(0, eq)), "inventory_loc"))
            return support::Trim(t.substr(eq + 1));
    }
    return {};
}

pugi::xml_node FindXmlNode(pugi::xml_node node, const std::string& path) {
    // Iterative form of the recursive walk, so that a long path cannot exhaust the stack.
    std::string rest = path;
    while (node) {
        const auto slash = rest.find('/');
        const std::string head = support::Trim(slash == std::string::npos ? rest : rest.substr(0, slash));
        rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        if (head.empty()) return node;
        pugi::xml_node found;
        for (pugi::xml_node child : node.children())
            if (support::SameText(child.name(), head)) {
                found = child;
                break;
            }
        node = found;
    }
    return {};
}

void AddTnsEntry(const std::string& tnsFile, const std::string& host, const std::string& sid,
                 std::int32_t port) {
    if (tnsFile.empty() || !IsFile(tnsFile)) return;
    std::string text;
    if (!ReadWholeFile(tnsFile, text)) throw EDatabaseError(Format(kTxtFileRead, tnsFile));
    // The file is in code page 936; its bytes are compared and written back as they are, and only the
    // new entry is converted from UTF-8.
    const std::string alias = support::Utf8ToCp936(Format(kFmtOracleAlias, sid, host));
    std::vector<std::string> lines = support::SplitLines(text);
    for (const std::string& line : lines) {
        const std::string t = support::Trim(line);
        if (t.empty() || t[0] == '#') continue;
        const auto eq = t.find('=');
        if (eq != std::string::npos && support::SameText(support::Trim(t.substr(0, eq)), alias)) return;
    }
    lines.push_back("\r\n");
    lines.push_back(support::Utf8ToCp936(Format(kFmtTnsEntry, host, sid, port)));
    // The new file replaces the old one whole: a failure part-way leaves the old entries, and a file
    // that is a link to a shared one is written where the link points.
    try {
        platform::WriteFileReplacing(tnsFile, support::JoinLines(lines), {.throughLink = true});
    } catch (const platform::EFileSystemError&) {
        throw EDatabaseError(Format(kTxtFileWrite, tnsFile));
    }
}

void RegisterTnsAlias(const std::string& host, const std::string& sid, std::int32_t port) {
    const std::string instLoc = OracleInventoryLocation();
    if (instLoc.empty()) return;
    const fs::path inventory = fs::path(instLoc) / "ContentsXML" / "inventory.xml";
    if (!IsFile(inventory)) return;
    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_file(inventory.c_str());
    if (!r) throw EDatabaseError(Format(kTxtXmlLoad, inventory.string(), r.description()));
    const pugi::xml_node homes = FindXmlNode(doc, "INVENTORY/HOME_LIST");
    if (!homes) return;
    for (pugi::xml_node home : homes.children()) {
        if (home.type() != pugi::node_element) continue;
        auto attr = [&](const char* name) -> std::string {
            for (pugi::xml_attribute a : home.attributes())
                if (support::SameText(a.name(), name)) return a.value();
            return {};
        };
        if (support::SameText(attr("REMOVED"), "T")) continue;
        if (!support::SameText(attr("TYPE"), "O")) continue;
        const std::string loc = attr("LOC");
        // Oracle on this platform spells the folder in lower case; a home copied from Windows may not.
        for (const char* admin : {"admin", "ADMIN"}) {
            const fs::path tns = loc + "/network/" + admin + "/tnsnames.ora";
            if (IsFile(tns)) {
                AddTnsEntry(tns.string(), host, sid, port);
                break;
            }
        }
    }
}

}  // namespace kestrane::db
