// The maker's build of an account-set patch whose one table holds many rows: the rows gathered from an
// embedded account set into "Update.mdb" and the patch written (program copied, every item compressed
// into the resources), measured beside SQLite's own copy of the same rows (INSERT ... SELECT through
// ATTACH into a file with the data file's settings).
//
//   build_bench [--rows=N] [benchmark flags]
#include <benchmark/benchmark.h>
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
#include "voucher_table.h"

namespace {

namespace fs = std::filesystem;
using kestrane::bench::JetString;
using kestrane::bench::kCreate;
using kestrane::bench::kTable;
using kestrane::db::Connection;
using Clock = std::chrono::steady_clock;

long long gRows = 100000;
std::map<std::string, double> gSeconds;  // best time of each measured step

fs::path WorkDir() {
    static const fs::path dir = kestrane::bench::MadeWorkDir("kestrane-build-bench");
    return dir;
}

// The source account set: the table, and the two tables every gathering copies.
fs::path AccountSet() {
    static const fs::path file = [] {
        const fs::path f = WorkDir() / "sets" / "SRC01.mdb";
        kestrane::bench::MakeVoucherAccountSet(f, gRows);
        return f;
    }();
    return file;
}

void Record(const std::string& name, double seconds) {
    auto [it, fresh] = gSeconds.emplace(name, seconds);
    if (!fresh && seconds < it->second) it->second = seconds;
}

// A maker whose account-set patch carries the whole table, written as a copy of this program.
struct Maker {
    kestrane::app::TScriptedInteraction ui;  // answers OK to overwriting the last run's patch
    kestrane::app::TManager manager{ui, kestrane::platform::RunningExecutable(), "Kestrane.exe"};

    Maker() {
        auto& params = manager.ParamInfo();
        params.ProgramDir = (WorkDir() / "prog").string() + "/";
        fs::create_directories(params.ProgramDir);
        params.PatchType = kestrane::patch::ptInstance;
        params.NotCheckVersion = params.NotUpdateVersion = true;
        params.PatchFileName = (WorkDir() / "Patch.exe").string();
        kestrane::support::TInstanceRec source;
        source.DBName = "SRC01";
        source.AccountName = "基准账套";
        source.DBInfo.DBType = kestrane::support::dbAccess;
        source.DBInfo.Server = AccountSet().parent_path().string();
        source.Selected = true;
        params.Instances = {source};
        auto& tables = *manager.InstResItems().FindByNodeType(kestrane::patch::pntTable);
        kestrane::patch::NewNodeTableItem(tables, {kTable, kTable, "", kTable, kestrane::patch::pntTable},
                                          kestrane::support::dbtMsSql);
    }
};

void BM_GatherAndWritePatch(benchmark::State& state) {
    AccountSet();
    for (auto _ : state) {
        Maker maker;  // a fresh run: the data file item is made again
        const auto t0 = Clock::now();
        if (!maker.manager.GatherAccountSetData()) state.SkipWithError("gathering refused");
        const auto t1 = Clock::now();
        maker.manager.WritePatchExecutable();
        const auto t2 = Clock::now();
        const double gather = std::chrono::duration<double>(t1 - t0).count();
        const double total = std::chrono::duration<double>(t2 - t0).count();
        state.SetIterationTime(total);
        Record("gather", gather);
        Record("build", total);
        Record("write", std::chrono::duration<double>(t2 - t1).count());
    }
    state.counters["rows/s"] = benchmark::Counter(
        static_cast<double>(gRows) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// SQLite's own copy into a file with the data file's settings (no sync, journal in memory). Without a
// condition SQLite moves the stored records as they are; with the engine's "where 1=1" it reads and
// writes every value, as a row-wise copy must.
void SQLiteCopy(benchmark::State& state, const std::string& name, const std::string& where) {
    const fs::path source = AccountSet();
    for (auto _ : state) {
        const fs::path target = WorkDir() / "Native.mdb";
        std::error_code ec;
        fs::remove(target, ec);
        const auto t0 = Clock::now();
        kestrane::db::CreateJetDatabase(JetString(target));
        Connection c(JetString(source));
        c.Open();
        c.Execute("attach database '" + target.string() + "' as dest");
        c.Execute("pragma dest.journal_mode=MEMORY");
        c.Execute("pragma dest.synchronous=OFF");
        c.Execute(std::string(kCreate).replace(0, 13, "create table dest."));
        c.Execute(std::string("insert into dest.") + kTable + " select * from main." + kTable + where);
        c.Execute("detach database dest");
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        Record(name, s);
    }
    state.counters["rows/s"] = benchmark::Counter(
        static_cast<double>(gRows) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_SQLiteCopy(benchmark::State& state) {
    SQLiteCopy(state, "sqlite", "");
}

void BM_SQLiteCopyWhere(benchmark::State& state) {
    SQLiteCopy(state, "sqlite where", " where 1=1");
}

void Summary() {
    for (const char* step : {"build", "sqlite", "sqlite where"})
        if (!gSeconds.count(step)) return;
    const double rows = static_cast<double>(gRows);
    const double where = gSeconds["sqlite where"];
    std::printf("\nSummary (best of the runs, %lld rows)\n", gRows);
    std::printf(
        "  gathered into Update.mdb            %7.3f s %10.0f rows/s  %5.1f x SQLite's row-wise copy\n",
        gSeconds["gather"], rows / gSeconds["gather"], gSeconds["gather"] / where);
    std::printf("  patch written (copy, compress)      %7.3f s  patch %.1f MB\n", gSeconds["write"],
                static_cast<double>(fs::file_size(WorkDir() / "Patch.exe")) / 1e6);
    std::printf("  whole build                         %7.3f s %10.0f rows/s\n", gSeconds["build"],
                rows / gSeconds["build"]);
    std::printf("  SQLite INSERT ... SELECT            %7.3f s %10.0f rows/s\n", gSeconds["sqlite"],
                rows / gSeconds["sqlite"]);
    std::printf("  SQLite INSERT ... SELECT where 1=1  %7.3f s %10.0f rows/s\n", where, rows / where);
}

}  // namespace

BENCHMARK(BM_GatherAndWritePatch)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_SQLiteCopy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_SQLiteCopyWhere)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

int main(int argc, char** argv) {
    kestrane::patch::RegisterStreamClasses();
    return kestrane::bench::RunBenchmarks(argc, argv, gRows, Summary, WorkDir);
}
