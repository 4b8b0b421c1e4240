// install: installs a patch without a window, exactly as the installer's wizard does: the start-up
// checks, the same manager and page rules walked from the welcome page to the finish page, the install
// run with its progress on standard error, then the full log and the outcome.
//
// Questions are answered OK with --yes and Cancel without it; the output names the question that
// stopped the run. The account sets are chosen with --sets or --all-sets (an installation with one
// takes it), organisation units with --org, else the unit an account set names is kept.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/headless_pages.h"
#include "app/inst_select_model.h"
#include "app/install_pages.h"
#include "app/manager.h"
#include "app/scripted_interaction.h"
#include "app/texts.h"
#include "cli.h"
#include "patch/component_stream.h"
#include "patch/res_items.h"
#include "platform/file_system.h"
#include "progress.h"
#include "support/text.h"

namespace kestrane::cli {
namespace {

using nlohmann::ordered_json;
using Kind = app::TScriptedInteraction::Kind;

struct InstallArgs {
    std::string patch;
    std::string installDir;
    std::string sets;
    bool allSets = false;
    std::vector<std::string> orgs;
    bool yes = false;
};

[[noreturn]] void Bad(const std::string& key, const std::string& what) {
    throw CLI::ValidationError(key, what);
}

// What ended the run before it could finish: a question answered Cancel, a page's refusal, an error.
struct Stop {
    std::string kind;  // "question", "refusal", "error", "version"
    std::string text;
};

const char* OutcomeName(app::TAccountSetOutcome outcome) {
    switch (outcome) {
        case app::TAccountSetOutcome::NotReached:
            return "not-reached";
        case app::TAccountSetOutcome::Upgraded:
            return "upgraded";
        case app::TAccountSetOutcome::BackupFailed:
            return "skipped-backup-failed";
        case app::TAccountSetOutcome::Restored:
            return "failed-restored";
        case app::TAccountSetOutcome::RestoreFailed:
            return "failed-restore-failed";
        case app::TAccountSetOutcome::NotRestored:
            return "failed-not-restored";
    }
    return "not-reached";
}

const char* KindName(support::TKVDataBaseType kind) {
    switch (kind) {
        case support::dbtMsSql:
            return "mssql";
        case support::dbtOracle:
            return "oracle";
        case support::dbAccess:
            return "embedded";
    }
    return "unknown";
}

const char* PatchTypeName(patch::TKVPatchType type) {
    static const char* const names[] = {"ptNone", "ptProgram", "ptInstance", "ptBoth"};
    return type <= patch::ptBoth ? names[type] : "ptNone";
}

class InstallRun {
  public:
    InstallRun(const InstallArgs& args, ProgressView& progress) : args_(args), progress_(progress) {
        ui_.DefaultAnswer = args.yes;
    }

    // The outcome as printed with --json; `exitCode` 0 completed, 1 failed or stopped.
    ordered_json Run(int& exitCode) {
        if (!platform::FileExists(args_.patch)) Bad("PATCH", "no such file: " + args_.patch);
        for (const std::string& org : args_.orgs) {
            const auto eq = org.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == org.size())
                Bad("--org", "must be DBNAME=STDCODE: " + org);
            orgs_.emplace_back(org.substr(0, eq), org.substr(eq + 1));
        }
        if (!args_.installDir.empty() && !platform::DirectoryExists(args_.installDir))
            Bad("--install-dir", "no such folder: " + args_.installDir);

        try {
            // Always the installer, whatever the patch file is called.
            manager_ = std::make_unique<app::TManager>(ui_, args_.patch, app::texts::kDefaultPatchFile);
        } catch (const std::exception& e) {
            stop_ = Stop{"error", e.what()};
        }
        if (manager_) Walk();
        return Report(exitCode);
    }

  private:
    void Walk() {
        app::TManager& m = *manager_;
        auto& params = m.ParamInfo();
        if (m.PageCount() == 0) {
            const auto notices = ui_.Texts(Kind::Notice);
            Bad("PATCH", "carries no patch" + (notices.empty() ? std::string() : ": " + notices.back()));
        }
        CheckChoices();
        if (!args_.installDir.empty() && !m.ChangeInstallPath(platform::IncludeTrailingPathDelimiter(
                                             std::filesystem::absolute(args_.installDir).string()))) {
            stop_ = Stop{"error", LastMessage()};
            return;
        }
        params.OnProgress = progress_.Callback();
        if (!m.StartupChecks()) {
            stop_ = Declined() ? Stop{"question", Declined()->text}
                    : ui_.Texts(Kind::Notice).empty()
                        ? Stop{"version", "the installed program's version is not one this patch applies to"}
                        : Stop{"refusal", LastMessage()};
            return;
        }
        try {
            m.Start();
            for (int steps = 0; m.Stage() != app::wsAction; ++steps) {
                if (steps > 2 * m.PageCount())
                    throw std::logic_error("the wizard does not reach its action page");
                if (auto* select = dynamic_cast<app::TInstSelectModel*>(m.CurrentPage())) Choose(*select);
                if (auto* org = dynamic_cast<app::TInstallInitModel*>(m.CurrentPage())) {
                    CheckOrgsChosen();
                    Choose(*org);
                }
                const auto index = m.PageIndex();
                m.NextPage();
                if (m.PageIndex() == index) {
                    stop_ = Declined() ? Stop{"question", Declined()->text} : Stop{"refusal", LastMessage()};
                    return;
                }
            }
            CheckOrgsChosen();
            installed_ = true;
            m.RunAction();
        } catch (const CLI::Error&) {
            throw;
        } catch (const std::exception& e) {
            stop_ = Stop{"error", e.what()};
            return;
        }
        // A question answered Cancel during the run ended it.
        if (const auto* declined = Declined()) stop_ = Stop{"question", declined->text};
    }

