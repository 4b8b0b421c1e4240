// Whole-database work on account sets: backups and restores of each kind of database, the parameter
// file of the separate restore program, and the repair.
#pragma once

#include <string>

#include "support/kv_types.h"

namespace kestrane::db {

// Writes section "DBSection" of directory + "KV_Param.ini" (Server, DBName, User, Psw, Integrated,
// BackFile, in this order), leaving the file's other lines as they are. The file holds the password in
// plain text for the restore program, so only its owner may read it. Throws the file system's error.
void WriteParamIni(const std::string& directory, const std::string& backFile, const std::string& dbName,
                   const support::TDBInfoRec& dbInfo);

// SQL Server: the backup and restore statements, the database name and the path quoted so that any
// text stays one name and one literal.
std::string BackupDatabaseStatement(const std::string& dbName, const std::string& backupFile);
std::string RestoreDatabaseStatement(const std::string& dbName, const std::string& backupFile);

// Oracle: the export and import command lines of an account set's schema, its net service alias being
// SID_Server.
std::string OracleExportCommandLine(const std::string& dbName, const support::TDBInfoRec& dbInfo,
                                    const std::string& dumpFile, const std::string& logFile);
std::string OracleImportCommandLine(const std::string& dbName, const support::TDBInfoRec& dbInfo,
                                    const std::string& dumpFile, const std::string& logFile);
// Runs the export (exp, found on PATH) and waits for it: a backup is only one once it is complete.
// Throws EDatabaseError when it cannot be started or does not end with exit status 0.
void ExportOracleDatabase(const std::string& dbName, const support::TDBInfoRec& dbInfo,
                          const std::string& dumpFile, const std::string& logFile);

// Embedded account sets: the database file of an account set on its server folder.
std::string EmbeddedDatabaseFile(const support::TDBInfoRec& dbInfo, const std::string& dbName);
// A consistent copy of the database `file`, also while other connections use it, written beside
// `backupFile` and renamed into place when complete; missing folders are made. Throws EDatabaseError.
void BackupEmbeddedDatabase(const std::string& file, const std::string& backupFile);
// Puts the content of `backupFile` into `file` in one transaction: a failure leaves `file` as it was.
// No other connection may be writing `file`. Throws EDatabaseError.
void RestoreEmbeddedDatabase(const std::string& backupFile, const std::string& file);

// Restores the account set `dbName` from `backFile`: SQL Server through its master database, Oracle by
// the import (waited for, its exit status checked; `logFile` is its log), an embedded account set
// from its backup copy. Failures raise with the client's or the program's message.
void RestoreDatabase(const std::string& backFile, const std::string& logFile, const std::string& dbName,
                     const support::TDBInfoRec& dbInfo);

// SQL Server: single-user mode, the check with repair, multi-user mode again (also when the check
// failed). Embedded: the integrity check; problems it finds raise with its report as the message.
void RepairDatabase(const std::string& dbName, const support::TDBInfoRec& dbInfo);

}  // namespace kestrane::db
