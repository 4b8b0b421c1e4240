// Fixed texts of product integration: file, section and key names of an installation, the statements
// discovery sends and the messages it reports.
#pragma once

namespace kestrane::product::texts {

// Installation facts.
inline constexpr const char* kConfigFile = "lumo.lumocf";
inline constexpr const char* kSetupFile = "lumosetup.dat";
inline constexpr const char* kMainSection = "主配置";
inline constexpr const char* kNetKey = "net";
inline constexpr const char* kSetupSection = "SETUP";
inline constexpr const char* kNetVerKey = "NETVER";
inline constexpr const char* kNetVerDefault = "TRUE";

// Discovery.
inline constexpr const char* kCentralCatalog = "NXCentre";
inline constexpr const char* kLoadFailedOpen = "错误：【";
inline constexpr const char* kLoadFailedClose = "】帐套加载失败，失败原因如下：";
inline constexpr const char* kSelectAccount = "select AccountName, InstanceID from Sys_Accounts";
inline constexpr const char* kSelectVersion = "select ZTVersion from Sys_Accounts";
inline constexpr const char* kSelectInstElement =
    "select ElmntData from QEL_InstElmnt where Enabled=1 and SvcID=-268304361 and ElmntType=80 and ElmntID=0";
inline constexpr const char* kUpdateInstElement =
    "update QEL_InstElmnt set ElmntData=? where Enabled=1 and SvcID=-268304361 and ElmntType=80 and "
    "ElmntID=0";

// User rights.
inline constexpr const char* kConfigDatabase = "LumoConfig.mdb";
inline constexpr const char* kConfigDatabaseMissing = "无法查找到文件：LumoConfig.mdb";
inline constexpr const char* kSelectMembers = " Select * from CERT_Member ";
inline constexpr const char* kDeleteMember = " Delete From Cert_Member where UID='%s' ";
inline constexpr const char* kDeleteMemberLinks = " Delete From Cert_MLConn where UID='%s' ";
inline constexpr const char* kDeleteMemberAccess = " Delete From Cert_ACL where UserID='%s' ";
inline constexpr const char* kInsertMember =
    " INSERT INTO CERT_Member(UID, Name, Code, Psdc, Descript, Attr, CRC) VALUES('%s', '%s', '%s', '%s', "
    "'%s', "
    "%d, %d) ";
// A member's access to one account set is held once: an earlier grant gives way to the new one.
inline constexpr const char* kDeleteAccountSetAccess =
    " Delete From Cert_ACL where UserID='%s' and ResID='%s' and ResType=%d ";
inline constexpr const char* kInsertAccess =
    "INSERT INTO CERT_ACL(UserID, ResID, ResType, ACK, Falg, CRC) VALUES('%s', '%s', %d, %d, %d, %d)";
inline constexpr const char* kRightsMoved =
    "更新账套[%s]用户权限，原UID：%s -> 新UID：%s，原Code：%s -> 新Code：%s";

}  // namespace kestrane::product::texts
