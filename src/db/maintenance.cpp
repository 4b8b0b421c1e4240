#include "db/maintenance.h"

#include <sqlite3.h>

#include "db/connect.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/db_processor.h"
#include "db/texts.h"
#include "platform/file_system.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::db {

using support::Format;

namespace {

std::string BracketedName(const std::string& name) {
    return support::ReplaceAll(name, "]", "]]");
}

// The words of a command line: blanks separate except inside single quotes, which stay in the word
// (the Oracle utilities read file='a b.dmp' themselves).
std::vector<std::string> CommandWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (const char c : text) {
        if (c == ' ' && !quoted) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        if (c == '\'') quoted = !quoted;
        word += c;
        inWord = true;
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

// Runs the command line hidden and waits for it; `logFile` is named when it fails.
void RunAndCheck(const std::string& commandLine, const std::string& logFile) {
    std::vector<std::string> words = CommandWords(commandLine);
    platform::ProcessOptions options;
    options.program = words.front();
    options.arguments.assign(words.begin() + 1, words.end());
    options.hidden = true;
    int status;
    try {
        status = platform::Process::Start(options).Wait();
    } catch (const platform::EProcessError& e) {
        throw EDatabaseError(Format(kFmtProgramNotStarted, options.program, e.what()));
    }
    if (status != 0) throw EDatabaseError(Format(kFmtProgramFailed, options.program, status, logFile));
}

// One SQLite handle for a copy between two files.
class CopyHandle {
  public:
    CopyHandle(const std::string& file, int flags) {
        const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
        if (rc != SQLITE_OK) {
            // A failed open may still have made a handle; it goes before the error does.
            const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close_v2(db_);
            throw EDatabaseError(message);
        }
        sqlite3_busy_timeout(db_, 10000);
    }
    ~CopyHandle() { sqlite3_close_v2(db_); }
    CopyHandle(const CopyHandle&) = delete;
    CopyHandle& operator=(const CopyHandle&) = delete;
    sqlite3* get() const { return db_; }
    [[noreturn]] void Fail(int rc) const {
        throw EDatabaseError(db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
    }

  private:
    sqlite3* db_ = nullptr;
};

// Every page of `from` into `to`, as one transaction of `to`.
void CopyPages(const CopyHandle& from, const CopyHandle& to) {
    sqlite3_backup* backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
    if (!backup) to.Fail(sqlite3_errcode(to.get()));
    int rc;
    // A writer on the source holds it for a moment; the copy waits for it.
    for (int attempt = 0;; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || attempt == 100) break;
        sqlite3_sleep(100);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) to.Fail(rc);
}

}  // namespace

void WriteParamIni(const std::string& directory, const std::string& backFile, const std::string& dbName,
                   const support::TDBInfoRec& dbInfo) {
    const std::string path = platform::IncludeTrailingPathDelimiter(directory) + kTxtParamIniFile;
    // Narrowed before the password goes in; the INI writer keeps a file's permissions.
    if (platform::FileExists(path))
        platform::SetFileAttributes(path, {0600});
    else
        platform::WriteFileReplacing(path, std::string_view(), {.mode = 0600});
    platform::IniFile ini(path);
    ini.WriteString(kTxtParamIniSection, "Server", dbInfo.Server);
    ini.WriteString(kTxtParamIniSection, "DBName", dbName);
    ini.WriteString(kTxtParamIniSection, "User", dbInfo.User);
    ini.WriteString(kTxtParamIniSection, "Psw", dbInfo.Password);
    ini.WriteString(kTxtParamIniSection, "Integrated", dbInfo.Integrated ? "-1" : "0");
    ini.WriteString(kTxtParamIniSection, "BackFile", backFile);
}

std::string BackupDatabaseStatement(const std::string& dbName, const std::string& backupFile) {
    return Format(kFmtBackupMsSql, BracketedName(dbName), support::QuotedSqlText(backupFile));
}

std::string RestoreDatabaseStatement(const std::string& dbName, const std::string& backupFile) {
    return Format(kFmtRestoreMsSql, BracketedName(dbName), support::QuotedSqlText(backupFile));
}

std::string OracleExportCommandLine(const std::string& dbName, const support::TDBInfoRec& dbInfo,
                                    const std::string& dumpFile, const std::string& logFile) {
    return Format(kFmtOracleExport, dbName, dbInfo.Password, dbInfo.SID, dbInfo.Server, dumpFile, logFile);
}

std::string OracleImportCommandLine(const std::string& dbName, const support::TDBInfoRec& dbInfo,
                                    const std::string& dumpFile, const std::string& logFile) {
    return Format(kFmtOracleImport, dbName, dbInfo.Password, dbInfo.SID, dbInfo.Server, dumpFile, logFile);
}

void ExportOracleDatabase(const std::string& dbName, const support::TDBInfoRec& dbInfo,
                          const std::string& dumpFile, const std::string& logFile) {
    RunAndCheck(OracleExportCommandLine(dbName, dbInfo, dumpFile, logFile), logFile);
}

std::string EmbeddedDatabaseFile(const support::TDBInfoRec& dbInfo, const std::string& dbName) {
    support::TDBInfoRec embedded = dbInfo;
    embedded.DBType = support::dbAccess;
    return ConnectionStringValueTrimmed(BuildConnectionString(embedded, dbName), "Data Source");
}

void BackupEmbeddedDatabase(const std::string& file, const std::string& backupFile) {
    if (!platform::FileExists(file)) throw EDatabaseError(Format(kTxtNoFile, file));
    try {
        const std::string folder = platform::ExtractFilePath(backupFile);
        if (!folder.empty()) platform::ForceDirectories(folder);
        platform::TPendingFile pending(backupFile);
        {
            const CopyHandle from(file, SQLITE_OPEN_READONLY);
            const CopyHandle to(pending.Path(), SQLITE_OPEN_READWRITE);
            CopyPages(from, to);
        }
        pending.Commit();
    } catch (const platform::EFileSystemError& e) {
        throw EDatabaseError(e.what());
    }
}

void RestoreEmbeddedDatabase(const std::string& backupFile, const std::string& file) {
    if (!platform::FileExists(backupFile)) throw EDatabaseError(Format(kTxtNoFile, backupFile));
    const CopyHandle from(backupFile, SQLITE_OPEN_READONLY);
    const CopyHandle to(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    CopyPages(from, to);
}

void RestoreDatabase(const std::string& backFile, const std::string& logFile, const std::string& dbName,
                     const support::TDBInfoRec& dbInfo) {
    switch (dbInfo.DBType) {
        case support::dbtMsSql: {
            TDBProcessor master;
            master.Connect(dbInfo, kTxtMasterDatabase);
            master.ExecSQL(RestoreDatabaseStatement(dbName, backFile));
            return;
        }
        case support::dbtOracle:
            RunAndCheck(OracleImportCommandLine(dbName, dbInfo, backFile, logFile), logFile);
            return;
        case support::dbAccess:
            RestoreEmbeddedDatabase(backFile, EmbeddedDatabaseFile(dbInfo, dbName));
            return;
    }
}

void RepairDatabase(const std::string& dbName, const support::TDBInfoRec& dbInfo) {
    if (dbInfo.DBType == support::dbAccess) {
        const std::string file = EmbeddedDatabaseFile(dbInfo, dbName);
        Connection connection(BuildConnectionString(dbInfo, dbName));
        connection.Open();
        std::string report;
        for (auto rows = connection.Execute(kTxtIntegrityCheck); rows && !rows->Eof(); rows->MoveNext())
            report += (report.empty() ? "" : "\r\n") + rows->Value(0).AsString();
        if (report != "ok") throw EDatabaseError(Format(kFmtIntegrityFailed, file, report));
        return;
    }
    const std::string name = support::QuotedSqlText(dbName);
    TDBProcessor master;
    master.Connect(dbInfo, kTxtMasterDatabase);
    master.ExecSQL(Format(kFmtSingleUserOn, name));
    try {
        master.ExecSQL(Format(kFmtCheckDb, name));
    } catch (...) {
        master.ExecSQL(Format(kFmtSingleUserOff, name));
        throw;
    }
    master.ExecSQL(Format(kFmtSingleUserOff, name));
}

}  // namespace kestrane::db
