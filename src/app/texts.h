// The fixed user texts of the wizard manager and its runs.
#pragma once

namespace kestrane::app::texts {

inline constexpr char kCaptionNotice[] = "提示信息";
inline constexpr char kCaptionConfirm[] = "确认信息";

inline constexpr char kMakerExeName[] = "Kestrane.exe";
inline constexpr char kDefaultPatchFile[] = "Patch.exe";

inline constexpr char kPatchExists[] = "已经存在相同名称的补丁，确定覆盖吗？";
inline constexpr char kWritePatchFailed[] = "生成补丁程序出错：";
inline constexpr char kWriteParamFailed[] = "更新参数配置信息[%0:s]出错";
inline constexpr char kWriteResourceFailed[] = "更新资源文件[%0:s]出错";
inline constexpr char kCommitResourcesFailed[] = "保存资源文件出错";
inline constexpr char kPackingFiles[] = "正在将升级文件压缩生成补丁……";
inline constexpr char kPackingAccountSets[] = "正在将账套设置信息生成补丁……";
inline constexpr char kPackingDone[] = "已完成文件与信息压缩";

// The installer's checks.
inline constexpr char kProgramNotSuitable[] =
    "此补丁不适合您的本地程序或您的程序已为最新版本，需要执行升级吗？";
inline constexpr char kReminder[] = "提醒：";
inline constexpr char kMemoryShort[] = "当前内存空间不足【%d】MB，请关闭其它软件，以获取得到足够的空间！";
inline constexpr char kDiskShort[] = "%s盘的磁盘空间不足【%d】MB，请清理磁盘，以获取得到足够的空间！";
inline constexpr char kProgramsRunning[] =
    "【%s】正在运行，需要退出该程序才能升级该补丁！\r\n点击【确定】强行关闭程序并升级，点击【取消】退出升级";
inline constexpr char kProgramNamesSeparator[] = "，";
inline constexpr char kCannotClose[] = "\r\n无法关闭【";
inline constexpr char kCannotCloseReason[] = "】，详细信息如下：\r\n    ";
// Step pages.
inline constexpr char kStepDescrip[] = "点击“继续”进入下一步，点击“返回”回退到上一步设置";

// The patch-type page.
inline constexpr char kTypeTitle[] = "选择补丁类型";
inline constexpr char kTypeText[] = "请选择您本次需要制作的补丁类型";

// The database page.
inline constexpr char kDBTitle[] = "配置数据库连接";
inline constexpr char kDBText[] = "请配置系统账套所在的数据库的连接信息";
inline constexpr char kDBDescripTail[] = "\r\n如果您要检查所配置的连接信息是否正确，请点击“测试连接”";

// The account-set selection page.
inline constexpr char kSelectTitleMaker[] = "选择账套来源";
inline constexpr char kSelectTextMaker[] = "请选择您用来制作数据库补丁的系统账套";
inline constexpr char kSelectDescripMaker[] = "\r\n您可以勾选列表中的账套，只能选择一个";
inline constexpr char kSelectTitleInstaller[] = "选择需要升级的账套";
inline constexpr char kSelectTextInstaller[] = "请选择您要给系统的哪些账套打上升级补丁？";
inline constexpr char kSelectDescripInstaller[] = "\r\n您可以勾选列表中的账套，允许选择多个";
inline constexpr char kSelectOnlyOne[] = "不允许同时选择多个账套";
inline constexpr char kVersionUnfit[] = "该补丁不适合账套[%s]的版本号，无法对其升级";
inline constexpr char kSelectTargets[] = "请选择要升级哪些账套";
inline constexpr char kSelectSource[] = "请选择一个用于制作补丁的账套";

// The build page.
inline constexpr char kBuildTitle[] = "补丁制作";
inline constexpr char kBuildText[] = "在此功能界面可完成具体补丁内容的设置和制作";
inline constexpr char kVersionInfo[] = "该补丁版本信息：\r\n    升级版本：%0:s\r\n    适用版本：%1:s";
inline constexpr char kVersionNone[] = "无";
inline constexpr char kVersionNewProgram[] = "\r\n      （程序）%0:s—%1:s";
inline constexpr char kVersionListProgram[] = "\r\n      （程序）%s";
inline constexpr char kVersionNewInstance[] = "\r\n      （账套）%0:s—%1:s";
inline constexpr char kVersionListInstance[] = "\r\n      （账套）%s";
inline constexpr char kVersionNewBoth[] = "\r\n      （程序）%0:s—%1:s\r\n      （账套）%2:s—%3:s";
inline constexpr char kVersionListBoth[] = "\r\n      （程序）%0:s\r\n      （账套）%1:s";
inline constexpr char kVersionListEntry[] = ";%0:s—%1:s";
inline constexpr char kVersionOptions[] = "该补丁版本升级方式：\r\n    %0:s";
inline constexpr char kNotCheckVersion[] = "不校验版本号";
inline constexpr char kCheckVersion[] = "校验版本号";
inline constexpr char kNotUpdateVersion[] = "不更新版本号";
inline constexpr char kUpdateVersion[] = "更新版本号";
inline constexpr char kPatchExt[] = ".exe";
inline constexpr char kNoPatchName[] = "请输入要生成的补丁名称";
inline constexpr char kNoPatchDir[] = "请输入或者选择要生成的补丁的路径";
inline constexpr char kDirMissing[] = "您输入的路径不存在，请确认";
inline constexpr char kNoVersionFile[] = "请添加版本文件";
inline constexpr char kNoUserFiles[] = "您没有添加任何升级文件，请确认";
inline constexpr char kNoAccountSetData[] = "您没有添加任何账套升级数据，请确认";
inline constexpr char kBrowseSaveTitle[] = "选择保存路径";
inline constexpr char kVersionFilter[] = "版本号文件(*.xml)|*.xml";
inline constexpr char kVersionDefaultExt[] = "*.xml";
inline constexpr char kVersionTypeMismatch[] = "版本文件补丁类型不匹配，请确认";
inline constexpr char kVersionBadFormat[] = "版本文件格式不正确，请确认";
inline constexpr char kOpenPatchQuestion[] = "打开原有补丁文件会清除您目前的设置，确定加载吗？";
inline constexpr char kPatchFilter[] = "程序补丁(*.exe)|*.exe";
inline constexpr char kPatchDefaultExt[] = "*.exe";
inline constexpr char kPatchTypeMismatch[] = "该文件补丁类型不匹配，请确认";

// The content designer.
inline constexpr char kAllFilesFilter[] = "所有文件(*.*)|*.*";
inline constexpr char kAllFilesDefaultExt[] = "*.*";
inline constexpr char kDeskFlowFilter[] = "流程图(*.fld)|*.fld";
inline constexpr char kDeskFlowDefaultExt[] = "*.fld";
inline constexpr char kSelectCategoryQuestion[] = "确定选择该结点下的全部数据吗？";
inline constexpr char kRemoveCategoryQuestion[] = "确定移除该结点下的全部数据吗？";
inline constexpr char kRemoveAllQuestion[] = "确定要移除已选的全部数据吗？";
inline constexpr char kEmptyScriptName[] = "脚本名称不能为空，请填写";

// The designer's catalogue: fixed entries, then the queries of the source's database.
inline constexpr char kEntryAll[] = "全部";
inline constexpr char kEntryDeskFlow[] = "默认流程图";
inline constexpr char kEntryCube[] = "多维立方体";
inline constexpr char kEntryTask[] = "执行任务方案";
inline constexpr char kEntryTaskLink[] = "立方体-任务映射关系";
inline constexpr char kTableInstElmnt[] = "QEL_InstElmnt";
inline constexpr char kTableQuery[] = "QR_Element";
inline constexpr char kTableSysOptInfo[] = "JC_SysOptInfo";
inline constexpr char kTableCube[] = "QR_DataAnalyse";
inline constexpr char kTableTask[] = "QR_DAExecuteTask";
inline constexpr char kTableTaskLink[] = "QR_DATaskLink";
inline constexpr char kCatalogueBills[] =
    "select RwID, BillName from JC_BillFormat where BillType = 3 or BillType = 1";
inline constexpr char kCatalogueBaseData[] = "select CategoryID, Subject from JC_TableDict";
inline constexpr char kViewsMsSql[] =
    "select o.name, c.text,\r\ncase when o.type = 'V' then 'VIEW' when o.type = 'P' then 'PROCEDURE' end "
    "from "
    "sysobjects o\r\ninner join syscomments c on c.id = o.id\r\nwhere o.type in ('V','P') and o.status > "
    "0\r\norder by o.type,o.name,c.colid";
inline constexpr char kViewsOracle[] =
    "select o.object_name, c.text, o.object_type from user_objects o\r\ninner join user_source c on c.name = "
    "o.object_name\r\nwhere o.object_type in ('VIEW','PROCEDURE')\r\norder by "
    "o.object_type,o.object_name,c.line";
inline constexpr char kUserTablesMsSql[] =
    "select o.id, o.name from sysobjects o\r\nwhere o.type = 'U' and o.name not in "
    "('QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_DAEXECUTETASK','QR_"
    "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by o.name";
inline constexpr char kSystemTablesMsSql[] =
    "select o.id, o.name from sysobjects o\r\nwhere o.type = 'U' and o.name in "
    "('QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_DAEXECUTETASK','QR_"
    "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by o.name";
inline constexpr char kUserTablesOracle[] =
    "select o.object_id, o.object_name from user_objects o\r\nwhere o.object_type = 'TABLE' and "
    "o.object_name not in "
    "('QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_DAEXECUTETASK','QR_"
    "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by o.object_name";
inline constexpr char kSystemTablesOracle[] =
    "select o.object_id, o.object_name from user_objects o\r\nwhere o.object_type = 'TABLE' and "
    "o.object_name in "
    "('QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_DAEXECUTETASK','QR_"
    "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by o.object_name";
// An embedded account set is an SQLite file: its own catalogue holds the views (there are no
// procedures); the engine's internal tables are no candidates.
inline constexpr char kViewsEmbedded[] =
    "select name, sql, 'VIEW' from sqlite_master where type = 'view' order by name";
// The engine's own side table of column definitions is no user table of the account set.
inline constexpr char kUserTablesEmbedded[] =
    "select rowid, name from sqlite_master\r\nwhere type = 'table' and name not like 'sqlite!_%' escape '!' "
    "and upper(name) not in "
    "('DSCOLUMNDEFINE','QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_"
    "DAEXECUTETASK','QR_"
    "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by name collate nocase";
inline constexpr char kSystemTablesEmbedded[] =
    "select rowid, name from sqlite_master\r\nwhere type = 'table' and name not like 'sqlite!_%' escape '!' "
    "and upper(name) in "
    "('QEL_INSTELMNT','JC_BILLFORMAT','JC_TABLEDICT','QR_ELEMENT','QR_DATAANALYSE','QR_DAEXECUTETASK','QR_"
    "DATASKLINK','JC_DJBHGZ','JC_CODEJCSET','SYS_PURFUNRES','SYS_ACCOUNTS')\r\norder by name collate nocase";

// Gathering the account sets' rows into the data file.
inline constexpr char kDataFileName[] = "Update.mdb";
inline constexpr char kGathering[] = "正在将账套[%s]的“%s”信息加载到补丁程序……";
inline constexpr char kGatheringDeskFlow[] = "正在将流程图文件加载到补丁程序……";
inline constexpr char kReCstNodeProgress[] = "%0:s  %1:d/%2:d --【%3:s】";
inline constexpr char kStructureOnlyFilter[] = " and 1<>1 ";
inline constexpr char kNoRowsFilter[] = " and 1=0 ";
inline constexpr char kTableBillFormat[] = "JC_BillFormat";
inline constexpr char kTableBillNumbering[] = "JC_DJBHGZ";
inline constexpr char kTableDict[] = "JC_TableDict";
inline constexpr char kTableCodeSet[] = "JC_CodeJCSet";
inline constexpr char kTablePurFunRes[] = "Sys_PurFunRes";
inline constexpr char kMultiOptFilter[] = " and Stdcode = '%s' ";
inline constexpr char kMultiOptCode[] = "GD_BillMultiOptCfgMsg";
// The data file that cannot be made: its path and the reason.
inline constexpr char kDataFileFailed[] = "无法创建账套数据文件“%0:s”：%1:s";
inline constexpr char kDataFileMissing[] = "文件创建后不存在";

// The installation folder page.
inline constexpr char kDirTitle[] = "选择安装路径";
inline constexpr char kDirText[] = "请选择您原有程序的安装路径，以便于安装升级补丁";
inline constexpr char kDirDescripTail[] = "\r\n如果您要更改安装路径，请直接录入或者点击“浏览”";
inline constexpr char kNoInstallDir[] = "请输入或者选择源程序安装路径";

// The organisation-unit page.
inline constexpr char kOrgTitle[] = "确定账套组织机构";
inline constexpr char kOrgText[] = "请选择您系统账套的组织机构";
inline constexpr char kOrgLabel[] = "【%s】帐套组织机构：";
inline constexpr char kOrgNotChosen[] = "未选择组织机构，请选择！";
inline constexpr char kOrgMissing[] = "下列帐套未选择组织机构，请选择：\r\n    ";
inline constexpr char kOrgChosenIndent[] = "\r\n    ";
inline constexpr char kOrgConfirm[] = "您是否确定如下选择：";
inline constexpr char kOrgUnits[] = "select RwID, StdCode, StdName from Sys_OrgUnit order by StdCode";
inline constexpr char kAccountOrg[] = "select ZTOrgID, ZTUnitName, AccountName from sys_accounts";
inline constexpr char kOrgUnitMatch[] =
    "select * from Sys_OrgUnit where RwID = %0:d or StdName = '%1:s' or StdName = '%2:s'";
inline constexpr char kUpdateAccountOrg[] = "update Sys_Accounts set ZTOrgID = %0:d, ZTUnitName = '%1:s'";

// The install run.
inline constexpr char kCheckingMemory[] = "正在检测内存进程...";
inline constexpr char kFailureMark[] = "【失败】";
inline constexpr char kSqlRestoreFailedMark[] = "SQL账套还原【失败】";
inline constexpr char kStartingRestoreProgram[] = "升级工作还原数据库失败，将启动还原程序进行还原！";
inline constexpr char kRestoreProgram[] = "VUDivodur.exe";
inline constexpr char kUpgradeFailed[] = "升级账套数据【失败】，详细失败信息为“%s”";
inline constexpr char kStepSucceeded[] = "升级账套“%0:s”的“%1:s”信息【成功】";
inline constexpr char kStepFailed[] = "升级账套“%0:s”的“%1:s”信息【失败】，详细信息如下：“%2:s”";
inline constexpr char kStepObject[] = "%0:s_%1:s";
inline constexpr char kUpgrading[] = "正在升级账套[%s]的“%s”信息……";
inline constexpr char kBackingUp[] = "正在备份账套[%s]数据，请稍候……";
inline constexpr char kBackupFailed[] = "备份账套[%0:s]出错，详细信息如下：%1:s";
inline constexpr char kRestoring[] = "正在还原[%s]账套数据，请稍候……";
inline constexpr char kRestoreSucceeded[] = "[%s]账套还原【成功】";
inline constexpr char kRestoreFailedMsSql[] =
    "[%0:s]SQL账套还原【失败】，将尝试另起进程进行还原！\r\n    详细信息为：%1:s";
inline constexpr char kRestoreFailedManual[] =
    "[%s]账套还原【失败】，请手动进行还原！\r\n    详细信息为：%1:s";
inline constexpr char kInstIdCaption[] = "更新实例ID";
inline constexpr char kInstIdMsSql[] =
    "update QEL_InstElmnt set InstID = (select top 1 InstanceID from Sys_Accounts)";
inline constexpr char kInstIdOracle[] =
    "update QEL_InstElmnt set InstID = (select InstanceID from Sys_Accounts where rownum = 1)";
inline constexpr char kInstIdEmbedded[] =
    "update QEL_InstElmnt set InstID = (select InstanceID from Sys_Accounts limit 1)";
// Backups: "YYYY-MM-DD hhmm" after the account set's name, in a folder per kind of database.
inline constexpr char kBackupStamp[] = "%.4d-%.2d-%.2d %.2d%.2d";
inline constexpr char kBackupFolderMsSql[] = "BackUp/MSSQL/";
inline constexpr char kBackupFolderOracle[] = "BackUp/ORACLE/";
inline constexpr char kBackupFolderEmbedded[] = "BackUp/EMBEDDED/";
inline constexpr char kBackupExtMsSql[] = ".jbk";
inline constexpr char kBackupExtOracle[] = ".dmp";
inline constexpr char kBackupExtOracleLog[] = ".log";
inline constexpr char kBackupExtEmbedded[] = ".mdb";
// A second backup of the same name in the same minute gets a number instead of replacing the first.
inline constexpr char kBackupNumber[] = "(%d)";
inline constexpr char kVersionFile[] = "Update.upf";
// Runs that end early or fail outside a step say so, so that no such run counts as a success.
inline constexpr char kStoppedProgramsRunning[] =
    "补丁升级【失败】：需要关闭的程序没有关闭，本次升级没有做任何改动";
inline constexpr char kStoppedSpaceShort[] = "补丁升级【失败】：磁盘或内存空间不足，本次升级没有做任何改动";
inline constexpr char kRunFailed[] = "补丁升级【失败】，详细信息如下：“%s”";
inline constexpr char kPackageMissing[] = "无法查找到文件：%s";
inline constexpr char kStampFailed[] = "提醒：更新版本号失败，详细信息如下：%s";
inline constexpr char kUpgradeLogNotWritten[] = "提醒：升级日志“%0:s”写入失败，详细信息如下：%1:s";
inline constexpr char kProcedureKind[] = "PROCEDURE";
inline constexpr char kProcedureSkipped[] = "提醒：嵌入式账套“%0:s”不支持存储过程，已跳过“%1:s”";

}  // namespace kestrane::app::texts
