// Stand-ins for the modules the wizard calls that are not built yet: the patch version descriptor; and
// the database repair the window reaches through here. Each stand-in does the least that keeps the wizard
// running and none claims a result it did not produce; they go when their modules arrive. The manager
// operations waiting for theirs stand in manager_build.cpp (GatherAccountSetData) and manager_install.cpp.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "patch/patch_version.h"
#include "product/lmb_file_mng.h"
#include "support/kv_types.h"
#include "support/variant.h"

namespace kestrane::app {

// The discovery of the product's servers and account sets.
using TFileMng = product::TLmbFileMng;

std::unique_ptr<TFileMng> CreateFileMng(const std::string& installPath);

// What the manager uses of the patch version descriptor (TPatchVersion). This stand-in keeps the
// descriptor's bytes and lets every version through.
class TPatchVersion {
  public:
    void LoadFromBytes(const support::Bytes& bytes) { bytes_ = bytes; }
    bool Loaded() const { return !bytes_.empty(); }
    bool CheckVersion(patch::TVersionCheckKind kind, const std::string& version,
                      const std::string& installPath) const {
        return true;
    }

  private:
    support::Bytes bytes_;
};

// Reads a version descriptor file (a missing file changes nothing) or the content of a patch's version
// item into `version`. A malformed descriptor throws patch::EVersionFormatError. The stand-ins throw
// "TPatchVersion: not available in this build".
void ReadVersionFile(patch::TPatchVersion& version, const std::string& path);
void ReadVersionBytes(patch::TPatchVersion& version, const support::Bytes& bytes);

// Repairs one account-set database (the database layer's RepairDatabase, for the window, which does
// not reach that layer itself).
void RepairDatabase(const std::string& DBName, const support::TDBInfoRec& DBInfo);

}  // namespace kestrane::app
