#include "db/connect.h"

#include <filesystem>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/oracle_net.h"
#include "db/texts.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::db {

using support::Format;

std::string BuildConnectionString(const support::TDBInfoRec& dbInfo, const std::string& dbName) {
    // Every value quoted where it would otherwise end its part or lose its blanks.
    const auto& q = QuoteConnectionValue;
    switch (dbInfo.DBType) {
        case support::dbtMsSql: {
            std::string s = dbInfo.Integrated ? Format(kFmtMsSqlIntegrated, q(dbInfo.Server))
                                              : Format(kFmtMsSqlLogin, q(dbInfo.Server), q(dbInfo.User),
                                                       q(dbInfo.Password));
            if (!dbName.empty()) s += Format(kFmtInitialCatalog, q(dbName));
            return s;
        }
        case support::dbtOracle: {
            const std::string alias = OracleAlias(dbInfo.Server, dbInfo.SID, dbInfo.Port);
            return Format(kFmtOracle, q(alias), q(dbName.empty() ? dbInfo.User : dbName), q(dbInfo.Password));
        }
        case support::dbAccess:
            break;
    }
    std::string file = dbName;
    if (!dbInfo.Server.empty()) {
        std::filesystem::path p = std::filesystem::path(dbInfo.Server);
        if (!dbName.empty()) {
            std::filesystem::path name(dbName);
            if (!name.has_extension()) name += ".mdb";
            p /= name;
        }
        file = p.string();
    }
    return JetConnectionString(file) + kTxtJetTail;
}

std::string JetConnectionString(const std::string& file) {
    return Format(kFmtJet, QuoteConnectionValue(file));
}

namespace {

// Any failure of `attempt` becomes its message in errorText and false.
template <class F>
bool Attempt(std::string& errorText, F attempt) {
    errorText.clear();
    try {
        return attempt();
    } catch (const std::exception& e) {
        errorText = e.what();
        return false;
    } catch (...) {
        errorText = "Unknown error";
        return false;
    }
}

}  // namespace

bool TestConnection(const support::TDBInfoRec& dbInfo, std::string& errorText) {
    return Attempt(errorText,
                   [&] { return TestConnectionString(BuildConnectionString(dbInfo, ""), errorText); });
}

bool TestConnectionString(const std::string& connectionString, std::string& errorText) {
    return Attempt(errorText, [&] {
        Connection c(connectionString);
        c.Open();
        if (!c.IsOpen()) return false;
        c.Close();
        return true;
    });
}

support::TKVDataBaseType DatabaseKindOf(const std::string& connectionString) {
    const std::string provider = ConnectionStringValueTrimmed(connectionString, "Provider");
    if (support::StartsText("OraOLEDB", provider)) return support::dbtOracle;
    if (support::StartsText("Microsoft.Jet.OLEDB", provider)) return support::dbAccess;
    return support::dbtMsSql;
}

std::string OracleAlias(const std::string& host, const std::string& sid, std::int32_t port) {
    RegisterTnsAlias(host, sid, port);
    return Format(kFmtOracleAlias, sid, host);
}

}  // namespace kestrane::db
