// Table transfer between embedded account sets and the Jet transfer file, measured against SQLite's own
// INSERT INTO ... SELECT through ATTACH on the same rows, and the memory and time of a large copy.
//
//   transfer_bench [--rows=N] [--large=N] [--keep] [benchmark flags]
//
// --keep leaves the files of the run (account sets, Update.mdb) in place for a look with sqlite3.
// After the benchmarks a summary gives rows/s of each path, their ratio, the peak resident memory of
// the large copy and how far its time is from linear.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "db/connect.h"
#include "db/connection.h"
#include "db/data_export.h"
#include "db/odbc_driver.h"

namespace {

namespace fs = std::filesystem;
using kestrane::db::Connection;
using kestrane::db::TDataExport;
using kestrane::support::dbAccess;
using Clock = std::chrono::steady_clock;

constexpr const char* kTable = "Sys_BillTemplate";
// A definition table of twelve columns: integers, Chinese texts, a GUID, a decimal, a Boolean, a date,
// a blob, and columns that are null in some rows.
constexpr const char* kCreate =
    "create table Sys_BillTemplate (G_ID GUID, RwID LONG not null, ParentID LONG, StdCode varchar(50), "
    "StdName varchar(100), Descrip MEMO, Amount decimal(18,2), IsUsed BIT, Made DATETIME, Layout LONGBINARY, "
    "OrgID LONG, Remark varchar(255))";
constexpr const char* kFill =
    "with recursive n(i) as (select 1 union all select i + 1 from n where i < %lld) "
    "insert into Sys_BillTemplate select "
    "printf('{%%08X-%%04X-%%04X-%%04X-%%012X}', i, i %% 65536, (i * 7) %% 65536, (i * 13) %% 65536, "
    "(i * 2654435761) %% 281474976710656), "
    "i, case when i %% 5 = 0 then null else i / 10 end, printf('BT%%07d', i), '单据模板' || i || '号', "
    "case when i %% 11 = 0 then null else '说明：第' || i || '行的定义，含中文与数字 0012' end, "
    "(i %% 100000) / 100.0, i %% 2, datetime('2024-01-01', '+' || (i %% 1000) || ' days'), "
    "case when i %% 4 = 0 then null else randomblob(48) end, i %% 8, "
    "case when i %% 3 = 0 then null else '备注' || i end from n";

std::string JetString(const fs::path& file) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;data source=" + file.string() + ";Persist Security Info=False";
}

fs::path WorkDir() {
    static const fs::path dir = [] {
        std::string tmpl = (fs::temp_directory_path() / "kestrane-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        return fs::path(tmpl);
    }();
    return dir;
}

// An embedded account set holding `rows` rows of the definition table, made once per size.
fs::path AccountSet(long long rows) {
    static std::map<long long, fs::path> made;
    if (auto it = made.find(rows); it != made.end()) return it->second;
    const fs::path file = WorkDir() / ("Lumo_" + std::to_string(rows) + ".mdb");
    kestrane::db::CreateJetDatabase(JetString(file));
    Connection c(JetString(file));
    c.Open();
    c.Execute(kCreate);
    char fill[2048];
    std::snprintf(fill, sizeof fill, kFill, rows);
    c.Execute(fill);
    return made[rows] = file;
}

fs::path Fresh(const std::string& name) {
    const fs::path file = WorkDir() / name;
    std::error_code ec;
    fs::remove(file, ec);
    return file;
}

// Copies the table from one file to another through the transfer object; a Jet-kind target is the
// transfer file when `transferFile` is set, else an ordinary account set.
void Transfer(const fs::path& from, const fs::path& to, bool transferFile) {
    if (transferFile)
        TDataExport::CreateAccessDB(to.string());
    else
        kestrane::db::CreateJetDatabase(JetString(to));
    TDataExport ex;
    ex.SourceType = dbAccess;
    ex.TargetType = dbAccess;
    ex.SourceConnection().SetConnectionString(JetString(from));
    ex.TargetConnection()->SetConnectionString(JetString(to));
    ex.TransferTable(kTable, "");
}

// SQLite's own copy: the target attached to the source connection, table made with the source's DDL.
// A transfer-file target gets the transfer file's settings (no sync, journal in memory), so that both
// paths write with the same durability. Without a condition SQLite copies the stored records as they
// are; with the engine's own "where 1=1" it reads and writes every value, as any row-wise copy must.
void NativeCopy(const fs::path& from, const fs::path& to, bool transferFile, const std::string& where = "") {
    kestrane::db::CreateJetDatabase(JetString(to));
    Connection c(JetString(from));
    c.Open();
    c.Execute("attach database '" + to.string() + "' as dest");
    if (transferFile) {
        c.Execute("pragma dest.journal_mode=MEMORY");
        c.Execute("pragma dest.synchronous=OFF");
    }
    c.Execute(std::string(kCreate).replace(0, 13, "create table dest."));
    c.Execute(std::string("insert into dest.") + kTable + " select * from main." + kTable + where);
    c.Execute("detach database dest");
}

long long RowsIn(const fs::path& file) {
    Connection c(JetString(file));
    c.Open();
    return c.Execute(std::string("select count(*) from ") + kTable)->Value(0).AsInt64();
}

// Peak resident memory since the last reset, in kB.
long PeakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}
void ResetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

