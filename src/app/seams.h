// Stand-ins for the modules the wizard calls that are not built yet: account-set discovery, the patch
// version descriptor and the database repair. Each does the least that keeps the wizard running and
// none claims a result it did not produce; they go when their modules arrive. seams.cpp also holds
// the manager operations that wait for theirs: CheckVersion (through TPatchVersion below), Install,
// CloseRunningPrograms, CheckFreeMemory and GatherAccountSetData.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "support/kv_types.h"
#include "support/variant.h"

namespace kestrane::app {

// What the manager uses of the discovery of the product's servers and account sets (TLmbFileMng).
// This stand-in finds nothing.
class TFileMng {
  public:
    explicit TFileMng(std::string installPath) : installPath_(std::move(installPath)) {}
    virtual ~TFileMng() = default;

    // Lists the servers and account sets of the installation in that folder.
    virtual void LoadInstallation(const std::string& installPath) { installPath_ = installPath; }
    const support::TDBInfoArray& Servers() const { return servers_; }
    const support::TInstArray& AccountSets() const { return accountSets_; }
    const std::string& InstallPath() const { return installPath_; }

    std::function<void(const void* sender, const std::string& message)> OnMessage;

  protected:
    std::string installPath_;
    support::TDBInfoArray servers_;
    support::TInstArray accountSets_;
};

std::unique_ptr<TFileMng> CreateFileMng(const std::string& installPath);

// What the manager uses of the patch version descriptor (TPatchVersion). This stand-in keeps the
// descriptor's bytes and lets every version through.
class TPatchVersion {
  public:
    void LoadFromBytes(const support::Bytes& bytes) { bytes_ = bytes; }
    bool Loaded() const { return !bytes_.empty(); }
    // kind 1 program, 2 account set.
    bool CheckVersion(int kind, const std::string& version, const std::string& installPath) const {
        return true;
    }

  private:
    support::Bytes bytes_;
};

// Repairs one SQL Server account-set database. The stand-in throws "RepairDatabase: not available
// in this build", so the finish page reports it as a failed repair.
void RepairDatabase(const std::string& DBName, const support::TDBInfoRec& DBInfo);

}  // namespace kestrane::app
