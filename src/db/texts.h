// Fixed texts of the database engine.
#pragma once

namespace kestrane::db {

// Statement failures inside the transfer object: statement, then the client's message.
inline constexpr const char* kTxtSqlError = "SQL执行错误，详细信息如下：【";
inline constexpr const char* kTxtSqlErrorClose = "】";

// Connection strings as the engine builds them.
inline constexpr const char* kFmtMsSqlIntegrated =
    "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data Source=%0:s";
inline constexpr const char* kFmtMsSqlLogin =
    "Provider=SQLOLEDB.1;Data Source=%0:s;User ID=%1:s;Password=%2:s;Persist Security Info=True";
inline constexpr const char* kFmtInitialCatalog = ";Initial Catalog=%0:s";
inline constexpr const char* kFmtOracle =
    "Provider=OraOLEDB.Oracle.1;Data Source=%0:s;User ID=%1:s;Password=%2:s;Persist Security Info=True";
inline constexpr const char* kFmtJet = "Provider=Microsoft.Jet.OLEDB.4.0;data source=%0:s";
inline constexpr const char* kTxtJetTail = ";Persist Security Info=False";

inline constexpr const char* kFmtOracleAlias = "%0:s_%1:s";
inline constexpr const char* kFmtTnsEntry =
    "%1:s_%0:s =\r\n  (DESCRIPTION = \r\n    (ADDRESS_LIST =\r\n      (ADDRESS = (PROTOCOL = TCP)(HOST = "
    "%0:s)"
    "(PORT = %2:d))\r\n    )\r\n    (CONNECT_DATA =\r\n      (SID = %1:s)\r\n      (SERVER = DEDICATED)\r\n"
    "    )\r\n  )";

inline constexpr const char* kTxtTestConnectionOk = "数据库测试连接成功";

// Messages of the client layer itself.
inline constexpr const char* kTxtEofReached =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
    "current record.";
inline constexpr const char* kTxtFieldIndex = "Item cannot be found in the collection (index %d).";
inline constexpr const char* kTxtFieldName =
    "Item cannot be found in the collection corresponding to the requested name or ordinal: %0:s";
inline constexpr const char* kTxtClosed = "Operation is not allowed when the object is closed.";
inline constexpr const char* kTxtOpenChange = "Operation is not allowed when the object is open.";
inline constexpr const char* kTxtNoProvider =
    "Provider cannot be found. It may not be properly installed: %0:s";
inline constexpr const char* kTxtNoTable = "The query names no table to add rows to: %0:s";
inline constexpr const char* kTxtAddNewArity = "AddNew needs as many values as field names.";
inline constexpr const char* kTxtSchemaKind = "Schema kind %d is not supported by this provider.";
inline constexpr const char* kTxtNoFile = "Could not find file '%0:s'.";
inline constexpr const char* kTxtFileExists = "Database already exists: %0:s";
inline constexpr const char* kTxtTimeout = "Query timeout expired";
inline constexpr const char* kTxtNotJet = "Not a Jet connection string: %0:s";
inline constexpr const char* kTxtNotGuid =
    "A 16-byte binary value is needed for a GUID column (got %d bytes).";
inline constexpr const char* kTxtNoOdbcDriver =
    "No ODBC driver for %0:s is installed; set %1:s to the driver's name or library path.";
inline constexpr const char* kTxtOdbcRowNotStored =
    "The ODBC driver did not store row %d of the %d rows sent together.";
inline constexpr const char* kTxtBadConnectionString = "Format of the initialization string is not valid.";
inline constexpr const char* kTxtConnectionBusy = "Connection is busy with results for another command";
inline constexpr const char* kTxtXmlLoad = "Cannot read the XML document %0:s: %1:s";
inline constexpr const char* kTxtFileRead = "Cannot read the file %0:s";
inline constexpr const char* kTxtFileWrite = "Cannot write the file %0:s";
inline constexpr const char* kTxtParamType = "Parameter type %d is not supported.";
inline constexpr const char* kFmtInjectedFault = "Injected fault: %0:s";

// Statements of the transfer object.
inline constexpr const char* kFmtOpenTable = "select * from %0:s where 1=1 %1:s";
inline constexpr const char* kFmtCountRows = "select count(*) from %0:s";
inline constexpr const char* kFmtDeleteByFilter = "delete from %0:s where 1=1 %1:s";
inline constexpr const char* kFmtColumnDefineRows = "select * from %0:s where %1:s='%2:s'";
inline constexpr const char* kFmtDeleteColumnDefines = "delete from %0:s where %1:s='%2:s'";
inline constexpr const char* kFmtCreateTable = "create table %0:s (%1:s)";
inline constexpr const char* kTxtColumnDefine = "DSColumnDefine";
inline constexpr const char* kTxtCreateColumnDefine =
    "create table DSColumnDefine ( TABLE_NAME varchar(255),\r\n COLUMN_NAME varchar(255),\r\n DATA_TYPE "
    "long,\r\n "
    "CHARACTER_MAXIMUM_LENGTH long,\r\n NUMERIC_PRECISION long,\r\n NUMERIC_SCALE long,\r\n IS_NULLABLE "
    "varchar(10),\r\n ORDINAL_POSITION long,\r\n COLUMN_HASDEFAULT int,\r\n COLUMN_DEFAULT varchar(20)\r\n )";
inline constexpr const char* kFmtInsertColumnDefine =
    "insert into %0:s (  %1:s,     %2:s,    %3:s,  %4:s,  %5:s,  %6:s,    %7:s,    %8:s,    %9:s,    %10:s) "
    "values ('%11:s', '%12:s', %13:d, %14:d, %15:d, %16:d, '%17:s', %18:d,  %19:d, '%20:s')";
inline constexpr const char* kFmtInsertRow = "insert into %0:s(%1:s)\r\nvalues(%2:s)";
inline constexpr const char* kTxtFlushSharedPool = "alter system flush shared_pool";
inline constexpr const char* kFmtAttach = "attach database '%0:s' as %1:s";
inline constexpr const char* kFmtDetach = "detach database %0:s";

// The column catalogue of an Oracle table.
inline constexpr const char* kFmtOracleColumns =
    " select\r\n"
    "        null TABLE_CATALOG,\r\n"
    "        t.owner TABLE_SCHEMA,\r\n"
    "        t.Table_name TABLE_NAME,\r\n"
    "        t.Column_Name COLUMN_NAME,\r\n"
    "        null COLUMN_GUID,\r\n"
    "        null COLUMN_PROPID,\r\n"
    "        t.column_id ORDINAL_POSITION,\r\n"
    "        null COLUMN_HASDEFAULT,\r\n"
    "        null COLUMN_DEFAULT,\r\n"
    "        null COLUMN_FLAGS,\r\n"
    "        decode(t.nullable,'Y','TRUE','N','FALSE') IS_NULLABLE,\r\n"
    "        decode(t.data_type,\r\n"
    "                           'CHAR',129,\r\n"
    "                           'VARCHAR2',129,\r\n"
    "                           'NCHAR',129,\r\n"
    "                           'NVARCHAR2',129,\r\n"
    "                           'NUMBER',decode(t.data_precision,null,139,131),\r\n"
    "                           'DATE',135,\r\n"
    "                           'LONG',129,\r\n"
    "                           'RAW',128,\r\n"
    "                           'LONG RAW',128,\r\n"
    "                           'ROWID',128,\r\n"
    "                           'BLOB',128,\r\n"
    "                           'CLOB',129,\r\n"
    "                           'NCLOB',129,\r\n"
    "                           'BFILE',128,\r\n"
    "                           'UROWID',13,\r\n"
    "                           'FLOAT',5,\r\n"
    "                           'XMLTYPE',13,\r\n"
    "                           'TIMESTAMP(6)',135,\r\n"
    "                           129\r\n"
    "              ) DATA_TYPE,\r\n"
    "        null TYPE_GUID,\r\n"
    "        t.data_length CHARACTER_MAXIMUM_LENGTH,\r\n"
    "        t.char_length CHARACTER_OCTET_LENGTH,\r\n"
    "        t.data_precision NUMERIC_PRECISION,\r\n"
    "        t.data_scale NUMERIC_SCALE,\r\n"
    "        decode(t.data_type,'DATE',t.data_length,null) DATETIME_PRECISION,\r\n"
    "        null CHARACTER_SET_CATALOG,\r\n"
    "        null CHARACTER_SET_SCHEMA,\r\n"
    "        null CHARACTER_SET_NAME,\r\n"
    "        null COLLATION_CATALOG,\r\n"
    "        null COLLATION_SCHEMA,\r\n"
    "        null COLLATION_NAME,\r\n"
    "        null DOMAIN_CATALOG,\r\n"
    "        null DOMAIN_SCHEMA,\r\n"
    "        null DOMAIN_NAME,\r\n"
    "        null \"DESCRIPTION\"\r\n"
    " from all_tab_columns t\r\n"
    " where t.owner='%0:s' and t.table_name='%1:s'\r\n"
    " order by t.column_id";

// Structure synchronisation.
inline constexpr const char* kFmtDropTable = "drop table %0:s ";
inline constexpr const char* kFmtAlterColumnMsSql = "alter table %s alter column %s";
inline constexpr const char* kFmtModifyColumnOracle = "alter table %s modify %s";
inline constexpr const char* kFmtAddColumn = "alter table %s add %s";
inline constexpr const char* kFmtAddDefaultMsSql = "alter table %0:s add default %1:s for %2:s with values";
inline constexpr const char* kFmtLongerValuesMsSql = "select * from %0:s where len(%1:s) > %2:d";
inline constexpr const char* kFmtLongerValuesOracle = "select * from %0:s where length(%1:s) > %2:d";
inline constexpr const char* kTxtAlterColumnFailed = "提醒：更新字段失败，执行语句【";
inline constexpr const char* kTxtAlterDefaultFailed = "提醒：更新默认值失败，执行语句【";
inline constexpr const char* kTxtAddColumnFailed = "提醒：增加默认值失败，执行语句【";
inline constexpr const char* kTxtNoticeReason = "】，详细原因是：";
inline constexpr const char* kFmtTypeRefused =
    "【%0:s】待更新的列【%1:s】更新【失败】，因为与目标字段类型不一致，强制更新会导致数据丢失！【源：%2:s  "
    "目标：%3:s】";
inline constexpr const char* kFmtLengthRefused =
    "【%0:s】待更新的列【%1:s】更新【失败】，因为与目标字段长度不一致，强制更新会导致数据丢失！【源：%2:s  "
    "目标：%3:s】";

// Dropping a view or procedure before its script recreates it: %0 name, %1 kind code, %2 kind text in
// lower case.
inline constexpr const char* kFmtDropObjectMsSql =
    "if exists(select * from sysobjects where name = '%0:s' and type = '%1:s')\r\ndrop %2:s %0:s";
inline constexpr const char* kFmtDropObjectOracle =
    "declare num integer;\r\nbegin\r\n  select count(*) into num from user_objects\r\n  where object_name = "
    "'%0:s' and object_type = '%1:s' and rownum = 1;\r\n  if num = 1 then execute immediate 'drop %2:s "
    "%0:s';\r\n  end if;\r\nend;";
inline constexpr const char* kFmtDropObjectEmbedded = "drop %1:s if exists %0:s";

// Maintenance of whole databases.
inline constexpr const char* kTxtParamIniFile = "KV_Param.ini";
inline constexpr const char* kTxtParamIniSection = "DBSection";
inline constexpr const char* kTxtMasterDatabase = "master";
inline constexpr const char* kFmtBackupMsSql = "backup database [%0:s] to disk = '%1:s'";
inline constexpr const char* kFmtRestoreMsSql = "RESTORE database [%0:s] FROM disk = '%1:s'";
inline constexpr const char* kFmtSingleUserOn = "sp_dboption '%s', 'single user', true";
inline constexpr const char* kFmtCheckDb = "DBCC CHECKDB ('%s', REPAIR_ALLOW_DATA_LOSS)";
inline constexpr const char* kFmtSingleUserOff = "sp_dboption '%s', 'single user', false";
inline constexpr const char* kFmtOracleExport = "exp %0:s/%1:s@%2:s_%3:s owner=%0:s file='%4:s' log='%5:s'";
inline constexpr const char* kFmtOracleImport =
    "imp %0:s/%1:s@%2:s_%3:s file='%4:s' log='%5:s' full=y ignore=y";
inline constexpr const char* kFmtProgramNotStarted = "无法启动程序【%0:s】：%1:s";
inline constexpr const char* kFmtProgramFailed =
    "程序【%0:s】执行失败，返回值为%1:d，详细信息见日志文件：%2:s";
inline constexpr const char* kTxtIntegrityCheck = "pragma integrity_check";
inline constexpr const char* kFmtIntegrityFailed = "数据库【%0:s】完整性检查发现错误：%1:s";

// The desk-flow option row.
inline constexpr const char* kTxtSysOptInfo = "JC_SysOptInfo";
inline constexpr const char* kTxtFlowDeskCode = "L5_SysOptInfo_UserUICfg_FlowDesk";
inline constexpr const char* kFmtStdCodeLike = " and StdCode like '%s' ";
inline constexpr const char* kFmtMaxRwID = "select max(RwID) from %s";
inline constexpr const char* kTxtNoRows = " and 1=0 ";
inline constexpr const char* kTxtNullGuidOracle = "00000000000000000000000000000000";
inline constexpr const char* kTxtNullGuid = "{00000000-0000-0000-0000-000000000000}";
inline constexpr const char* kTxtConfigDb = "LumoConfig.mdb";
inline constexpr const char* kTxtVerControl = "VerControl";

}  // namespace kestrane::db