long long gRows = 100000;
bool gKeep = false;
long long gLargeRows = 1000000;
std::map<std::string, double> gSeconds;  // best time of each measured copy
long gLargePeakKb = -1;

void Record(const std::string& name, double seconds) {
    auto [it, fresh] = gSeconds.emplace(name, seconds);
    if (!fresh && seconds < it->second) it->second = seconds;
}

template <class Copy>
void Measure(benchmark::State& state, const std::string& name, long long rows, Copy copy) {
    for (auto _ : state) {
        const auto t0 = Clock::now();
        copy();
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        Record(name, s);
    }
    state.counters["rows/s"] = benchmark::Counter(
        static_cast<double>(rows) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TransferToUpdateMdb(benchmark::State& state) {
    const fs::path src = AccountSet(gRows);
    Measure(state, "engine: account set -> Update.mdb", gRows,
            [&] { Transfer(src, Fresh("Update.mdb"), true); });
    if (RowsIn(WorkDir() / "Update.mdb") != gRows) state.SkipWithError("row count differs");
}

void BM_TransferBackToAccountSet(benchmark::State& state) {
    const fs::path update = WorkDir() / "Update.mdb";
    if (!fs::exists(update)) Transfer(AccountSet(gRows), update, true);
    Measure(state, "engine: Update.mdb -> account set", gRows,
            [&] { Transfer(update, Fresh("Lumo_second.mdb"), false); });
    if (RowsIn(WorkDir() / "Lumo_second.mdb") != gRows) state.SkipWithError("row count differs");
}

void BM_NativeToUpdateMdb(benchmark::State& state) {
    const fs::path src = AccountSet(gRows);
    Measure(state, "sqlite: account set -> Update.mdb", gRows,
            [&] { NativeCopy(src, Fresh("Native_update.mdb"), true); });
}

void BM_NativeBackToAccountSet(benchmark::State& state) {
    const fs::path update = WorkDir() / "Native_update.mdb";
    if (!fs::exists(update)) NativeCopy(AccountSet(gRows), update, true);
    Measure(state, "sqlite: Update.mdb -> account set", gRows,
            [&] { NativeCopy(update, Fresh("Native_second.mdb"), false); });
}

void BM_NativeWhereToUpdateMdb(benchmark::State& state) {
    const fs::path src = AccountSet(gRows);
    Measure(state, "sqlite where 1=1: account set -> Update.mdb", gRows,
            [&] { NativeCopy(src, Fresh("Native_update_w.mdb"), true, " where 1=1"); });
}

void BM_NativeWhereBackToAccountSet(benchmark::State& state) {
    const fs::path update = WorkDir() / "Native_update_w.mdb";
    if (!fs::exists(update)) NativeCopy(AccountSet(gRows), update, true, " where 1=1");
    Measure(state, "sqlite where 1=1: Update.mdb -> account set", gRows,
            [&] { NativeCopy(update, Fresh("Native_second_w.mdb"), false, " where 1=1"); });
}

constexpr const char* kSqliteOdbc = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
long long gOdbcRows = 10000;

// The transfer file into a "SQL Server" account set that is an SQLite file reached through the SQLite
// ODBC driver: the engine's SQL Server path with a real ODBC driver underneath. The table is there
// already, as in an installed account set (SQLite would not take SQL Server's "default NEWID()").
void OdbcTransfer(const fs::path& from, const fs::path& to) {
    kestrane::db::CreateJetDatabase(JetString(to));
    {
        Connection c(JetString(to));
        c.Open();
        c.Execute(kCreate);
    }
    setenv(kestrane::db::kEnvOdbcMsSqlDriver, kSqliteOdbc, 1);
    kestrane::support::TDBInfoRec srv;
    srv.Server = "localhost";
    srv.User = "sa";
    srv.Password = "pw";
    TDataExport ex;
    ex.SourceType = dbAccess;
    ex.TargetType = kestrane::support::dbtMsSql;
    ex.SourceConnection().SetConnectionString(JetString(from));
    ex.TargetConnection()->SetConnectionString(kestrane::db::BuildConnectionString(srv, to.string()));
    ex.TransferTable(kTable, "");
}

void BM_OdbcTarget(benchmark::State& state) {
    if (!fs::exists(kSqliteOdbc)) {
        state.SkipWithError("SQLite ODBC driver not installed");
        return;
    }
    const fs::path update = WorkDir() / "Update_odbc.mdb";
    if (!fs::exists(update)) Transfer(AccountSet(gOdbcRows), update, true);
    Measure(state, "engine: Update.mdb -> ODBC", gOdbcRows,
            [&] { OdbcTransfer(update, Fresh("Odbc_target.db")); });
    if (RowsIn(WorkDir() / "Odbc_target.db") != gOdbcRows) state.SkipWithError("row count differs");
}

void BM_TransferSmall(benchmark::State& state) {
    const fs::path src = AccountSet(10000);
    Measure(state, "engine: 10000 rows", 10000, [&] { Transfer(src, Fresh("Update_small.mdb"), true); });
}

void BM_TransferLarge(benchmark::State& state) {
    const fs::path src = AccountSet(gLargeRows);
    for (auto _ : state) {
        const fs::path to = Fresh("Update_large.mdb");
        ResetPeakRss();
        const auto t0 = Clock::now();
        Transfer(src, to, true);
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        Record("engine: large table", s);
        gLargePeakKb = PeakRssKb();
        fs::remove(to);
    }
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(gLargeRows) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["peak_rss_MB"] = static_cast<double>(gLargePeakKb) / 1024.0;
}

void Summary() {
    auto rate = [](const std::string& name, long long rows) {
        auto it = gSeconds.find(name);
        return it == gSeconds.end() ? 0.0 : static_cast<double>(rows) / it->second;
    };
    std::printf("\nSummary (best of the runs, %lld rows)\n", gRows);
    const char* hops[][3] = {{"engine: account set -> Update.mdb", "sqlite: account set -> Update.mdb",
                              "sqlite where 1=1: account set -> Update.mdb"},
                             {"engine: Update.mdb -> account set", "sqlite: Update.mdb -> account set",
                              "sqlite where 1=1: Update.mdb -> account set"}};
    for (const auto& hop : hops) {
        const double e = rate(hop[0], gRows), n = rate(hop[1], gRows), w = rate(hop[2], gRows);
        std::printf("  %-44s %10.0f rows/s\n", hop[0], e);
        std::printf("  %-44s %10.0f rows/s   ratio %.2f (target >= 0.50)\n", hop[1], n, n > 0 ? e / n : 0.0);
        std::printf("  %-44s %10.0f rows/s   ratio %.2f\n", hop[2], w, w > 0 ? e / w : 0.0);
    }
    if (const double o = rate("engine: Update.mdb -> ODBC", gOdbcRows); o > 0)
        std::printf("  %-44s %10.0f rows/s (%lld rows)\n", "engine: Update.mdb -> ODBC", o, gOdbcRows);
    if (gSeconds.count("engine: large table") && gSeconds.count("engine: 10000 rows")) {
        const double small = gSeconds["engine: 10000 rows"], large = gSeconds["engine: large table"];
        const double linear = small * static_cast<double>(gLargeRows) / 10000.0;
        std::printf("  %lld rows: %.2f s, linear from 10000 rows %.2f s, factor %.2f (target <= 1.20)\n",
                    gLargeRows, large, linear, large / linear);
        std::printf("  peak resident memory during the large copy: %.1f MB (target < 100)\n",
                    static_cast<double>(gLargePeakKb) / 1024.0);
    }
}

}  // namespace

BENCHMARK(BM_TransferToUpdateMdb)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_TransferBackToAccountSet)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_NativeToUpdateMdb)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_NativeBackToAccountSet)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_NativeWhereToUpdateMdb)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_NativeWhereBackToAccountSet)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_OdbcTarget)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_TransferSmall)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_TransferLarge)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv) {
    // Own flags first; the rest go to the benchmark library.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--rows=", 0) == 0)
            gRows = std::atoll(a.c_str() + 7);
        else if (a.rfind("--large=", 0) == 0)
            gLargeRows = std::atoll(a.c_str() + 8);
        else if (a.rfind("--odbc-rows=", 0) == 0)
            gOdbcRows = std::atoll(a.c_str() + 12);
        else if (a == "--keep")
            gKeep = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Summary();
    if (gKeep) {
        std::printf("  files kept in %s\n", WorkDir().c_str());
    } else {
        std::error_code ec;
        fs::remove_all(WorkDir(), ec);
    }
    return 0;
}