    // --sets names account sets of the installation; account-set options need an account-set patch.
    void CheckChoices() {
        const auto& params = manager_->ParamInfo();
        const bool instance = params.PatchType == patch::ptInstance || params.PatchType == patch::ptBoth;
        if (!instance && (!args_.sets.empty() || args_.allSets || !orgs_.empty()))
            Bad(args_.sets.empty() && !args_.allSets ? "--org" : "--sets",
                "a program patch installs into no account set");
        if (args_.sets.empty()) return;
        for (const std::string& name : support::Split(args_.sets, ',')) {
            const std::string set = support::Trim(name);
            if (set.empty()) continue;
            sets_.push_back(set);
        }
    }

    void CheckSetsExist() {
        const auto& instances = manager_->ParamInfo().Instances;
        std::string names;
        for (const auto& inst : instances) names += (names.empty() ? "" : ", ") + inst.DBName;
        for (const std::string& set : sets_)
            if (std::none_of(instances.begin(), instances.end(),
                             [&](const auto& i) { return i.DBName == set; }))
                Bad("--sets",
                    "no account set " + set + " in the installation" +
                        (names.empty() ? std::string(" (it has none)") : " (it has " + names + ")"));
        if (sets_.empty() && !args_.allSets && instances.size() > 1)
            Bad("--sets", "--sets or --all-sets is required: the installation has " + names);
    }

    // --org names chosen account sets only: a unit for any other would be dropped unseen.
    void CheckOrgsChosen() const {
        const auto& instances = manager_->ParamInfo().Instances;
        std::string chosen;
        for (const auto& inst : instances)
            if (inst.Selected) chosen += (chosen.empty() ? "" : ", ") + inst.DBName;
        for (const auto& [dbName, code] : orgs_)
            if (std::none_of(instances.begin(), instances.end(),
                             [&](const auto& i) { return i.Selected && i.DBName == dbName; }))
                Bad("--org", "the account set " + dbName + " is not among the chosen ones" +
                                 (chosen.empty() ? std::string(" (none is chosen)") : " (" + chosen + ")"));
    }

    void Choose(app::TInstSelectModel& select) {
        CheckSetsExist();
        if (sets_.empty() && !args_.allSets) return;
        for (app::TInstRow& row : select.lvInstance)
            row.Checked = args_.allSets || std::find(sets_.begin(), sets_.end(), row.DBName) != sets_.end();
    }

    void Choose(app::TInstallInitModel& org) {
        for (app::TOrgUnitRow& row : org.Rows) {
            if (!row.Combo.Visible) continue;
            for (const auto& [dbName, code] : orgs_)
                if (dbName == row.DBName && !app::TInstallInitModel::SelectOrgUnit(row.Combo, code))
                    Bad("--org", "the account set " + dbName + " has no organisation unit " + code);
        }
    }

    const app::TScriptedInteraction::Call* Declined() const {
        for (const auto& call : ui_.Calls)
            if (call.kind == Kind::Confirm && !call.answer) return &call;
        return nullptr;
    }
    std::string LastMessage() const {
        for (auto it = ui_.Calls.rbegin(); it != ui_.Calls.rend(); ++it)
            if (it->kind == Kind::Notice || it->kind == Kind::Error) return it->text;
        return "the wizard stopped";
    }

