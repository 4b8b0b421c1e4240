// Discovery of an installation's database servers and account sets from the product's value store:
// value 1 holds the connection factories with their catalogues, value 2 the list of instances.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/base.h"
#include "framework/bin_data_store.h"
#include "framework/db_conn_factory.h"
#include "product/inst_info.h"
#include "support/kv_types.h"
#include "support/variant.h"

namespace kestrane::db {
class Connection;
}

namespace kestrane::product {

inline constexpr std::uint8_t kNetworkStoreKey = 15;
inline constexpr std::uint8_t kSingleStoreKey = 14;
inline constexpr std::int32_t kFactoriesValue = 1;
inline constexpr std::int32_t kInstInfosValue = 2;

class TLmbFileMng {
  public:
    using TMessageEvent = std::function<void(const void* sender, const std::string& message)>;

    // Loads the installation at once; OnMessage is not assigned yet, so catalogues that cannot be
    // opened are left out silently.
    explicit TLmbFileMng(const std::string& installPath);
    TLmbFileMng(const TLmbFileMng&) = delete;
    TLmbFileMng& operator=(const TLmbFileMng&) = delete;

    // Replaces the store, the factories, the instance list, Servers and AccountSets. Malformed data
    // in a decoded value, a duplicate catalogue in use, and an account set whose Sys_Accounts cannot
    // be read raise; a value that is missing or cannot be decoded counts as empty.
    void LoadInstallation(const std::string& path);

    const std::string& InstallPath() const { return installPath_; }
    std::uint8_t StoreKey() const { return storeKey_; }
    const support::TDBInfoArray& Servers() const { return servers_; }
    const support::TInstArray& AccountSets() const { return accountSets_; }
    framework::TQELDBConnFactorys& Factories() { return *factories_; }
    TQELInstInfoDArray& InstInfos() { return instInfos_; }

    // Writes the account set's name into its instance entry (saving both values when it changed) and
    // into the instance element of its database; failures of the database step are ignored.
    void RenameAccountSet(const support::TInstanceRec& Inst);

    // Writes values 1 and 2 as they are in memory.
    void SaveStoreValues();
    // Decoded bytes of value V; empty when missing or when it cannot be decoded.
    support::Bytes ReadStoreValue(std::int32_t V);
    // An empty B clears the value.
    void WriteStoreValue(std::int32_t V, const support::Bytes& B);

    TMessageEvent OnMessage;

  private:
    void LoadStoreValues();
    void RemoveDuplicateCatalogs();
    void EnumerateAccountSets();
    void AddServer(const framework::TQELDBConnFactory& factory, support::TDBInfoRec& R);
    void ScanFactory(const framework::TQELDBConnFactory& factory, const support::TDBInfoRec& R);

    std::string installPath_;
    framework::TQELIntfPtr<framework::TQELSBDFProvider> store_;
    std::unique_ptr<framework::TQELDBConnFactorys> factories_;
    std::uint8_t storeKey_ = kSingleStoreKey;
    TQELInstInfoDArray instInfos_;
    support::TDBInfoArray servers_;
    support::TInstArray accountSets_;
};

// Fills Inst from the account-set database behind the open connection and closes it, also when a step
// fails. A failing or missing ZTVersion leaves Version empty; a failing account query, or an
// InstanceID that is no GUID in braces, raises.
void ReadAccountInfo(db::Connection& connection, support::TInstanceRec& Inst);

}  // namespace kestrane::product
