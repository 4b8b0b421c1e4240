// Connection factories: the configured database servers of an installation with their catalogues,
// kept as value 1 of the product's store.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/collection.h"
#include "framework/record.h"

namespace kestrane::framework {

struct TQELADOConnectionData {
    std::string Provider;
    std::string DataSource;  // SQL Server: server; Oracle: SID + "_" + host
    std::string UserID;
    std::string ConnPassword;
    std::string ConnString;  // placed right after the provider
    std::string ConnText;
    std::int32_t CommandTimeout = 0;
    std::int32_t ConnectTimeout = 0;
    bool operator==(const TQELADOConnectionData&) const = default;
};

enum : std::uint8_t { cfUseCtlgUser = 1, cfUseCtlgPassword = 2 };

struct TQELDBCtlgInfoRec {
    std::string CtlgName;
    std::string CtlgUser;
    std::string CtlgPassword;
    std::string CtlgText;
    std::int16_t CtlgId = 0;
    std::uint8_t CtlgFlags = 0;
    std::int8_t UseCount = 0;
    bool operator==(const TQELDBCtlgInfoRec&) const = default;
};

using TQELDBCtlgInfoRecDArray = std::vector<TQELDBCtlgInfoRec>;

struct TQELDBCFData {
    TQELADOConnectionData ConnData;
    TQELDBCtlgInfoRecDArray Catalogs;  // ascending CtlgId
    std::int16_t FactoryId = 0;
    std::array<std::uint8_t, 2> Align{};
    bool operator==(const TQELDBCFData&) const = default;
};

const TQELRecType& TQELADOConnectionDataType();
const TQELRecType& TQELDBCtlgInfoRecType();
const TQELRecType& TQELDBCFDataType();

// The kind of server a connection class stands for; the numbers are those the product stores.
enum TServerKind : int { skNone = 0, skOracle = 1, skMsSql = 2, skEmbedded = 3 };

// The connection class of a factory decides the kind of server and the tail of its connection text.
class TQELDBConnection {
  public:
    virtual ~TQELDBConnection() = default;
    virtual const char* ClassName() const { return "TQELDBConnection"; }
    virtual TServerKind ServerKind() const { return skNone; }
    // The "Data Source" of the catalogue's connection text.
    virtual std::string CatalogDataSource(const TQELADOConnectionData& conn,
                                          const TQELDBCtlgInfoRec& catalog) const {
        return conn.DataSource;
    }
    virtual void AppendConnectionTail(std::string& s, const TQELADOConnectionData& conn,
                                      const TQELDBCtlgInfoRec& catalog) const {}
};

class TQELMSSqlConnection : public TQELDBConnection {
  public:
    const char* ClassName() const override { return "TQELMSSqlConnection"; }
    TServerKind ServerKind() const override { return skMsSql; }
    void AppendConnectionTail(std::string& s, const TQELADOConnectionData& conn,
                              const TQELDBCtlgInfoRec& catalog) const override;
};

class TQELOracleSqlConnection : public TQELDBConnection {
  public:
    const char* ClassName() const override { return "TQELOracleSqlConnection"; }
    TServerKind ServerKind() const override { return skOracle; }
};

class TQELOracleODBCSqlConnection : public TQELOracleSqlConnection {
  public:
    const char* ClassName() const override { return "TQELOracleODBCSqlConnection"; }
};

// An embedded server: DataSource is a folder and each catalogue the database file
// "<DataSource>/<CtlgName>.mdb" in it.

class TQELJetConnection : public TQELDBConnection {
  public:
    const char* ClassName() const override { return "TQELJetConnection"; }
    TServerKind ServerKind() const override { return skEmbedded; }
    std::string CatalogDataSource(const TQELADOConnectionData& conn,
                                  const TQELDBCtlgInfoRec& catalog) const override;
};

// By the upper-cased prefix of the provider.
const TQELDBConnection& ConnectionClassFor(const std::string& provider);

class TQELDBConnFactory : public TQELElement {
  public:
    TQELDBConnFactory();
    std::string ClassName() const override { return "TQELDBConnFactory"; }
    void PersistData(TQELFilter& filer) override;
    // Worked out from the provider on first use and kept.
    const TQELDBConnection& ConnectionClass() const;

    TQELDBCFData Data;

  private:
    mutable const TQELDBConnection* connectionClass_ = nullptr;
};

TServerKind ServerKind(const TQELDBConnFactory& factory);
std::string CatalogConnectionString(const TQELDBConnFactory& factory, const TQELDBCtlgInfoRec& catalog);

// Low 16 bits the factory, high 16 bits the catalogue (0: no catalogue).
inline std::uint32_t MakeCatalogRef(std::int16_t factoryId, std::int16_t ctlgId) {
    return static_cast<std::uint16_t>(factoryId) | (std::uint32_t{static_cast<std::uint16_t>(ctlgId)} << 16);
}

// Binary search by CtlgId: the position found, or the insertion position when absent.
const TQELDBCtlgInfoRec* FindCatalogById(const TQELDBConnFactory& factory, std::int16_t ctlgId, int& index);

class TQELDBConnFactorys : public TQELElement {
  public:
    ~TQELDBConnFactorys() override;
    std::string ClassName() const override { return "TQELDBConnFactorys"; }
    bool AcceptsItem(const TQELBase* item) const override;
    TQELCollectionItem* CreateItem(std::uint32_t classId, std::int32_t classVersion) override;
    void Notify(TQELBase* sender, int code) override;

    TQELDBConnFactory* Factory(int index) const { return static_cast<TQELDBConnFactory*>(Items(index)); }
    // Binary search by FactoryId; null when absent.
    TQELDBConnFactory* FindFactory(std::int16_t factoryId) const;
    // Adds delta to the catalogue's UseCount under the lock; the record copy is empty when the
    // reference names no catalogue of the factory found.
    TQELDBConnFactory* FindCatalog(std::uint32_t catalogRef, std::int8_t delta, TQELDBCtlgInfoRec& result);
    // Refuses an unknown catalogue or one in use; dropping the database on the server is not offered.
    void DelDBCtlg(TQELDBConnFactory* factory, std::int16_t ctlgId, bool dropDatabase);
    // The new catalogue's identifier: 1024 for the first, else the last one's + 1.
    std::int16_t AddDBCtlg(TQELDBConnFactory* factory, const std::string& name, const std::string& user,
                           const std::string& password, const std::string& text = {});

  private:
    TQELThrdCrtclSctn lock_;
    // A change of the item list holds the lock from its opening notification to its closing one:
    // one guard per change still open, the latest last.
    std::vector<std::unique_lock<TQELThrdCrtclSctn>> changing_;
};

}  // namespace kestrane::framework