    ordered_json Report(int& exitCode) const {
        ordered_json out;
        const patch::TBaseParamInfo* params = manager_ ? &manager_->ParamInfo() : nullptr;
        const std::uint8_t flags = installed_ && params ? params->ResultFlags : 0;
        const bool failed = (flags & patch::rfFailed) != 0;
        const bool completed = installed_ && !failed && (flags & patch::rfCompleted) != 0;
        // The layout of this object; raised when a field changes its meaning or goes.
        out["format"] = "kestrane-install/1";
        out["patch"] = std::filesystem::absolute(args_.patch).lexically_normal().string();
        out["patchType"] = PatchTypeName(params ? params->PatchType : patch::ptNone);
        out["installDir"] = params ? params->InstallPath : "";
        out["outcome"] = !installed_ ? "stopped" : failed ? "failed" : "completed";
        out["flags"] = flags;
        out["completed"] = completed;
        out["failed"] = failed;
        out["reminders"] = (flags & patch::rfReminders) != 0;
        out["stoppedBy"] =
            stop_ ? ordered_json{{"kind", stop_->kind}, {"text", stop_->text}} : ordered_json();
        out["versionsStamped"] = manager_ && manager_->VersionsStamped();
        out["restoreProgramStarted"] = ui_.QuitRequested;

        ordered_json sets = ordered_json::array();
        if (params) {
            const auto& results = manager_->AccountSetResults();
            for (std::size_t i = 0; i < params->Instances.size(); ++i) {
                const support::TInstanceRec& inst = params->Instances[i];
                const auto result =
                    std::find_if(results.begin(), results.end(),
                                 [&](const app::TAccountSetResult& r) { return r.Index == i; });
                ordered_json set;
                set["dbName"] = inst.DBName;
                set["accountName"] = inst.AccountName;
                set["version"] = inst.Version;
                set["server"] = {{"kind", KindName(inst.DBInfo.DBType)},
                                 {"server", inst.DBInfo.Server},
                                 {"port", inst.DBInfo.Port},
                                 {"sid", inst.DBInfo.SID}};
                set["selected"] = inst.Selected;
                set["outcome"] = !inst.Selected            ? "not-selected"
                                 : result == results.end() ? "not-reached"
                                                           : OutcomeName(result->Outcome);
                set["message"] = result == results.end() || result->Message.empty()
                                     ? ordered_json()
                                     : ordered_json(result->Message);
                set["backupFile"] = result == results.end() || result->BackupFile.empty()
                                        ? ordered_json()
                                        : ordered_json(result->BackupFile);
                sets.push_back(std::move(set));
            }
        }
        out["accountSets"] = std::move(sets);

        ordered_json questions = ordered_json::array(), notices = ordered_json::array();
        for (const auto& call : ui_.Calls) {
            if (call.kind == Kind::Confirm)
                questions.push_back({{"text", call.text}, {"answer", call.answer}});
            if (call.kind == Kind::Notice || call.kind == Kind::Error) notices.push_back(call.text);
        }
        out["questions"] = std::move(questions);
        out["notices"] = std::move(notices);
        out["log"] = manager_ ? ordered_json(manager_->FullLog()) : ordered_json::array();
        out["detailLog"] = manager_ ? ordered_json(manager_->DetailLog()) : ordered_json::array();
        exitCode = completed ? 0 : 1;
        out["exitCode"] = exitCode;
        return out;
    }

    const InstallArgs& args_;
    ProgressView& progress_;
    app::TScriptedInteraction ui_;
    std::unique_ptr<app::TManager> manager_;
    std::vector<std::string> sets_;
    std::vector<std::pair<std::string, std::string>> orgs_;
    std::optional<Stop> stop_;
    bool installed_ = false;
};

void PrintText(const ordered_json& r) {
    for (const auto& line : r["log"]) std::cout << line.get<std::string>() << '\n';
    std::cout << "outcome: " << r["outcome"].get<std::string>() << " (flags " << r["flags"].get<int>()
              << ")\n";
    if (!r["stoppedBy"].is_null())
        std::cout << "stopped by the " << r["stoppedBy"]["kind"].get<std::string>() << ": "
                  << r["stoppedBy"]["text"].get<std::string>() << '\n';
    for (const auto& set : r["accountSets"]) {
        if (!set["selected"].get<bool>()) continue;
        std::cout << "account set " << set["dbName"].get<std::string>() << " ("
                  << set["accountName"].get<std::string>() << "): " << set["outcome"].get<std::string>();
        if (!set["backupFile"].is_null()) std::cout << ", backup " << set["backupFile"].get<std::string>();
        std::cout << '\n';
    }
}

const CommandGroup installCommand([](CLI::App& app, const Options& options) {
    auto args = std::make_shared<InstallArgs>();
    auto* cmd =
        app.add_subcommand("install", "install a patch as the installer's wizard does, without a window");
    cmd->add_option("PATCH", args->patch, "the patch executable")->required();
    cmd->add_option("--install-dir", args->installDir,
                    "the product's installation folder (else the registry's)");
    auto* sets =
        cmd->add_option("--sets", args->sets, "the account sets to upgrade, by database name: DB1,DB2");
    cmd->add_flag("--all-sets", args->allSets, "upgrade every account set of the installation")
        ->excludes(sets);
    cmd->add_option("--org", args->orgs,
                    "the organisation unit of an account set: DBNAME=STDCODE (repeatable)");
    cmd->add_flag("--yes", args->yes, "answer OK to every question (else Cancel)");
    cmd->callback([&options, args] {
        patch::RegisterStreamClasses();
        const app::TScopedHeadlessPages pages;
        int exitCode = 1;
        ordered_json report;
        {
            ProgressView progress(options);
            report = InstallRun(*args, progress).Run(exitCode);
        }
        Emit(options, report, [&] { PrintText(report); });
        if (exitCode != 0) {
            const std::string why = report["stoppedBy"].is_null()
                                        ? "the install " + report["outcome"].get<std::string>()
                                        : "stopped by the " + report["stoppedBy"]["kind"].get<std::string>() +
                                              ": " + report["stoppedBy"]["text"].get<std::string>();
            throw CommandFailed(why);
        }
    });
});

}  // namespace
}  // namespace kestrane::cli
