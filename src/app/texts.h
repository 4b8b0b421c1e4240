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

// Operations whose own module has not been built yet say so instead of pretending to have run.
inline constexpr char kNotAvailable[] = "%0:s: not available in this build";

}  // namespace kestrane::app::texts
