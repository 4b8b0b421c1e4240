// Connection strings on arbitrary bytes: splitting and value lookup, the strings the engine builds
// from server records, and their translation to ODBC, where no value may smuggle in a key of its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "db/connect.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/data_export.h"
#include "db/odbc_driver.h"
#include "support/text.h"

namespace kd = kestrane::db;
namespace ks = kestrane::support;

namespace {

void Require(bool ok) {
    if (!ok) __builtin_trap();
}

// Reads an ODBC connection string as the driver manager does: key=value; with {braced} values in
// which "}}" stands for "}". False when the text is not well formed.
bool ParseOdbc(const std::string& s, std::multimap<std::string, std::string>& out) {
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t eq = s.find('=', i);
        if (eq == std::string::npos) return false;
        std::string key = ks::UpperCase(s.substr(i, eq - i));
        std::string value;
        i = eq + 1;
        if (i < s.size() && s[i] == '{') {
            ++i;
            for (;;) {
                if (i >= s.size()) return false;
                if (s[i] == '}') {
                    if (i + 1 < s.size() && s[i + 1] == '}') {
                        value += '}';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s[i++];
            }
            if (i < s.size() && s[i] != ';') return false;
        } else {
            const std::size_t semi = s.find(';', i);
            value = s.substr(i, semi == std::string::npos ? std::string::npos : semi - i);
            i = semi == std::string::npos ? s.size() : semi;
        }
        out.emplace(std::move(key), std::move(value));
        if (i < s.size()) ++i;  // the ";"
    }
    return true;
}

std::string Only(const std::multimap<std::string, std::string>& m, const std::string& key) {
    Require(m.count(key) == 1);
    return m.find(key)->second;
}

// Splits the input at NUL bytes into the fields of a server record.
std::vector<std::string> Fields(const std::string& data, std::size_t n) {
    std::vector<std::string> f = ks::Split(data, '\0');
    f.resize(n);
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A driver named by the override, so that translation needs no driver manager; no Oracle inventory.
    setenv(kd::kEnvOdbcMsSqlDriver, "Fuzz SQL Server Driver", 1);
    setenv(kd::kEnvOdbcOracleDriver, "/opt/fuzz/oracle.so", 1);
    setenv("KESTRANE_ORAINST_LOC", "/nonexistent/oraInst.loc", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Splitting: no part holds a separator, and the lookup gives the first part of a key.
    const auto parts = kd::SplitConnectionString(text);
    for (const auto& [k, v] : parts) {
        Require(k.find(';') == std::string::npos && v.find(';') == std::string::npos);
        Require(k.find('=') == std::string::npos);
        std::string first;
        for (const auto& [k2, v2] : parts)
            if (ks::SameText(k2, k)) {
                first = v2;
                break;
            }
        Require(kd::TDataExport::GetConnectionValue(text, k) == first);
    }
    std::string schema, catalog;
    const ks::TKVDataBaseType kind = kd::DatabaseKindOf(text);
    kd::TDataExport::GetSchemaAndCatalog(kind, text, schema, catalog);

    // Any text given as an engine connection string translates or fails with the client's message.
    try {
        std::multimap<std::string, std::string> odbc;
        const std::string translated = kd::TranslateToOdbc(text);
        if (!ks::StartsText("MSDASQL", kd::ConnectionStringValueTrimmed(text, "Provider")))
            Require(ParseOdbc(translated, odbc) && odbc.count("DRIVER") == 1);
    } catch (const kd::EDatabaseError&) {
    }

    // Strings built from a server record read back their values, and in ODBC form every value stays
    // one value whatever it holds (";", "=", braces, blanks), except where the built string itself
    // already splits it.
    const std::vector<std::string> f = Fields(text, 5);
    ks::TDBInfoRec rec;
    rec.DBType = size > 0 ? static_cast<ks::TKVDataBaseType>(data[0] % 3) : ks::dbtMsSql;
    rec.Integrated = size > 1 && (data[1] & 1);
    rec.Server = f[1];
    rec.User = f[2];
    rec.Password = f[3];
    rec.SID = "orcl";
    const std::string& dbName = f[4];
    std::string built;
    try {
        built = kd::BuildConnectionString(rec, dbName);
    } catch (const std::exception&) {
        return 0;
    }
    auto plain = [](const std::string& v) { return v.find(';') == std::string::npos; };
    if (rec.DBType == ks::dbtMsSql && !rec.Integrated && plain(rec.Server) && plain(rec.User) &&
        plain(rec.Password) && plain(dbName)) {
        Require(kd::TDataExport::GetConnectionValue(built, "User ID") == rec.User);
        Require(kd::TDataExport::GetConnectionValue(built, "Initial Catalog") == dbName);
        kd::TDataExport::GetSchemaAndCatalog(ks::dbtMsSql, built, schema, catalog);
        Require(schema == "dbo" && catalog == dbName);
        std::multimap<std::string, std::string> odbc;
        Require(ParseOdbc(kd::TranslateToOdbc(built), odbc));
        Require(Only(odbc, "DRIVER") == "Fuzz SQL Server Driver");
        Require(Only(odbc, "SERVER") == ks::Trim(rec.Server));
        Require(Only(odbc, "UID") == ks::Trim(rec.User));
        Require(Only(odbc, "PWD") == rec.Password);
        if (!ks::Trim(dbName).empty()) Require(Only(odbc, "DATABASE") == ks::Trim(dbName));
    }
    if (rec.DBType == ks::dbtOracle && plain(rec.Server) && plain(rec.Password) && plain(dbName) &&
        plain(rec.User)) {
        std::multimap<std::string, std::string> odbc;
        Require(ParseOdbc(kd::TranslateToOdbc(built), odbc));
        Require(Only(odbc, "DBQ") == ks::Trim("orcl_" + rec.Server));
        Require(Only(odbc, "PWD") == rec.Password);
    }
    return 0;
}
