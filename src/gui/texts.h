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

// The caption of the name fields of the build page, the designer's file fields and its script editor.
inline constexpr char kName[] = "名称";

// The patch-type page.
inline constexpr char kPatchTypeGroup[] = "补丁类型";
inline constexpr char kRbProgram[] = " “程序” 补丁";
inline constexpr char kRbInstance[] = " “账套” 补丁";
inline constexpr char kRbBoth[] = " “程序 + 账套” 补丁";
inline constexpr char kCbNotCheckVersion[] = "升级补丁安装时不校验版本号";
inline constexpr char kCbNotUpdateVersion[] = "升级补丁安装时不更新版本号";
inline constexpr char kCbNotBackup[] = "升级补丁安装时不备份不恢复账套";
inline constexpr char kRegInstallPath[] = "注册表安装程序路径：";

// The database page.
inline constexpr char kTabMsSQL[] = "MSSQL/MSDE";
inline constexpr char kTabOracle[] = "ORACLE";
inline constexpr char kDBServer[] = "服务器";
inline constexpr char kDBPort[] = "端口号";
inline constexpr char kDBUser[] = "用户名";
inline constexpr char kDBPassword[] = "密  码";
inline constexpr char kDBSID[] = "SID";
inline constexpr char kDBIntegrated[] = "Windows集成登录";
inline constexpr char kDBTest[] = "测试连接";

// The account-set page.
inline constexpr char kInstanceGroup[] = "账套列表";
inline constexpr char kSelAll[] = "全选";
inline constexpr char kClrAll[] = "全清";
inline constexpr char kInvert[] = "反选";
inline constexpr char kColDBName[] = "账套标识";
inline constexpr char kColAccountName[] = "账套名称";
inline constexpr char kColVersion[] = "账套版本";

// The build page.
inline constexpr char kBuildDir[] = "路径";
inline constexpr char kBrowse[] = "浏览(&R)";
inline constexpr char kOpenPatch[] = "打开原有补丁(&O)";
inline constexpr char kDesign[] = "添加补丁内容(&M)";
inline constexpr char kImportVersion[] = "导入版本文件(&V)";

// The content designer.
inline constexpr char kDesignCaption[] = "补丁内容设置";
inline constexpr char kDesignOk[] = "确定(&O)";
inline constexpr char kTabProgram[] = "程序补丁";
inline constexpr char kTabInstance[] = "账套补丁";
inline constexpr char kTabConfig[] = "配置信息";
inline constexpr char kAddFile[] = "添加文件";
inline constexpr char kDeleteFile[] = "删除文件";
inline constexpr char kMoveUp[] = "上移";
inline constexpr char kMoveDown[] = "下移";
inline constexpr char kFileGroup[] = "文件描述";
inline constexpr char kRelPath[] = "相对路径";
inline constexpr char kExecType[] = "执行方式";
inline constexpr char kExecWaited[] = "执行等待";
inline constexpr char kExecParam[] = "执行参数";
inline constexpr char kDelay[] = "延迟时间（毫秒）";
inline constexpr char kDescriptionGroup[] = "补丁描述";
inline constexpr char kDescriptionHint[] = "在此处填写该类型的补丁新添了何种功能、解决了什么问题";
inline constexpr char kAllGroup[] = "待选参数列表";
inline constexpr char kSelectGroup[] = "已选参数列表";
inline constexpr char kAllRoot[] = "待选参数";
inline constexpr char kSelectRoot[] = "已选参数";
inline constexpr char kQuery[] = "定位";
inline constexpr char kBtnSelect[] = ">";
inline constexpr char kBtnSelectAll[] = ">>";
inline constexpr char kBtnRemoveAll[] = "<<";
inline constexpr char kBtnRemove[] = "<";
inline constexpr char kScriptGroup[] = "脚本设置";
inline constexpr char kScriptName[] = "脚本名称";
inline constexpr char kAddScript[] = "增加脚本(&A)";
inline constexpr char kAddScriptMenu[] = "增加脚本";
inline constexpr char kRunTimeGroup[] = "运行时参数";
inline constexpr char kFreeMem[] = "空闲内存大小：";
inline constexpr char kFreeMemNote[] = "MB     可以通过查看最大的一个文件大小获知内存的峰值";
inline constexpr char kFreeDisk[] = "空闲硬盘大小：";
inline constexpr char kFreeDiskNote[] = "MB     可以通过查看新增文件的大小获知所需硬盘的空间";
inline constexpr char kCloseFileNames[] = "待关闭的文件名列表：";
inline constexpr char kCloseFileNamesNote[] =
    "每项写作“文件名-说明”，多项之间用逗号分隔，例如：Lumo.exe-Lumo主程序,LumoSvr.exe-Lumo服务程序";

// The editor frames of the designer.
inline constexpr char kDeskFlowFile[] = "流程图文件";
inline constexpr char kDeskFlowOpen[] = "打开(&O)";
inline constexpr char kSqlExecType[] = "语句类型";
inline constexpr char kSqlExecExplain[] =
    "检查：语句返回的第一列为0表示通过、为1表示不通过；第二列为0表示不通过一次后不再检查，为1表示"
    "一直检查到通过为止；第三列为提示信息。\r\n更新：创建表、视图或存储过程，或者更新、删除数据。";
inline constexpr char kDropBeforeCreate[] = "先删除后创建表";
inline constexpr char kTabMsSql[] = "Ms SQL";
inline constexpr char kTabOracleSql[] = "Oracle";
inline constexpr char kTableName[] = "表  名";
inline constexpr char kTableTypeGroup[] = "表更新方式";
inline constexpr char kTableFilter[] = "数据过滤条件";
inline constexpr char kTableBeforeSQL[] = "入库前执行脚本";
inline constexpr char kTableAfterSQL[] = "入库后执行脚本";

}  // namespace kestrane::gui::texts
