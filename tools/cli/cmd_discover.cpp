// discover: the database servers and account sets of an installation folder, in discovery order, with
// the messages of catalogues that could not be opened.
#include <filesystem>

#include "cli.h"
#include "platform/file_system.h"
#include "product/lmb_file_mng.h"
#include "support/guid.h"

namespace kestrane::cli {
namespace {

const char* KindName(support::TKVDataBaseType t) {
    switch (t) {
        case support::dbtMsSql:
            return "sqlserver";
        case support::dbtOracle:
            return "oracle";
        case support::dbAccess:
            return "embedded";
    }
    return "unknown";
}

// Passwords are never printed; only whether one is set.
nlohmann::ordered_json ServerJson(const support::TDBInfoRec& s) {
    return {{"dbType", KindName(s.DBType)},
            {"server", s.Server},
            {"port", s.Port},
            {"sid", s.SID},
            {"user", s.User},
            {"integrated", s.Integrated},
            {"passwordSet", !s.Password.empty()}};
}

std::string ServerText(const support::TDBInfoRec& s) {
    std::string t = std::string(KindName(s.DBType)) + " " + s.Server;
    if (s.Port) t += ":" + std::to_string(s.Port);
    if (!s.SID.empty()) t += " sid " + s.SID;
    if (s.DBType != support::dbAccess) t += s.Integrated ? " (integrated login)" : " user " + s.User;
    return t;
}

void Discover(const Options& options, const std::string& dir) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) throw CommandFailed("not a folder: " + dir);
    const std::string path = platform::IncludeTrailingPathDelimiter(dir);
    std::vector<std::string> messages;
    // As the wizard does: made first, then loaded again with someone listening.
    product::TLmbFileMng mng("");
    mng.OnMessage = [&](const void*, const std::string& m) { messages.push_back(m); };
    mng.LoadInstallation(path);

    nlohmann::ordered_json servers = nlohmann::ordered_json::array();
    for (const auto& s : mng.Servers()) servers.push_back(ServerJson(s));
    nlohmann::ordered_json sets = nlohmann::ordered_json::array();
    for (const auto& a : mng.AccountSets())
        sets.push_back({{"dbName", a.DBName},
                        {"accountName", a.AccountName},
                        {"version", a.Version},
                        {"instanceId", support::GuidToString(a.InstanceID)},
                        {"server", ServerJson(a.DBInfo)}});
    const nlohmann::ordered_json json{{"installPath", path},
                                      {"storeKey", mng.StoreKey()},
                                      {"network", mng.StoreKey() == product::kNetworkStoreKey},
                                      {"servers", servers},
                                      {"accountSets", sets},
                                      {"messages", messages}};
    Emit(options, json, [&] {
        std::cout << "installation " << path << " ("
                  << (mng.StoreKey() == product::kNetworkStoreKey ? "network" : "single-user")
                  << ", store key " << int{mng.StoreKey()} << ")\n";
        std::cout << "servers: " << mng.Servers().size() << "\n";
        int i = 0;
        for (const auto& s : mng.Servers()) std::cout << "  " << ++i << ". " << ServerText(s) << "\n";
        std::cout << "account sets: " << mng.AccountSets().size() << "\n";
        i = 0;
        for (const auto& a : mng.AccountSets()) {
            std::cout << "  " << ++i << ". " << a.DBName << "  " << a.AccountName << "  version "
                      << (a.Version.empty() ? "-" : a.Version) << "  " << support::GuidToString(a.InstanceID)
                      << "\n     on " << ServerText(a.DBInfo) << "\n";
        }
        if (!messages.empty()) {
            std::cout << "messages:\n";
            for (const auto& m : messages) std::cout << "  " << m << "\n";
        }
    });
}

const CommandGroup discoverCommand([](CLI::App& app, const Options& options) {
    auto* cmd = app.add_subcommand("discover", "servers and account sets of a Lumo installation folder");
    static std::string dir;
    cmd->add_option("DIR", dir, "the installation folder")->required();
    cmd->callback([&options] { Discover(options, dir); });
});

}  // namespace
}  // namespace kestrane::cli
