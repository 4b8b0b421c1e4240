// Connection strings on arbitrary bytes: splitting, quoting and value lookup, the strings the engine
// builds from server records, and their translation to ODBC. No value may add, drop or change a key.
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

    // Any text splits or fails with the client's message; the lookup gives the first part of a key,
    // and the parts written again with their values quoted read back as the same parts.
    try {
        const auto parts = kd::SplitConnectionString(text);
        std::string again;
        for (const auto& [k, v] : parts) {
            Require(k.find(';') == std::string::npos && k.find('=') == std::string::npos);
            std::string first;
            for (const auto& [k2, v2] : parts)
                if (ks::SameText(k2, k)) {
                    first = v2;
                    break;
                }
            Require(kd::TDataExport::GetConnectionValue(text, k) == first);
            again += k + "=" + kd::QuoteConnectionValue(v) + ";";
        }
        Require(kd::SplitConnectionString(again) == parts);
        std::string schema, catalog;
        kd::TDataExport::GetSchemaAndCatalog(kd::DatabaseKindOf(text), text, schema, catalog);
    } catch (const kd::EDatabaseError&) {
    }

    // Any text given as an engine connection string translates or fails with the client's message.
    // An ODBC string typed whole keeps exactly its keys, in order, and every value as it was read: one
    // typed in ODBC's own braces may stand for what they enclose, any other (and every quoted one) is
    // the value itself.
    try {
        std::multimap<std::string, std::string> odbc;
        const std::string translated = kd::TranslateToOdbc(text);
        Require(ParseOdbc(translated, odbc));
        if (!ks::StartsText("MSDASQL", kd::ConnectionStringValueTrimmed(text, "Provider"))) {
            Require(odbc.count("DRIVER") == 1);
        } else {
            std::multimap<std::string, kd::ConnectionStringPart> typed;
            for (auto& p : kd::ConnectionStringParts(text))
                if (!ks::SameText(ks::Trim(p.key), "Provider")) typed.emplace(ks::UpperCase(p.key), p);
            Require(odbc.size() == typed.size());
            auto got = odbc.begin();
            for (const auto& [key, part] : typed) {
                Require(got->first == key);
                if (got->second != part.value) {
                    std::multimap<std::string, std::string> braced;
                    Require(!part.quoted && ks::StartsText("{", ks::Trim(part.value)) &&
                            ParseOdbc("K=" + ks::Trim(part.value), braced) && braced.size() == 1 &&
                            braced.begin()->second == got->second);
                }
                ++got;
            }
        }
    } catch (const kd::EDatabaseError&) {
    }

    // Strings built from a server record hold exactly their keys, read back every value as it was,
    // and in ODBC form keep every value one value, whatever it holds (";", "=", quotes, braces, blanks).
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
    std::vector<std::string> keys;
    for (const auto& [k, v] : kd::SplitConnectionString(built)) keys.push_back(k);
    const auto value = [&](const char* key) { return kd::TDataExport::GetConnectionValue(built, key); };
    std::multimap<std::string, std::string> odbc;
    switch (rec.DBType) {
        case ks::dbtMsSql: {
            std::vector<std::string> want =
                rec.Integrated ? std::vector<std::string>{"Provider", "Integrated Security",
                                                          "Persist Security Info", "Data Source"}
                               : std::vector<std::string>{"Provider", "Data Source", "User ID", "Password",
                                                          "Persist Security Info"};
            if (!dbName.empty()) want.push_back("Initial Catalog");
            Require(keys == want);
            Require(value("Data Source") == rec.Server && value("Initial Catalog") == dbName);
            std::string schema, catalog;
            kd::TDataExport::GetSchemaAndCatalog(ks::dbtMsSql, built, schema, catalog);
            Require(schema == "dbo" && catalog == dbName);
            Require(ParseOdbc(kd::TranslateToOdbc(built), odbc));
            Require(Only(odbc, "DRIVER") == "Fuzz SQL Server Driver");
            Require(Only(odbc, "SERVER") == rec.Server);
            Require(odbc.count("DATABASE") == (dbName.empty() ? 0u : 1u));
            if (!dbName.empty()) Require(Only(odbc, "DATABASE") == dbName);
            if (rec.Integrated) {
                Require(Only(odbc, "TRUSTED_CONNECTION") == "Yes" && odbc.count("UID") == 0 &&
                        odbc.count("PWD") == 0);
            } else {
                Require(value("User ID") == rec.User && value("Password") == rec.Password);
                Require(Only(odbc, "UID") == rec.User && Only(odbc, "PWD") == rec.Password);
                Require(odbc.count("TRUSTED_CONNECTION") == 0);
            }
            Require(odbc.size() == std::size_t{4} - (dbName.empty() ? 1u : 0u) + (rec.Integrated ? 0u : 1u));
            break;
        }
        case ks::dbtOracle: {
            Require(keys == std::vector<std::string>{"Provider", "Data Source", "User ID", "Password",
                                                     "Persist Security Info"});
            const std::string user = dbName.empty() ? rec.User : dbName;
            Require(value("Data Source") == "orcl_" + rec.Server && value("User ID") == user &&
                    value("Password") == rec.Password);
            Require(ParseOdbc(kd::TranslateToOdbc(built), odbc) && odbc.size() == 4);
            Require(Only(odbc, "DBQ") == "orcl_" + rec.Server);
            Require(Only(odbc, "UID") == user && Only(odbc, "PWD") == rec.Password);
            break;
        }
        case ks::dbAccess:
            Require(keys == std::vector<std::string>{"Provider", "data source", "Persist Security Info"});
            Require(kd::JetConnectionString(value("data source")) + ";Persist Security Info=False" == built);
            break;
    }
    return 0;
}
