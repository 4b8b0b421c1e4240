#include "framework/db_conn_factory.h"

#include "framework/texts.h"
#include "platform/file_system.h"
#include "support/text.h"

namespace kestrane::framework {

const TQELRecType& TQELADOConnectionDataType() {
    using R = TQELADOConnectionData;
    static const TQELRecType type(
        "TQELADOConnectionData",
        {recfield::Text(&R::Provider), recfield::Text(&R::DataSource), recfield::Text(&R::UserID),
         recfield::Text(&R::ConnPassword), recfield::Text(&R::ConnString), recfield::Text(&R::ConnText),
         recfield::Ordinal(&R::CommandTimeout), recfield::Ordinal(&R::ConnectTimeout)});
    return type;
}

const TQELRecType& TQELDBCtlgInfoRecType() {
    using R = TQELDBCtlgInfoRec;
    static const TQELRecType type(
        "TQELDBCtlgInfoRec",
        {recfield::Text(&R::CtlgName), recfield::Text(&R::CtlgUser), recfield::Text(&R::CtlgPassword),
         recfield::Text(&R::CtlgText), recfield::Ordinal(&R::CtlgId), recfield::Ordinal(&R::CtlgFlags),
         recfield::Ordinal(&R::UseCount)});
    return type;
}

const TQELRecType& TQELDBCFDataType() {
    using R = TQELDBCFData;
    static const TQELRecType type("TQELDBCFData",
                                  {recfield::Record(&R::ConnData, TQELADOConnectionDataType()),
                                   recfield::DynArray(&R::Catalogs, TQELDBCtlgInfoRecType()),
                                   recfield::Ordinal(&R::FactoryId), recfield::Raw(&R::Align)});
    return type;
}

void TQELMSSqlConnection::AppendConnectionTail(std::string& s, const TQELADOConnectionData& conn,
                                               const TQELDBCtlgInfoRec& catalog) const {
    if (conn.UserID.empty() && conn.ConnPassword.empty()) s += "Integrated Security=SSPI;";
    if (!catalog.CtlgName.empty())
        s += "Initial Catalog=" + support::QuoteConnectionValue(catalog.CtlgName) + ";";
}

std::string TQELJetConnection::CatalogDataSource(const TQELADOConnectionData& conn,
                                                 const TQELDBCtlgInfoRec& catalog) const {
    if (catalog.CtlgName.empty()) return conn.DataSource;
    // A folder written on Windows may end in its own delimiter already.
    const std::string& folder = conn.DataSource;
    const bool delimited = !folder.empty() && folder.back() == '\\';
    return (folder.empty() || delimited ? folder : platform::IncludeTrailingPathDelimiter(folder)) +
           catalog.CtlgName + ".mdb";
}

const TQELDBConnection& ConnectionClassFor(const std::string& provider) {
    static const TQELDBConnection plain;
    static const TQELMSSqlConnection mssql;
    static const TQELOracleSqlConnection oracle;
    static const TQELOracleODBCSqlConnection oracleOdbc;
    static const TQELJetConnection jet;
    const std::string upper = support::UpperCase(provider);
    if (upper.starts_with("ORAOLEDB.ORACLE")) return oracle;
    if (upper.starts_with("SQLOLEDB")) return mssql;
    if (upper.starts_with("MSDASQL")) return oracleOdbc;
    if (upper.starts_with("MICROSOFT.JET.OLEDB")) return jet;
    return plain;
}

TQELDBConnFactory::TQELDBConnFactory() {
    if (Data.ConnData.CommandTimeout <= 0) Data.ConnData.CommandTimeout = 300;
    if (Data.ConnData.ConnectTimeout <= 0) Data.ConnData.ConnectTimeout = 5;
}

void TQELDBConnFactory::PersistData(TQELFilter& filer) {
    if (filer.IsWriter()) {
        WriteRecord(static_cast<TQELWriter&>(filer), &Data, TQELDBCFDataType());
    } else {
        ReadRecord(static_cast<TQELReader&>(filer), &Data, TQELDBCFDataType());
    }
}

const TQELDBConnection& TQELDBConnFactory::ConnectionClass() const {
    if (!connectionClass_) connectionClass_ = &ConnectionClassFor(Data.ConnData.Provider);
    return *connectionClass_;
}

TServerKind ServerKind(const TQELDBConnFactory& factory) {
    return factory.ConnectionClass().ServerKind();
}

std::string CatalogConnectionString(const TQELDBConnFactory& factory, const TQELDBCtlgInfoRec& catalog) {
    const TQELADOConnectionData& conn = factory.Data.ConnData;
    std::string s = "Provider=" + support::QuoteConnectionValue(conn.Provider) + ";" + conn.ConnString;
    if (!s.empty() && s.back() != ';') s += ';';
    const std::string& user =
        (catalog.CtlgFlags & cfUseCtlgUser) && !catalog.CtlgUser.empty() ? catalog.CtlgUser : conn.UserID;
    const std::string& password = (catalog.CtlgFlags & cfUseCtlgPassword) && !catalog.CtlgPassword.empty()
                                      ? catalog.CtlgPassword
                                      : conn.ConnPassword;
    // Every value quoted where it must be: a password with ";" must not cut the string or add a key.
    s += "User ID=" + support::QuoteConnectionValue(user) +
         ";Password=" + support::QuoteConnectionValue(password) + ";Data Source=" +
         support::QuoteConnectionValue(factory.ConnectionClass().CatalogDataSource(conn, catalog)) + ";";
    factory.ConnectionClass().AppendConnectionTail(s, conn, catalog);
    return s;
}

const TQELDBCtlgInfoRec* FindCatalogById(const TQELDBConnFactory& factory, std::int16_t ctlgId, int& index) {
    const auto& catalogs = factory.Data.Catalogs;
    int lo = 0;
    int hi = static_cast<int>(catalogs.size()) - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const std::int16_t id = catalogs[static_cast<std::size_t>(mid)].CtlgId;
        if (id == ctlgId) {
            index = mid;
            return &catalogs[static_cast<std::size_t>(mid)];
        }
        if (id < ctlgId) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    index = lo;
    return nullptr;
}

TQELDBConnFactorys::~TQELDBConnFactorys() {
    Clear(true);
}

bool TQELDBConnFactorys::AcceptsItem(const TQELBase* item) const {
    return dynamic_cast<const TQELDBConnFactory*>(item) != nullptr;
}

TQELCollectionItem* TQELDBConnFactorys::CreateItem(std::uint32_t, std::int32_t) {
    return Create<TQELDBConnFactory>(*this);
}

void TQELDBConnFactorys::Notify(TQELBase* sender, int code) {
    switch (code) {
        case ncClearing:
        case ncAdding:
        case ncRemoving: {
            std::unique_lock guard(lock_);
            changing_.push_back(std::move(guard));
            break;
        }
        case ncCleared:
        case ncAddDone:
        case ncRemoveDone:
            if (!changing_.empty()) {
                // The list of guards changes while the lock is still held; it is left at the end of the
                // scope.
                const std::unique_lock guard = std::move(changing_.back());
                changing_.pop_back();
            }
            break;
        default:
            TQELElement::Notify(sender, code);
    }
}

TQELDBConnFactory* TQELDBConnFactorys::FindFactory(std::int16_t factoryId) const {
    int lo = 0;
    int hi = Count() - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        TQELDBConnFactory* f = Factory(mid);
        if (f->Data.FactoryId == factoryId) return f;
        if (f->Data.FactoryId < factoryId) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return nullptr;
}

TQELDBConnFactory* TQELDBConnFactorys::FindCatalog(std::uint32_t catalogRef, std::int8_t delta,
                                                   TQELDBCtlgInfoRec& result) {
    result = TQELDBCtlgInfoRec{};
    const std::lock_guard guard(lock_);
    TQELDBConnFactory* factory = FindFactory(static_cast<std::int16_t>(catalogRef & 0xFFFFu));
    const auto ctlgId = static_cast<std::int16_t>(catalogRef >> 16);
    if (factory && ctlgId != 0) {
        int index = 0;
        if (FindCatalogById(*factory, ctlgId, index)) {
            auto& catalog = factory->Data.Catalogs[static_cast<std::size_t>(index)];
            catalog.UseCount = static_cast<std::int8_t>(static_cast<std::uint8_t>(catalog.UseCount) +
                                                        static_cast<std::uint8_t>(delta));
            result = catalog;
        }
    }
    return factory;
}

void TQELDBConnFactorys::DelDBCtlg(TQELDBConnFactory* factory, std::int16_t ctlgId, bool dropDatabase) {
    if (!factory) RaiseParamRequired("ConnectionClass");
    factory->ConnectionClass();
    int index = 0;
    const TQELDBCtlgInfoRec* catalog = FindCatalogById(*factory, ctlgId, index);
    if (!catalog) RaiseError(errNotSupported, texts::kNotSupported, ClassName(), "DelDBCtlg(Invalid CtlgID)");
    if (catalog->UseCount > 0)
        RaiseError(errNotSupported, texts::kNotSupported, ClassName(), "DelDBCtlg(Ctlg In use)");
    // Removing the database on the server belongs to the framework's server side.
    if (dropDatabase)
        RaiseError(errNotSupported, texts::kNotSupported, ClassName(), "DelDBCtlg(DropDatabase)");
    const std::lock_guard guard(lock_);
    factory->Data.Catalogs.erase(factory->Data.Catalogs.begin() + index);
}

std::int16_t TQELDBConnFactorys::AddDBCtlg(TQELDBConnFactory* factory, const std::string& name,
                                           const std::string& user, const std::string& password,
                                           const std::string& text) {
    if (!factory) RaiseParamRequired("AddDBCtlg(Factory)");
    if (name.empty()) RaiseParamRequired("AddDBCtlg(CtlgName)");
    TQELDBCtlgInfoRec catalog;
    catalog.CtlgName = name;
    catalog.CtlgUser = user;
    catalog.CtlgPassword = password;
    catalog.CtlgText = text;
    if (!user.empty()) catalog.CtlgFlags |= cfUseCtlgUser;
    if (!password.empty()) catalog.CtlgFlags |= cfUseCtlgPassword;
    // An Oracle schema is a user.
    if (factory->ConnectionClass().ServerKind() == skOracle) {
        catalog.CtlgUser = name;
        catalog.CtlgFlags |= cfUseCtlgUser;
    }
    const std::lock_guard guard(lock_);
    auto& catalogs = factory->Data.Catalogs;
    catalog.CtlgId =
        catalogs.empty() ? std::int16_t{1024} : static_cast<std::int16_t>(catalogs.back().CtlgId + 1);
    catalogs.push_back(catalog);
    return catalog.CtlgId;
}

}  // namespace kestrane::framework
