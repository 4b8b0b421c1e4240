// Temporary folders and small SQLite fixtures for the database tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/query_rows.h"
#include "common/temp_folder.h"
#include "db/connection.h"
#include "db/recording_driver.h"

namespace kestrane::db::testing {

class TempDir : public kestrane::testing::TempFolder {
  public:
    std::filesystem::path path() const { return Root(); }
};

inline std::string JetString(const std::string& file) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;data source=" + file + ";Persist Security Info=False";
}

// A new Jet-kind file with the given statements run in it.
inline std::string MakeJetFile(const std::string& file, const std::vector<std::string>& statements) {
    CreateJetDatabase(JetString(file));
    Connection c(JetString(file));
    c.Open();
    for (const auto& s : statements) c.Execute(s);
    return JetString(file);
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// All rows of a query, each row's values as text joined by "|", nulls as "<null>".
inline std::vector<std::string> Rows(Connection& c, const std::string& sql) {
    return kestrane::testing::QueryRows(c, sql, "<null>");
}

// Recording drivers in place of the SQL Server and Oracle clients for one test. Like SQL Server's
// drivers without multiple active result sets, a SQL Server connection refuses a statement while
// rows are pending on it.
struct RecordingServers {
    RecordingServers() { db->RefuseStatementsWhileRowsPending(); }
    std::shared_ptr<RecordingDatabase> db = std::make_shared<RecordingDatabase>();
    ScopedDriverOverride mssql{"SQLOLEDB", RecordingDriverFactory(db)};
    ScopedDriverOverride oracle{"OraOLEDB", RecordingDriverFactory(db)};
};

}  // namespace kestrane::db::testing
