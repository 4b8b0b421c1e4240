// The fixed user texts of the main window and the common pages.
#pragma once

namespace kestrane::gui::texts {

inline constexpr char kBtnPre[] = "〈 返回(&B)";
inline constexpr char kBtnNext[] = "继续(&N) 〉";
inline constexpr char kBtnCancel[] = "取消(&C)";
inline constexpr char kNextStep[] = "继续(&N)";
inline constexpr char kNextBuild[] = "生成(&B)";
inline constexpr char kNextInstall[] = "安装(&I)";
inline constexpr char kNextFinish[] = "完成(&O)";

inline constexpr char kCaptionMaker[] = "Lumo系统补丁制作工具";
inline constexpr char kCaptionInstaller[] = "补丁安装";
inline constexpr char kStartFailed[] = "升级过程中有错误，请检查数据库是否存在或者启动，错误信息是：";
inline constexpr char kCancelMaker[] = "升级补丁制作尚未完成，确定取消生成吗？";
inline constexpr char kCancelInstaller[] = "正在安装升级补丁，确定取消安装吗？";

inline constexpr char kOk[] = "确定";
inline constexpr char kCancel[] = "取消";

inline constexpr char kWelcomeMakerTitle[] = "欢迎使用\r\n    Lumo系统\r\n        补丁制作工具向导";
inline constexpr char kWelcomeMakerText[] =
    "您可以通过该工具向导，制作如下两种补丁：\r\n\r\n    ※ 程序补丁\r\n    ※ 账套补丁\r\n\r\n"
    "补丁程序可以帮助用户方便地升级程序版本和账套版本\r\n\r\n点击“继续”进入下一步，点击“取消”退出程序";
inline constexpr char kWelcomeInstallerTitle[] = "欢迎使用\r\n    Lumo系统\r\n        补丁安装程序向导";
inline constexpr char kWelcomeKindProgram[] = "    ※ 程序补丁\r\n";
inline constexpr char kWelcomeKindInstance[] = "    ※ 账套补丁\r\n";
inline constexpr char kWelcomeInstallerText[] =
    "您可以通过该程序向导，在您机器上安装如下升级补丁：\r\n\r\n%"
    "s\r\n建议您将本机的应用程序以及服务关闭\r\n\r\n"
    "点击“继续”进入下一步，点击“取消”退出安装";

inline constexpr char kProgressContent[] = "本次升级内容";
inline constexpr char kProgressProgramNode[] = "程序";
inline constexpr char kProgressMakerTitle[] = "生成升级补丁";
inline constexpr char kProgressMakerText[] = "正在根据您的设置生成具体的升级补丁程序";
inline constexpr char kProgressMakerDescrip[] =
    "点击“生成”将配置信息生成补丁程序，点击“返回”回退到上一步设置";
inline constexpr char kProgressInstallerTitle[] = "安装升级补丁";
inline constexpr char kProgressInstallerText[] = "正在将升级补丁安装在您所配置的程序与账套中";
inline constexpr char kProgressInstallerDescrip[] =
    "点击“安装”将补丁安装在您的电脑上，点击“返回”回退到上一步设置";

inline constexpr char kFinishMakerTitle[] = "制作完成";
inline constexpr char kFinishMakerText[] =
    "已经成功完成补丁程序的制作，感谢您使用工具向导\r\n\r\n补丁程序的路径为：\r\n    "
    "%s\r\n\r\n点击“完成”退出制作工具";
inline constexpr char kFinishSuccessTitle[] = "升级成功";
inline constexpr char kFinishSuccessText[] =
    "已经成功完成补丁程序的安装，感谢您使用安装向导\r\n\r\n点击“完成”结束程序升级";
inline constexpr char kFinishFailureTitle[] = "升级失败";
inline constexpr char kFinishFailureText[] =
    "补丁升级过程中出现错误，请联系我们协助解决\r\n\r\n点击“详细信息”查看失败日志，点击“完成”结束程序升级";
inline constexpr char kBtnDetail[] = "详细信息";
inline constexpr char kBtnRepairDB[] = "修复数据库";
inline constexpr char kRepairConfirm[] = "修复数据库操作可能会导致数据丢失，请确认是否进行？";
inline constexpr char kRepairRunning[] = "修复数据库操作正在执行，请稍候...";
inline constexpr char kRepairDone[] = "修复数据库操作执行成功，请重启并执行升级工具！";

inline constexpr char kLogCaption[] = "详细信息";
inline constexpr char kLogOk[] = "确定(&O)";

}  // namespace kestrane::gui::texts
