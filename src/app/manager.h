// The wizard manager: owner of every object of a run, the page list of the run mode and patch type,
// moving between pages, and the maker's build.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/installation_services.h"
#include "app/interaction.h"
#include "app/page_contract.h"
#include "app/page_registry.h"
#include "app/patch_loader.h"
#include "patch/inst_res_items.h"
#include "patch/param_info.h"
#include "patch/patch_version.h"
#include "patch/res_items.h"

namespace kestrane::platform {
class SystemFacts;
}

namespace kestrane::db {
class Connection;
class TDataExport;
}  // namespace kestrane::db

namespace kestrane::app {

enum TWizardStage : std::uint8_t { wsFirst = 0, wsStep = 1, wsAction = 2, wsFinish = 3 };

// Bits of the `parts` argument of LoadPatchResources.
enum TPatchParts : int {
    ppFileData = kPatchPartFileData,
    ppInstData = kPatchPartInstData,
    ppParamData = kPatchPartParamData
};

struct TOrgUnit;

// What an install run did with one selected account set.
enum class TAccountSetOutcome {
    NotReached,     // a failure before it ended the run first
    Upgraded,       // every step succeeded
    BackupFailed,   // skipped: no backup could be made, so nothing was changed
    Restored,       // a step failed and the backup was put back
    RestoreFailed,  // a step failed and the backup could not be put back
    NotRestored     // a step failed and the patch takes no backups
};

struct TAccountSetResult {
    std::size_t Index = 0;  // in Instances
    TAccountSetOutcome Outcome = TAccountSetOutcome::NotReached;
    std::string Message;     // the failure, when there was one
    std::string BackupFile;  // the backup made before the upgrade, when one was made
};

// The window that shows the pages.
class TPageHost {
  public:
    virtual ~TPageHost() = default;
    // Puts the page into the client area behind every other page and makes it the active control.
    virtual void PlacePage(TBaseFrame& page) = 0;
    // Only the front page is visible.
    virtual void BringToFront(TBaseFrame& page) = 0;
};

class TManager {
  public:
    // `exePath` is the executable file itself (empty: the running one): its resources are read and it
    // is copied to make a patch. `invokedName` is the name the program was started under (empty: that
    // of `exePath`); its file name decides the run mode, so a link named Patch.exe is an installer.
    // `system` gives the machine's facts (free memory and disk, programs, the watcher service); null,
    // the host's own. Throws when the installer's memory check fails (the main window reports it).
    explicit TManager(TInteraction& interaction, std::string exePath = {}, std::string invokedName = {},
                      platform::SystemFacts* system = nullptr);
    ~TManager();
    TManager(const TManager&) = delete;
    TManager& operator=(const TManager&) = delete;

    const std::vector<std::string>& PageNames() const { return pageNames_; }
    std::int32_t PageCount() const { return static_cast<std::int32_t>(pageNames_.size()); }
    std::int32_t PageIndex() const { return pageIndex_; }
    std::function<void(TManager& manager, TWizardStage stage)> OnStageChange;

    patch::TBaseParamInfo& ParamInfo() { return *paramInfo_; }
    patch::TResCollection& ResItems() { return *resItems_; }
    patch::TInstResCollection& InstResItems() { return *instResItems_; }
    TBaseFrame* CurrentPage() const { return currentPage_; }
    patch::TPatchVersion& PatchVersion() { return *patchVersion_; }
    std::vector<std::string>& FullLog() { return fullLog_; }
    std::vector<std::string>& DetailLog() { return detailLog_; }
    TFileMng& FileMng() { return *fileMng_; }
    TInteraction& Interaction() { return interaction_; }
    platform::SystemFacts& System() { return *system_; }
    const std::string& ExePath() const { return exePath_; }
    const std::string& InvokedName() const { return invokedName_; }
    // The pages created so far, in creation order.
    const std::vector<std::unique_ptr<TBaseFrame>>& Pages() const { return pageOwner_; }

    void SetPageHost(TPageHost* host) { host_ = host; }

    // ---- navigation (manager_navigation.cpp) ----
    // True unless the file name the program was started under is exactly "Kestrane.exe".
    bool IsInstaller() const;
    void Start() { ShowPage(0); }
    void NextPage() { ShowPage(pageIndex_ + 1); }
    void PrevPage() { ShowPage(pageIndex_ - 1); }
    void Quit() { interaction_.Quit(); }
    void ShowPage(std::int32_t index);
    TBaseFrame* FindPage(const TPageClass& pageClass) const;
    void BuildPageList(const patch::TBaseParamInfo& ParamInfo);
    bool IsOnPatchTypePage() const;
    TWizardStage Stage() const;
    void NotifyStage();

    // ---- the run's objects and sinks (manager.cpp) ----
    // `parts`: TPatchParts bits. From `sourceFile` when it names an existing file (which then becomes
    // the patch file name), else from the running executable.
    bool LoadPatchResources(const std::string& sourceFile, int parts, bool showErrors);
    void ReportProgress(const std::string& message, int position, int maximum);
    // Appends to FullLog, then to DetailLog.
    void Log(const void* sender, const std::string& message);
    // Lists the servers and account sets of the installation in `directory`. A failure to read it is
    // shown and leaves both lists empty: false.
    bool ChangeInstallPath(const std::string& directory);

