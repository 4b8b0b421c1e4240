// The statements the version stamping runs on account sets, carried out on one database connection
// at a time.
#pragma once

#include <memory>
#include <string>

#include "patch/patch_version.h"
#include "support/kv_types.h"

namespace kestrane::db {
class TDBProcessor;
}

namespace kestrane::app {

class TDBProcessorStatements : public patch::TAccountSetStatements {
  public:
    TDBProcessorStatements();
    ~TDBProcessorStatements() override;

    void Connect(const support::TDBInfoRec& DBInfo, const std::string& DBName) override;
    void ExecSQL(const std::string& sql) override;

  private:
    std::unique_ptr<db::TDBProcessor> processor_;
};

}  // namespace kestrane::app
