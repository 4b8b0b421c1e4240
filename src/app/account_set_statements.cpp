#include "app/account_set_statements.h"

#include "db/db_processor.h"

namespace kestrane::app {

TDBProcessorStatements::TDBProcessorStatements() : processor_(std::make_unique<db::TDBProcessor>()) {}
TDBProcessorStatements::~TDBProcessorStatements() = default;

void TDBProcessorStatements::Connect(const support::TDBInfoRec& DBInfo, const std::string& DBName) {
    processor_->Connect(DBInfo, DBName);
}

void TDBProcessorStatements::ExecSQL(const std::string& sql) {
    processor_->ExecSQL(sql);
}

}  // namespace kestrane::app