    // Next on the action page: the maker leaves the page and builds, the installer leaves the page and
    // installs; the wizard then moves on to the finish page (the maker only after a build that wrote
    // the patch). True when the run was made and succeeded.
    bool RunAction();

    // ---- the maker's build (manager_build.cpp) ----
    bool Build();
    // "Update.mdb" in ProgramDir filled from the selected account sets and added as an otProgram item;
    // the file is deleted afterwards in every case. A data file that cannot be made throws, naming it.
    bool GatherAccountSetData();
    // The program copied beside PatchFileName with the three resources, then renamed over it: a build
    // that fails leaves an existing patch file as it was.
    bool WritePatchExecutable();
    // Writes the three resources into `file`; false when the file cannot take resources.
    bool WritePatchResources(const std::string& file);

    // ---- the installer's checks and run (manager_install.cpp) ----
    bool CheckVersion(patch::TVersionCheckKind kind, const std::string& version);
    bool Install();
    // The installer's checks before any page shows, for the window and for a run without one: the
    // program version (a question for a patch that also carries account-set content), then the
    // running programs. False: the installer ends. The maker has none.
    bool StartupChecks();
    bool CloseRunningPrograms();
    // A shortage is shown and logged as a reminder; without `showMessage` it raises instead.
    bool CheckFreeMemory(int megabytes, bool showMessage);
    bool CheckFreeDisk(const std::string& drive, int megabytes, bool showMessage);
    // The drive of the installation folder first, then the memory.
    bool CheckDiskAndMemory();

    // ---- the install run (install_run.cpp) ----
    // Every selected account set from the package database the program files brought: backed up,
    // upgraded item by item, restored when a step fails (which ends the upgrade).
    bool UpgradeAccountSets();
    // A copy of the account set before it is changed; a failure is logged and the set is skipped.
    bool BackupAccountSet(const support::TInstanceRec& set, const std::string& workDir);
    // Puts the last backup back after the transfer object released the database.
    bool RestoreAccountSet(const support::TInstanceRec& set);
    // A table of the package copied into the account set by filter; raises the step's failure text.
    void TransferStep(patch::TKVParamNodeType nodeType, const support::TInstanceRec& set,
                      const std::string& tableName, const std::string& filter);
    // A statement on the account set; raises the step's failure text.
    void ScriptStep(patch::TKVParamNodeType nodeType, const support::TInstanceRec& set,
                    const std::string& caption, const std::string& statement);
    void ReportUpgradeProgress(patch::TKVParamNodeType nodeType, const std::string& name,
                               const std::string& text, int position, int maximum);
    void ReportRunProgress(const std::string& message, int position, int maximum);
    // User rights against the central catalogues, then the names of the upgraded account sets.
    void SyncProductConfig();
    // The organisation unit an account set's Sys_Accounts names by id, unit name or account-set name.
    bool MatchOrgUnit(db::Connection& connection, TOrgUnit& unit);
    // The outcome of each selected account set of the last install run, in Instances order.
    const std::vector<TAccountSetResult>& AccountSetResults() const { return accountSetResults_; }
    // Whether the last install run stamped the new versions.
    bool VersionsStamped() const { return versionsStamped_; }
    // The clock of the backup names; the system time unless set.
    std::function<std::time_t()> Now;

  private:
    TBaseFrame& PageOf(const TPageClass& pageClass);
    // InstallPath, or the program's folder when there is none.
    std::string WorkDirectory() const;
    // One step on an account set: its success line into FullLog, its failure raised as the step's
    // failure text (logged first when `logFailure`).
    void RunStep(patch::TKVParamNodeType nodeType, const support::TInstanceRec& set,
                 const std::string& object, const std::function<void()>& work, bool logFailure);
    // The steps of one account-set item on the account set in work.
    void UpgradeItem(patch::TInstResItem& item, const support::TInstanceRec& set, int position, int maximum);
    // A progress report of an account-set step, after the window had its turn.
    void ReportItemProgress(patch::TKVParamNodeType nodeType, const std::string& message, int position,
                            int maximum);

    TInteraction& interaction_;
    std::string exePath_;
    std::string invokedName_;
    platform::SystemFacts* system_;
    TPageHost* host_ = nullptr;

    std::vector<std::string> pageNames_;
    std::int32_t pageIndex_ = -1;
    std::unique_ptr<patch::TBaseParamInfo> paramInfo_;
    std::unique_ptr<patch::TResCollection> resItems_;
    std::unique_ptr<patch::TInstResCollection> instResItems_;
    std::vector<std::unique_ptr<TBaseFrame>> pageOwner_;
    TBaseFrame* currentPage_ = nullptr;
    std::unique_ptr<patch::TPatchVersion> patchVersion_;
    std::vector<std::string> fullLog_;
    std::vector<std::string> detailLog_;
    std::unique_ptr<TFileMng> fileMng_;

    // State of an install run, kept across its account sets.
    db::TDataExport* exporter_ = nullptr;
    std::string backupFile_;
    std::string backupLogFile_;
    std::vector<TAccountSetResult> accountSetResults_;
    bool versionsStamped_ = false;
};

}  // namespace kestrane::app
