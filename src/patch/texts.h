// Fixed texts of the patch module.
#pragma once

namespace kestrane::patch::texts {

// Failures of the component stream.
inline constexpr char kInvalidStreamFormat[] = "Invalid stream format";
inline constexpr char kInvalidPropertyValue[] = "Invalid property value";
inline constexpr char kPropertyDoesNotExist[] = "Property %s does not exist";
inline constexpr char kClassNotFound[] = "Class %s not found";
inline constexpr char kStreamReadError[] = "Stream read error";
inline constexpr char kZlibError[] = "Error";
inline constexpr char kResourceNotFound[] = "Resource %s not found";
// Writing a value the format cannot hold (a compressed file of 2 GB or more).
inline constexpr char kStreamWriteError[] = "Stream write error";

// The three RCDATA resources of a patch executable.
inline constexpr char kResParamData[] = "PARAMDATA";
inline constexpr char kResFileData[] = "FILEDATA";
inline constexpr char kResInstData[] = "INSTDATA";

// Loading the resources of a patch fails with this text followed by the failure's message.
inline constexpr char kPatchLoadFailed[] = "文件内容不正确，无法打开\r\n详细错误信息：";

// Initial patch parameters.
inline constexpr char kDefaultRegInstallPath[] = "Software\\Torlinex\\Lumo";
inline constexpr char kDefaultNeedCloseFileNames[] =
    "LumoClient.exe-Lumo客户端程序,LumoSysMng.exe-Lumo管理平台程序,Z5IvuRov.exe-Lumo webservice程序,"
    "Fenwupd.exe-Lumo升级客户端程序";

// Definition tables of the account-set kinds and their captions.
inline constexpr char kTableJcScript[] = "JC_Script";
inline constexpr char kCaptionInitScript[] = "初始脚本表";
inline constexpr char kTableInstElmnt[] = "QEL_InstElmnt";
inline constexpr char kCaptionReCst[] = "数据重构表";
inline constexpr char kTableBillFormat[] = "JC_BillFormat";
inline constexpr char kCaptionBill[] = "单据定义表";
inline constexpr char kTableQrElement[] = "QR_Element";
inline constexpr char kCaptionQuery[] = "查询定义表";
inline constexpr char kTableTableDict[] = "JC_TableDict";
inline constexpr char kCaptionBaseData[] = "基础数据定义表";
inline constexpr char kTableSysOptInfo[] = "JC_SysOptInfo";
inline constexpr char kCaptionDeskFlow[] = "系统选项表";
inline constexpr char kCaptionScript[] = "脚本表";

// The installed versions: the program's in an INI file of the installation folder, each account
// set's in its Sys_Accounts table.
inline constexpr char kVersionFile[] = "Update.upf";
inline constexpr char kVersionSection[] = "UpdateConfig";
inline constexpr char kVersionKey[] = "pf_version";
inline constexpr char kAddVersionColumn[] = "alter table Sys_Accounts add ZTVersion varchar(100) null";
inline constexpr char kStampAccountSetVersion[] = "update Sys_Accounts set ZTVersion = '%s'";
// A version descriptor that does not parse: the parser's description and where it stopped.
inline constexpr char kVersionParseError[] = "%0:s (byte %1:d)";
inline constexpr char kVersionBadText[] = "Invalid character data";
inline constexpr char kVersionNotOneRoot[] = "The document must hold exactly one root element";

}  // namespace kestrane::patch::texts
