// The installer's run of an account-set patch whose one table holds many rows: the package database
// extracted, the account set backed up, the table's rows replaced from the package, versions and
// rights left out (the patch asks for neither). Measured beside SQLite's own copy of the same rows
// into the same account set (delete, then INSERT ... SELECT through ATTACH, in one transaction) and
// SQLite's backup of it.
//
//   install_bench [--rows=N] [benchmark flags]
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "app/manager.h"
#include "app/scripted_interaction.h"
#include "db/connection.h"
#include "patch/component_stream.h"
#include "patch/inst_nodes.h"
#include "platform/resources.h"
#include "platform/system_facts.h"
#include "voucher_table.h"

namespace {

namespace fs = std::filesystem;
using kestrane::bench::JetString;
using kestrane::bench::kTable;
using kestrane::db::Connection;
using Clock = std::chrono::steady_clock;

long long gRows = 100000;
std::map<std::string, double> gSeconds;  // best time of each measured step

void Record(const std::string& name, double seconds) {
    auto [it, fresh] = gSeconds.emplace(name, seconds);
    if (!fresh && seconds < it->second) it->second = seconds;
}

fs::path WorkDir() {
    static const fs::path dir = kestrane::bench::MadeWorkDir("kestrane-install-bench");
    return dir;
}

kestrane::support::TInstanceRec AccountSetRec(const fs::path& file, const char* name) {
    kestrane::support::TInstanceRec set;
    set.DBName = file.stem().string();
    set.AccountName = name;
    set.DBInfo.DBType = kestrane::support::dbAccess;
    set.DBInfo.Server = file.parent_path().string();
    set.Selected = true;
    return set;
}

// The patch, made once by the maker from a source account set.
fs::path Patch() {
    static const fs::path file = [] {
        const fs::path source = WorkDir() / "maker" / "SRC01.mdb";
        kestrane::bench::MakeVoucherAccountSet(source, gRows);
        kestrane::app::TScriptedInteraction ui;
        kestrane::app::TManager maker{ui, kestrane::platform::RunningExecutable(), "Kestrane.exe"};
        auto& params = maker.ParamInfo();
        params.ProgramDir = (WorkDir() / "prog").string() + "/";
        fs::create_directories(params.ProgramDir);
        params.PatchType = kestrane::patch::ptInstance;
        params.NotCheckVersion = params.NotUpdateVersion = true;
        params.PatchFileName = (WorkDir() / "Patch.exe").string();
        params.Instances = {AccountSetRec(source, "来源账套")};
        auto& tables = *maker.InstResItems().FindByNodeType(kestrane::patch::pntTable);
        kestrane::patch::NewNodeTableItem(tables, {kTable, kTable, "", kTable, kestrane::patch::pntTable},
                                          kestrane::support::dbtMsSql);
        if (!maker.Build()) throw std::runtime_error("the patch was not built");
        // The site's configuration database: rights are synchronised (there are no servers to visit).
        fs::create_directories(WorkDir() / "site");
        kestrane::db::CreateJetDatabase(JetString(WorkDir() / "site" / "LumoConfig.mdb"));
        return fs::path(params.PatchFileName);
    }();
    return file;
}

// The site's account set before each run: a copy of a prepared one, so every run starts alike.
fs::path Target() {
    static const fs::path prepared = [] {
        const fs::path f = WorkDir() / "prepared" / "TGT01.mdb";
        kestrane::bench::MakeVoucherAccountSet(f, gRows);
        return f;
    }();
    const fs::path target = WorkDir() / "site" / "sets" / "TGT01.mdb";
    fs::create_directories(target.parent_path());
    fs::copy_file(prepared, target, fs::copy_options::overwrite_existing);
    std::error_code ec;
    fs::remove_all(WorkDir() / "site" / "BackUp", ec);
    return target;
}

// A machine with room to spare, no product programs running and no watcher service.
class QuietMachine : public kestrane::platform::SystemFacts {
  public:
    std::uint64_t FreeMemoryBytes() override { return std::uint64_t{1} << 40; }
    std::uint64_t FreeDiskBytes(const std::string&) override { return std::uint64_t{1} << 40; }
    std::string DriveOf(const std::string&) override { return "/"; }
    void ListProcesses(kestrane::platform::ProcessList& list) override { list.Clear(); }
    bool TerminateProcessById(kestrane::platform::ProcessId, std::string&) override { return true; }
    bool IsWatcherRunning() override { return false; }
    bool StopWatcher() override { return false; }
    bool StartWatcher() override { return false; }
};

void BM_Install(benchmark::State& state) {
    const fs::path patch = Patch();
    QuietMachine machine;
    for (auto _ : state) {
        const fs::path target = Target();
        kestrane::app::TScriptedInteraction ui;
        kestrane::app::TManager installer{ui, patch.string(), "Patch.exe", &machine};
        auto& params = installer.ParamInfo();
        params.InstallPath = (WorkDir() / "site").string() + "/";
        params.Instances = {AccountSetRec(target, "目标账套")};
        Clock::time_point backupStart{}, backupEnd{};
        params.OnProgress = [&](const void*, kestrane::patch::TKVParamNodeType, const std::string& message,
                                int, int) {
            if (message.find("正在备份账套") == 0) backupStart = Clock::now();
            if (backupEnd == Clock::time_point{} && message.find("正在升级账套") == 0)
                backupEnd = Clock::now();
        };
        const auto t0 = Clock::now();
        installer.Install();
        const double total = std::chrono::duration<double>(Clock::now() - t0).count();
        if (params.ResultFlags != kestrane::patch::rfCompleted)
            state.SkipWithError("the install did not complete");
        state.SetIterationTime(total);
        Record("install", total);
        Record("backup", std::chrono::duration<double>(backupEnd - backupStart).count());
    }
    state.counters["rows/s"] = benchmark::Counter(
        static_cast<double>(gRows) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// SQLite's own copy: the package's rows replace the account set's in one transaction.
void BM_SQLiteCopy(benchmark::State& state) {
    const fs::path source = WorkDir() / "maker" / "SRC01.mdb";
    Patch();
    for (auto _ : state) {
        const fs::path target = Target();
        const auto t0 = Clock::now();
        Connection c(JetString(target));
        c.Open();
        c.Execute("attach database '" + source.string() + "' as src");
        c.BeginTrans();
        c.Execute(std::string("delete from main.") + kTable);
        c.Execute(std::string("insert into main.") + kTable + " select * from src." + kTable);
        c.CommitTrans();
        c.Execute("detach database src");
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        Record("sqlite", s);
    }
}

// SQLite's backup API on the account set, as the installer's backup calls it.
void BM_SQLiteBackup(benchmark::State& state) {
    for (auto _ : state) {
        const fs::path target = Target();
        const fs::path copy = WorkDir() / "copy.mdb";
        std::error_code ec;
        fs::remove(copy, ec);
        const auto t0 = Clock::now();
        sqlite3 *from = nullptr, *to = nullptr;
        sqlite3_open_v2(target.c_str(), &from, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_open_v2(copy.c_str(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
        if (!b || sqlite3_backup_step(b, -1) != SQLITE_DONE) state.SkipWithError("backup failed");
        sqlite3_backup_finish(b);
        sqlite3_close(to);
        sqlite3_close(from);
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        Record("sqlite backup", s);
    }
}

void Summary() {
    for (const char* step : {"install", "sqlite", "sqlite backup"})
        if (!gSeconds.count(step)) return;
    const double rows = static_cast<double>(gRows);
    std::printf("\nSummary (best of the runs, %lld rows)\n", gRows);
    std::printf("  whole install                     %7.3f s %10.0f rows/s  %5.1f x SQLite's copy\n",
                gSeconds["install"], rows / gSeconds["install"], gSeconds["install"] / gSeconds["sqlite"]);
    std::printf("    of which the backup             %7.3f s\n", gSeconds["backup"]);
    std::printf("  SQLite delete + INSERT ... SELECT %7.3f s %10.0f rows/s\n", gSeconds["sqlite"],
                rows / gSeconds["sqlite"]);
    std::printf("  SQLite backup API                 %7.3f s  account set %.1f MB\n",
                gSeconds["sqlite backup"],
                static_cast<double>(fs::file_size(WorkDir() / "prepared" / "TGT01.mdb")) / 1e6);
}

}  // namespace

BENCHMARK(BM_Install)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_SQLiteCopy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_SQLiteBackup)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

int main(int argc, char** argv) {
    kestrane::patch::RegisterStreamClasses();
    return kestrane::bench::RunBenchmarks(argc, argv, gRows, Summary, WorkDir);
}
