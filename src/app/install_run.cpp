// The installer's run: programs closed, the program files installed, every selected account set backed
// up, upgraded from the package database and restored when a step fails, versions stamped, user rights
// and account-set names brought in line, and the outcome read from the full log.
#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "app/account_set_statements.h"
#include "app/install_pages.h"
#include "app/manager.h"
#include "app/texts.h"
#include "db/connect.h"
#include "db/connection.h"
#include "db/data_export.h"
#include "db/maintenance.h"
#include "db/texts.h"
#include "patch/inst_nodes.h"
#include "patch/item_texts.h"
#include "patch/upgrade_log.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/process.h"
#include "platform/system_facts.h"
#include "product/texts.h"
#include "product/user_rights.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::app {

using patch::TKVParamNodeType;
using support::Format;

namespace {

bool LogContains(const std::vector<std::string>& log, std::string_view text) {
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

std::string BackupStamp(std::time_t now) {
    const auto local = platform::LocalTime(now).value_or(platform::LocalTimeFields{});
    return Format(texts::kBackupStamp, local.year, local.month, local.day, local.hour, local.minute);
}

// The account set's name as a file name: a separator in it would put the backup into another folder,
// and the Oracle utilities take their file names between single quotes.
std::string FileNamePart(const std::string& name, support::TKVDataBaseType kind) {
    std::string part = name;
    std::replace(part.begin(), part.end(), '/', '_');
    std::replace(part.begin(), part.end(), '\\', '_');
    if (kind == support::dbtOracle) std::replace(part.begin(), part.end(), '\'', '_');
    return part;
}

// folder + base + extension, numbered when a file of that name exists already (two account sets of
// one name, or two runs within a minute).
std::string UnusedBackupName(const std::string& folder, const std::string& base, const std::string& ext) {
    std::string name = folder + base + ext;
    for (int n = 2; platform::FileExists(name); ++n)
        name = folder + base + Format(texts::kBackupNumber, n) + ext;
    return name;
}

// Removes the package database and the flow file when the upgrade ends, however it ends; declared
// before the transfer object, so that its connections are closed first.
struct PackageRemover {
    std::vector<std::string> files;
    ~PackageRemover() {
        for (const std::string& file : files) {
            std::error_code ignored;
            if (!file.empty()) std::filesystem::remove(file, ignored);
        }
    }
};

// The filter and scripts of a table node for a target of `variant`; structure only never selects a row.
struct TableVariant {
    std::string filter, beforeSQL, afterSQL;
};

TableVariant TableVariantOf(const patch::TNodeItem& node, support::TKVDataBaseType variant) {
    TableVariant v;
    const auto* table = dynamic_cast<const patch::TNodeTableItem*>(&node);
    if (variant == node.SQLType)
        v = {node.Text, node.BeforeSQL, node.AfterSQL};
    else if (table && variant == table->SQLType2)
        v = {table->Text2, table->BeforeSQL2, table->AfterSQL2};
    // The customer's rows of a table shipped for its structure stay: the copy only creates it.
    if (node.TableType == patch::ttStructure) v.filter = texts::kNoRowsFilter;
    return v;
}

db::TObjectScript ObjectScriptOf(const patch::TNodeItem& node) {
    db::TObjectScript script{node.Tag, node.Reservs, node.Text, node.SQLType, {}, support::dbtOracle};
    if (const auto* s = dynamic_cast<const patch::TNodeScriptItem*>(&node)) {
        script.Text2 = s->Text2;
        script.SQLType2 = s->SQLType2;
    }
    return script;
}

const char* InstanceIdStatement(support::TKVDataBaseType kind) {
    switch (kind) {
        case support::dbtMsSql:
            return texts::kInstIdMsSql;
        case support::dbtOracle:
            return texts::kInstIdOracle;
        case support::dbAccess:
            return texts::kInstIdEmbedded;
    }
    return "";
}

}  // namespace

std::string TManager::WorkDirectory() const {
    const auto& params = *paramInfo_;
    return platform::IncludeTrailingPathDelimiter(params.InstallPath.empty() ? params.ProgramDir
                                                                             : params.InstallPath);
}

bool TManager::Install() {
    auto& params = *paramInfo_;
    params.ResultFlags = patch::rfCompleted;
    accountSetResults_.clear();
    versionsStamped_ = false;
    const std::string workDir = WorkDirectory();

    ReportProgress(texts::kCheckingMemory, 1, 100);
    const bool watcher = system_->IsWatcherRunning();
    bool result = CloseRunningPrograms();
    if (!result) {
        Log(this, texts::kStoppedProgramsRunning);
    } else {
        if (watcher) system_->StopWatcher();
        // Guarded from the space check on: a figure that cannot be read ends the run as a failure, and
        // the watcher is started again below.
        try {
            if (!CheckDiskAndMemory()) {
                result = false;
                Log(this, texts::kStoppedSpaceShort);
            } else {
                resItems_->OnProgress = params.OnProgress;
                result = resItems_->InstallAll(params.InstallPath, fullLog_, detailLog_) && result;
                if (params.PatchType == patch::ptInstance || params.PatchType == patch::ptBoth)
                    result = UpgradeAccountSets() && result;
                // Without a descriptor there is no version to stamp.
                if (result && !params.NotUpdateVersion && patchVersion_->Loaded()) {
                    try {
                        TDBProcessorStatements statements;
                        patchVersion_->StampNewVersion(params.PatchType, params.InstallPath, params.Instances,
                                                       statements);
                        versionsStamped_ = platform::FileExists(workDir + texts::kVersionFile);
                    } catch (const std::exception& error) {
                        Log(this, Format(texts::kStampFailed, error.what()));
                    }
                }
                SyncProductConfig();
            }
        } catch (const std::exception& error) {
            result = false;
            Log(this, Format(texts::kRunFailed, error.what()));
        }
    }

    if (LogContains(fullLog_, texts::kSqlRestoreFailedMark)) {
        Log(this, texts::kStartingRestoreProgram);
        patch::WriteUpgradeLog(workDir, support::JoinLines(fullLog_));
        platform::ProcessOptions restore;
        restore.program = workDir + texts::kRestoreProgram;
        restore.workingFolder = workDir;
        try {
            platform::RunProcess(restore, false);
        } catch (const std::exception& error) {
            Log(this, Format(patch::texts::kExecuteFailed, restore.program, error.what()));
        }
        Quit();
    }
    if (watcher) system_->StartWatcher();
    if (LogContains(fullLog_, texts::kFailureMark)) params.ResultFlags = patch::rfFailed;
    if (LogContains(fullLog_, texts::kReminder)) params.ResultFlags |= patch::rfReminders;
    // The outcome stays; only the user is told that the upgrade log is missing this run.
    patch::TLogManager upgradeLog(workDir);
    try {
        upgradeLog.Write(support::JoinLines(fullLog_));
    } catch (const std::exception& error) {
        Log(this, Format(texts::kUpgradeLogNotWritten, upgradeLog.FileName(), error.what()));
        params.ResultFlags |= patch::rfReminders;
    }
    return result;
}

bool TManager::UpgradeAccountSets() {
    using namespace patch;
    auto& params = *paramInfo_;
    bool result = true;
    const std::string workDir = WorkDirectory();
    const std::string package = workDir + texts::kDataFileName;
    std::string flowFile;
    if (const TInstResItem* flow = instResItems_->FindByNodeType(pntDeskFlow); flow && !flow->IsEmpty())
        flowFile = workDir + flow->Node(0).Tag;

    const auto& instances = params.Instances;
    const int n = static_cast<int>(instances.size());
    const int m = static_cast<int>(instResItems_->Count());
    for (std::size_t i = 0; i < instances.size(); ++i)
        if (instances[i].Selected) accountSetResults_.push_back({i, TAccountSetOutcome::NotReached, {}, {}});
    const auto resultOf = [&](std::size_t i) -> TAccountSetResult& {
        return *std::find_if(accountSetResults_.begin(), accountSetResults_.end(),
                             [&](const TAccountSetResult& r) { return r.Index == i; });
    };

    PackageRemover remover{{package, flowFile}};
    db::TDataExport exporter;
    exporter_ = &exporter;
    struct Release {
        db::TDataExport*& exporter;
        ~Release() { exporter = nullptr; }
    } release{exporter_};

    if (!platform::FileExists(package)) {
        // A patch with account-set content whose data never arrived has changed no account set.
        if (instResItems_->AllEmpty() || accountSetResults_.empty()) return true;
        const std::string message = Format(texts::kPackageMissing, package);
        for (TAccountSetResult& r : accountSetResults_) r.Message = message;
        Log(this, Format(texts::kUpgradeFailed, message));
        return false;
    }

    exporter.SourceType = support::dbAccess;
    exporter.OnLog = [this](const void* sender, const std::string& message) { Log(sender, message); };
    support::TDBInfoRec packageInfo;
    packageInfo.DBType = support::dbAccess;
    exporter.SourceConnection().SetConnectionString(db::BuildConnectionString(packageInfo, package));

    try {
        for (int i = 0; i < n; ++i) {
            const support::TInstanceRec& set = instances[static_cast<std::size_t>(i)];
            if (!set.Selected) continue;
            TAccountSetResult& outcome = resultOf(static_cast<std::size_t>(i));
            exporter.TargetType = set.DBInfo.DBType;
            exporter.TargetConnection()->Close();
            exporter.TargetConnection()->SetConnectionString(
                db::BuildConnectionString(set.DBInfo, set.DBName));

            if (!params.NotBackup && !BackupAccountSet(set, workDir)) {
                result = false;
                outcome.Outcome = TAccountSetOutcome::BackupFailed;
                outcome.Message = fullLog_.back();
                // Skipped without a change: the run is no success, and the log says why.
                Log(this, Format(texts::kUpgradeFailed, outcome.Message));
                continue;
            }
            outcome.BackupFile = backupFile_;
            // An embedded account set has a side table of column definitions of its own: the one made
            // in the set before is not here, and one an earlier patch made here must not be made again.
            exporter.ColumnDefineCreated =
                set.DBInfo.DBType == support::dbAccess &&
                exporter.TableExists(*exporter.TargetConnection(), support::dbAccess, db::kTxtColumnDefine);
            try {
                for (int j = 0; j < m; ++j) {
                    TInstResItem& item = instResItems_->Item(static_cast<std::size_t>(j));
                    if (item.IsEmpty()) continue;
                    const int position = i * m + j + 1;
                    ReportUpgradeProgress(item.ParamNodeType(), set.AccountName,
                                          ParamNodeTypeCaption(item.ParamNodeType()), position, n * m);
                    UpgradeItem(item, set, position, n * m);
                }
                TransferStep(pntOther, set, texts::kTablePurFunRes, "");
                TransferStep(pntOther, set, texts::kTableSysOptInfo,
                             Format(texts::kMultiOptFilter, texts::kMultiOptCode));
                outcome.Outcome = TAccountSetOutcome::Upgraded;
            } catch (const std::exception& error) {
                Log(this, error.what());
                outcome.Message = error.what();
                outcome.Outcome = TAccountSetOutcome::NotRestored;
                if (!params.NotBackup)
                    outcome.Outcome = RestoreAccountSet(set) ? TAccountSetOutcome::Restored
                                                             : TAccountSetOutcome::RestoreFailed;
                throw;
            }
        }
    } catch (const std::exception& error) {
        result = false;
        Log(this, Format(texts::kUpgradeFailed, error.what()));
    }
    return result;
}

void TManager::UpgradeItem(patch::TInstResItem& item, const support::TInstanceRec& set, int position,
                           int maximum) {
    using namespace patch;
    db::TDataExport& exporter = *exporter_;
    const TKVParamNodeType t = item.ParamNodeType();
    const std::string caption = ParamNodeTypeCaption(t);
    const support::TKVDataBaseType target = set.DBInfo.DBType;
    const support::TKVDataBaseType variant = db::NodeVariantKind(target);
    const std::string& name = set.AccountName;

    switch (t) {
        case pntInitScript:
        case pntScript:
            for (const TNodeItem* node : item.NodeList()) {
                ReportUpgradeProgress(node->ParamNodeType, name, node->Caption, position, maximum);
                const auto* script = dynamic_cast<const TNodeScriptItem*>(node);
                if (node->SQLType == variant)
                    ScriptStep(node->ParamNodeType, set, node->Caption, node->Text);
                else if (script && script->SQLType2 == variant)
                    ScriptStep(node->ParamNodeType, set, node->Caption, script->Text2);
            }
            break;
        case pntReCst: {
            TransferStep(t, set, item.TableName(),
                         static_cast<TInstReCstResItem&>(item).ReCstFilter(variant));
            ScriptStep(t, set, texts::kInstIdCaption, InstanceIdStatement(target));
            const int count = static_cast<int>(item.NodeCount());
            for (int k = 0; k < count; ++k) {
                const TNodeItem& node = item.Node(static_cast<std::size_t>(k));
                if (node.Tag == item.TableName()) continue;
                ReportUpgradeProgress(t, name,
                                      Format(texts::kReCstNodeProgress, caption, k, count, node.Caption),
                                      position, maximum);
                const auto* script = dynamic_cast<const TNodeScriptItem*>(&node);
                exporter.SyncTableStructure(node.Tag, script && script->DropBeforeCreate);
            }
            break;
        }
        case pntBill: {
            const auto& bill = static_cast<TInstBillResItem&>(item);
            TransferStep(t, set, item.TableName(), bill.BuildFilter());
            TransferStep(t, set, texts::kTableSysOptInfo, bill.BillOptionFilter());
            TransferStep(t, set, texts::kTableBillNumbering, bill.BillTypeFilter());
            break;
        }
        case pntQuery:
            TransferStep(t, set, item.TableName(), item.BuildFilter());
            break;
        case pntBaseData: {
            const auto& baseData = static_cast<TInstBaseDataResItem&>(item);
            TransferStep(t, set, item.TableName(), baseData.BuildFilter());
            TransferStep(t, set, texts::kTableCodeSet, baseData.CodeSetFilter());
            break;
        }
        case pntAnalyse:
        case pntTable:
            for (const TNodeItem* node : item.NodeList()) {
                ReportUpgradeProgress(node->ParamNodeType, name, node->Tag, position, maximum);
                const TableVariant v = t == pntAnalyse
                                           ? TableVariant{node->Text, node->BeforeSQL, node->AfterSQL}
                                           : TableVariantOf(*node, variant);
                RunStep(
                    node->ParamNodeType, set, node->Caption,
                    [&] { exporter.TransferTableWithScripts(node->Tag, v.filter, v.beforeSQL, v.afterSQL); },
                    true);
            }
            break;
        case pntDeskFlow: {
            const std::string flowFile = WorkDirectory() + item.Node(0).Tag;
            if (platform::FileExists(flowFile))
                RunStep(
                    t, set, "", [&] { exporter.InsertFlowDeskOption(flowFile); }, true);
            break;
        }
        case pntView:
            for (const TNodeItem* node : item.NodeList()) {
                const auto* script = dynamic_cast<const TNodeScriptItem*>(node);
                if (node->SQLType != variant && !(script && script->SQLType2 == variant)) continue;
                // An embedded database has no procedures: the one a patch made on a server brings is left
                // out, and the log says so.
                if (target == support::dbAccess && support::SameText(node->Reservs, texts::kProcedureKind)) {
                    Log(this, Format(texts::kProcedureSkipped, name, node->Caption));
                    continue;
                }
                ReportUpgradeProgress(t, name, node->Caption, position, maximum);
                RunStep(
                    t, set, node->Caption,
                    [&] {
                        exporter.RecreateObject(*exporter.TargetConnection(), target, ObjectScriptOf(*node));
                    },
                    true);
            }
            break;
        case pntOther:
            break;
    }
}

void TManager::RunStep(TKVParamNodeType nodeType, const support::TInstanceRec& set, const std::string& object,
                       const std::function<void()>& work, bool logFailure) {
    const std::string caption = patch::ParamNodeTypeCaption(nodeType);
    const std::string what = object.empty() ? caption : Format(texts::kStepObject, caption, object);
    try {
        work();
    } catch (const std::exception& error) {
        const std::string text = Format(texts::kStepFailed, set.AccountName, what, error.what());
        if (logFailure) Log(this, text);
        throw std::runtime_error(text);
    }
    fullLog_.push_back(Format(texts::kStepSucceeded, set.AccountName, what));
}

void TManager::TransferStep(TKVParamNodeType nodeType, const support::TInstanceRec& set,
                            const std::string& tableName, const std::string& filter) {
    RunStep(
        nodeType, set, tableName, [&] { exporter_->TransferTable(tableName, filter); }, false);
}

void TManager::ScriptStep(TKVParamNodeType nodeType, const support::TInstanceRec& set,
                          const std::string& caption, const std::string& statement) {
    RunStep(
        nodeType, set, caption, [&] { exporter_->ExecSQL(*exporter_->TargetConnection(), statement); },
        false);
}

void TManager::ReportUpgradeProgress(TKVParamNodeType nodeType, const std::string& name,
                                     const std::string& text, int position, int maximum) {
    ReportItemProgress(nodeType, Format(texts::kUpgrading, name, text), position, maximum);
}

void TManager::ReportRunProgress(const std::string& message, int position, int maximum) {
    ReportItemProgress(patch::pntOther, message, position, maximum);
}

bool TManager::BackupAccountSet(const support::TInstanceRec& set, const std::string& workDir) {
    const auto maximum = static_cast<int>(paramInfo_->Instances.size() * instResItems_->Count());
    ReportRunProgress(Format(texts::kBackingUp, set.AccountName), 0, maximum);
    // A restore only ever puts back this account set's own backup.
    backupFile_.clear();
    backupLogFile_.clear();
    try {
        const std::string base =
            FileNamePart(set.AccountName, set.DBInfo.DBType) + BackupStamp(Now ? Now() : std::time(nullptr));
        switch (set.DBInfo.DBType) {
            case support::dbtMsSql: {
                const std::string folder = workDir + texts::kBackupFolderMsSql;
                platform::ForceDirectories(folder);
                const std::string file = UnusedBackupName(folder, base, texts::kBackupExtMsSql);
                exporter_->ExecSQL(*exporter_->TargetConnection(),
                                   db::BackupDatabaseStatement(set.DBName, file));
                backupFile_ = file;
                break;
            }
            case support::dbtOracle: {
                const std::string folder = workDir + texts::kBackupFolderOracle;
                platform::ForceDirectories(folder);
                const std::string file = UnusedBackupName(folder, base, texts::kBackupExtOracle);
                const std::string log =
                    file.substr(0, file.size() - std::string(texts::kBackupExtOracle).size()) +
                    texts::kBackupExtOracleLog;
                // Waited for: the account set is not changed while its backup is still being written.
                db::ExportOracleDatabase(set.DBName, set.DBInfo, file, log);
                backupFile_ = file;
                backupLogFile_ = log;
                break;
            }
            case support::dbAccess: {
                const std::string file =
                    UnusedBackupName(workDir + texts::kBackupFolderEmbedded, base, texts::kBackupExtEmbedded);
                db::BackupEmbeddedDatabase(db::EmbeddedDatabaseFile(set.DBInfo, set.DBName), file);
                backupFile_ = file;
                break;
            }
        }
        return true;
    } catch (const std::exception& error) {
        const std::string message = Format(texts::kBackupFailed, set.AccountName, error.what());
        fullLog_.push_back(message);
        detailLog_.push_back(message);
        return false;
    }
}

bool TManager::RestoreAccountSet(const support::TInstanceRec& set) {
    // A SQL Server backup lies where the server wrote it, which need not be this machine.
    if (backupFile_.empty() || (set.DBInfo.DBType != support::dbtMsSql && !platform::FileExists(backupFile_)))
        return true;
    exporter_->ReplaceTargetConnection(nullptr);
    const auto maximum = static_cast<int>(paramInfo_->Instances.size() * instResItems_->Count());
    ReportRunProgress(Format(texts::kRestoring, set.AccountName), 0, maximum);
    try {
        db::RestoreDatabase(backupFile_, backupLogFile_, set.DBName, set.DBInfo);
        Log(this, Format(texts::kRestoreSucceeded, set.AccountName));
        return true;
    } catch (const std::exception& error) {
        if (set.DBInfo.DBType == support::dbtMsSql) {
            Log(this, Format(texts::kRestoreFailedMsSql, set.AccountName, error.what()));
            db::WriteParamIni(WorkDirectory(), backupFile_, set.DBName, set.DBInfo);
        } else {
            const std::string text = Format(texts::kRestoreFailedManual, set.AccountName, error.what());
            Log(this, text);
            interaction_.ShowNotice(text, TBoxOwner::None);
        }
        return false;
    }
}

void TManager::SyncProductConfig() {
    const auto& params = *paramInfo_;
    product::TLumoServiceMng service;
    service.OnMessage = [this](const void* sender, const std::string& text) { Log(sender, text); };
    if (!product::ConfigDatabaseExists(params.InstallPath)) {
        // Rights and names stay as they were; the log tells the user so.
        Log(this, std::string(texts::kReminder) + product::texts::kConfigDatabaseMissing);
        return;
    }
    service.TransferUserRights(*fileMng_);
    if (params.PatchType == patch::ptInstance || params.PatchType == patch::ptBoth)
        for (const support::TInstanceRec& inst : params.Instances)
            if (inst.Selected) fileMng_->RenameAccountSet(inst);
}

bool TManager::MatchOrgUnit(db::Connection& connection, TOrgUnit& unit) {
    if (!connection.IsOpen()) connection.Open();
    const db::ClosedAfterUse closed(connection);
    std::int32_t orgId = 0;
    std::string unitName, accountName;
    {
        const auto account = connection.Execute(texts::kAccountOrg);
        if (!account || account->Eof()) return false;
        orgId = account->Value(0).AsInteger();
        unitName = account->Value(1).AsString();
        accountName = account->Value(2).AsString();
    }
    const auto units = connection.Execute(Format(
        texts::kOrgUnitMatch, orgId, support::QuotedSqlText(unitName), support::QuotedSqlText(accountName)));
    if (!units || units->Eof()) return false;
    unit.RwID = units->Value("RwID").AsInteger();
    unit.StdCode = units->Value("StdCode").AsString();
    unit.StdName = units->Value("StdName").AsString();
    return true;
}

}  // namespace kestrane::app
