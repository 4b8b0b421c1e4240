#include "db/db_processor.h"

#include "db/connect.h"
#include "db/memory_recordset.h"

namespace kestrane::db {

TDBProcessor::TDBProcessor() : connection_(std::make_unique<Connection>()) {}
TDBProcessor::~TDBProcessor() = default;

bool TDBProcessor::Connect(const support::TDBInfoRec& dbInfo, const std::string& dbName) {
    if (connection_->IsOpen()) connection_->Close();
    connection_->SetConnectionString(BuildConnectionString(dbInfo, dbName));
    connection_->Open();
    return true;
}

bool TDBProcessor::EnsureOpen() {
    if (!connection_->IsOpen()) connection_->Open();
    return true;
}

void TDBProcessor::ExecSQL(const std::string& sql) {
    EnsureOpen();
    connection_->Execute(sql);
}

void TDBProcessor::OpenQuery(const std::string& sql, std::unique_ptr<Recordset>& recordset) {
    recordset.reset();
    EnsureOpen();
    recordset = connection_->Execute(sql);
    // A statement without result columns answers with an empty, closed-like record set.
    if (!recordset) recordset = std::make_unique<MemoryRecordset>();
}

}  // namespace kestrane::db
