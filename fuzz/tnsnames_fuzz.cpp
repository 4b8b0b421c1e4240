// The Oracle client files on arbitrary bytes: a tnsnames.ora that gets the alias entry (written once,
// then left alone), an inventory document walked for its live homes, and the oraInst.loc reader.
// Its files live in a folder of its own; the working folder stays the caller's, so relative corpus
// folders and -artifact_prefix mean what they say.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "db/connection.h"
#include "db/oracle_net.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/text.h"

namespace fs = std::filesystem;
namespace kd = kestrane::db;
namespace ks = kestrane::support;

namespace {

void Require(bool ok) {
    if (!ok) __builtin_trap();
}

fs::path gRoot;

void Write(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Read(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A name that reads back as itself from the alias line: no blanks, "=", "#" or line breaks.
bool PlainName(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!(std::isalnum(c) || c == '.' || c == '-' || c == '_')) return false;
    return true;
}

// Homes outside the fuzzer's own folder are never touched: such inputs skip the registration.
bool HomesStayInside(const std::string& xml) {
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size())) return true;
    for (pugi::xpath_node n : doc.select_nodes("//@*")) {
        const std::string v = n.attribute().value();
        if (!v.empty() && (v[0] == '/' || v.find("..") != std::string::npos || v[0] == '~')) return false;
    }
    return true;
}

// The inventory with every home location (relative, as HomesStayInside requires) made a folder below
// the fuzzer's own, so that nothing depends on the working folder; bytes that do not parse stay as
// they are and fail to load as such.
std::string InsideRoot(const std::string& xml) {
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size())) return xml;
    for (pugi::xpath_node n : doc.select_nodes("//@*")) {
        pugi::xml_attribute a = n.attribute();
        if (ks::SameText(a.name(), "LOC")) a.set_value((gRoot / a.value()).c_str());
    }
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw);
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // libFuzzer ends without running exit handlers, so each run's folder is named by its process and
    // the folders of runs that are gone are removed here.
    const std::string prefix = "kestrane-tns-fuzz-";
    std::error_code ec;
    // Files are replaced with a sync each time: in memory that costs nothing.
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    for (const auto& e : fs::directory_iterator(base, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && !fs::exists("/proc/" + name.substr(prefix.size()), ec))
            fs::remove_all(e.path(), ec);
    }
    gRoot = base / (prefix + std::to_string(getpid()));
    fs::create_directories(gRoot);
    Write(gRoot / "oraInst.loc", "inventory_loc=" + (gRoot / "inv").string() + "\n");
    setenv("KESTRANE_ORAINST_LOC", (gRoot / "oraInst.loc").c_str(), 1);
    return 0;
}

// Input: tnsnames.ora bytes, NUL, inventory.xml bytes, NUL, host, NUL, SID, NUL, port, NUL, lookup path.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> f = ks::Split(std::string(reinterpret_cast<const char*>(data), size), '\0');
    f.resize(6);
    const std::string& tns = f[0];
    const std::string& xml = f[1];
    const std::string& host = f[2];
    const std::string& sid = f[3];
    const std::int32_t port = static_cast<std::int32_t>(ks::TryStrToInt64(f[4]).value_or(1521));

    // One entry appended, and a second call finds it and leaves the file alone.
    const fs::path file = gRoot / "home" / "network" / "admin" / "tnsnames.ora";
    Write(file, tns);
    try {
        kd::AddTnsEntry(file.string(), host, sid, port);
        const std::string once = Read(file);
        kd::AddTnsEntry(file.string(), host, sid, port);
        if (PlainName(host) && PlainName(sid)) {
            Require(Read(file) == once);
            const std::string entry = ks::Format("%1:s_%0:s =\r\n  (DESCRIPTION = \r\n", host, sid);
            Require(once == tns || once.find(entry) != std::string::npos);
        }
    } catch (const kd::EDatabaseError&) {
    } catch (const ks::ECodePageError&) {
    }

    // The inventory's live homes; the one home of the seeds is "home".
    if (HomesStayInside(xml)) {
        Write(gRoot / "inv" / "ContentsXML" / "inventory.xml", InsideRoot(xml));
        Write(file, tns);
        try {
            kd::RegisterTnsAlias(host, sid, port);
        } catch (const kd::EDatabaseError&) {
        } catch (const ks::ECodePageError&) {
        }
    }

    pugi::xml_document doc;
    if (doc.load_buffer(xml.data(), xml.size())) {
        const pugi::xml_node n = kd::FindXmlNode(doc, f[5]);
        if (f[5].empty()) Require(n == doc);
    }

    // oraInst.loc of any content.
    Write(gRoot / "other.loc", tns);
    setenv("KESTRANE_ORAINST_LOC", (gRoot / "other.loc").c_str(), 1);
    const std::string loc = kd::OracleInventoryLocation();
    Require(loc.find('\n') == std::string::npos);
    setenv("KESTRANE_ORAINST_LOC", (gRoot / "oraInst.loc").c_str(), 1);
    return 0;
}
