// Fixed texts of the program-file items, the account-set items and the upgrade log.
#pragma once

namespace kestrane::patch::texts {

// Install actions as the designer lists them.
inline constexpr char kOptNone[] = "不做任何操作";
inline constexpr char kOptCopy[] = "复制到目标目录";
inline constexpr char kOptExecute[] = "直接执行";
inline constexpr char kOptProgram[] = "系统应用";
inline constexpr char kOptVersion[] = "版本号";

// Installing program files.
inline constexpr char kExecuteFailed[] = "执行失败：%0:s %1:s";
inline constexpr char kFileInstalled[] = "程序文件“%0:s”升级【成功】";
inline constexpr char kFileFailed[] = "程序文件“%0:s”升级【失败】，详细信息如下：“%1:s”";
inline constexpr char kCopyingFile[] = "正在复制文件（%d/%d）：%s……";
inline constexpr char kAutorunFileName[] = "Fenwupd.exe";
// Names and relative paths that would put a file outside its installation folder.
inline constexpr char kBadFileName[] = "文件名“%0:s”不是有效的文件名";
inline constexpr char kBadRelPath[] = "相对路径“%0:s”指向安装目录之外";
// Two or more files in the target folder differ from the item's name only in letter case.
inline constexpr char kAmbiguousTarget[] = "目标目录中有多个文件与“%0:s”仅大小写不同：%1:s";

// Kinds of account-set definitions.
inline constexpr char kNodeInitScript[] = "初始脚本";
inline constexpr char kNodeReCst[] = "重构";
inline constexpr char kNodeBill[] = "单据";
inline constexpr char kNodeQuery[] = "查询";
inline constexpr char kNodeAnalyse[] = "多维分析";
inline constexpr char kNodeBaseData[] = "基础数据";
inline constexpr char kNodeDeskFlow[] = "流程图";
inline constexpr char kNodeTable[] = "数据表";
inline constexpr char kNodeView[] = "存储过程与视图";
inline constexpr char kNodeScript[] = "脚本";
inline constexpr char kNodeOther[] = "其他";

inline constexpr char kTableTypeData[] = "结构与数据";
inline constexpr char kTableTypeStructure[] = "仅结构";
inline constexpr char kSqlExecCheck[] = "检查";
inline constexpr char kSqlExecUpdate[] = "更新";

// Filters over the definition tables; %0:s / %s is the comma-joined list of node tags.
inline constexpr char kBillFilter[] =
    " and (RwID in (%0:s) or BillType in (4,5) and ModelID in (%0:s) or BillType = 2 and ParentRwID in "
    "(%0:s)) ";
inline constexpr char kBillTypeFilter[] = " and BillType in (%s) ";
inline constexpr char kBillOptionFilter[] = " and StdCode in (%s) ";
inline constexpr char kBillOptionPrefix[] = "GD_BillCfgMsg";
inline constexpr char kBaseDataFilterHead[] = " and CategoryID in (";
inline constexpr char kCodeSetFilterHead[] = " and TableID in (";
inline constexpr char kFilterTail[] = ") ";
inline constexpr char kReCstFilter[] = " and SvcID <> -268304361 ";

// The upgrade log.
inline constexpr char kUpgradeLogFile[] = "PatchLog.log";
inline constexpr char kUpgradeLogSection[] = "升级时间：";
inline constexpr char kUpgradeLogKey[] = "详细信息";
inline constexpr char kUpgradeLogStamp[] = "%.4d-%.2d-%.2d %.2d:%.2d:%.2d";

}  // namespace kestrane::patch::texts
