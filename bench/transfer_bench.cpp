// Table transfer between embedded account sets and the Jet transfer file, set-based and row by row,
// measured against SQLite's own INSERT INTO ... SELECT through ATTACH on the same rows; the copy into a
// "SQL Server" account set through the SQLite ODBC driver; the memory and time of a large copy.
//
//   transfer_bench [--rows=N] [--odbc-rows=N] [--large=N] [--keep] [benchmark flags]
//
// --keep leaves the files of the run (account sets, Update.mdb) in place for a look with sqlite3.
// After the benchmarks a summary gives rows/s of each path, their ratios, the peak resident memory of
// the large copies and how far their time is from linear.
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
    return kestrane::db::JetConnectionString(file.string()) + ";Persist Security Info=False";
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

// A new Jet-kind file: the transfer file's kind when `transferFile` is set, else an ordinary account set.
void NewFile(const fs::path& to, bool transferFile) {
    if (transferFile)
        TDataExport::CreateAccessDB(to.string());
    else
        kestrane::db::CreateJetDatabase(JetString(to));
}

// Copies the table from one file to another through the transfer object, set-based or row by row.
void Transfer(const fs::path& from, const fs::path& to, bool transferFile, bool setBased,
              const std::string& filter = "") {
    NewFile(to, transferFile);
    TDataExport ex;
    ex.SourceType = dbAccess;
    ex.TargetType = dbAccess;
    ex.SetBasedCopy = setBased;
    ex.SourceConnection().SetConnectionString(JetString(from));
    ex.TargetConnection()->SetConnectionString(JetString(to));
    ex.TransferTable(kTable, filter);
    if (setBased && ex.LastCopyPath != TDataExport::TCopyPath::SetBased)
        throw std::runtime_error("the copy went row by row");
}

// SQLite's own copy on the same rows: the target attached to the source connection, and one INSERT ...
// SELECT. With `engineTable` the table is the one the engine creates (its side table too, made before
// the clock starts) and the select carries the engine's "where 1=1", so that SQLite reads and writes
// every value as any converting copy must; without it the table has the source's own text and SQLite
// may copy the stored records as they are. A transfer-file target gets the transfer file's settings.
double NativeCopy(const fs::path& from, const fs::path& to, bool transferFile, bool engineTable) {
    NewFile(to, transferFile);
    if (engineTable) {
        TDataExport ex;
        ex.SourceType = ex.TargetType = dbAccess;
        ex.SourceConnection().SetConnectionString(JetString(from));
        ex.TargetConnection()->SetConnectionString(JetString(to));
        ex.TransferTable(kTable, " and 1<>1 ");
    }
    const auto t0 = Clock::now();
    Connection c(JetString(from));
    c.Open();
    c.Execute("attach database '" + to.string() + "' as dest");
    if (transferFile) {
        c.Execute("pragma dest.journal_mode=MEMORY");
        c.Execute("pragma dest.synchronous=OFF");
        c.Execute("pragma dest.cache_size=-16384");
    }
    if (!engineTable) {
        // The source's own table text, so that SQLite may copy its records as they are.
        const std::string sql =
            c.Execute(std::string("select sql from sqlite_master where name = '") + kTable + "'")
                ->Value(0)
                .AsString();
        c.Execute("create table dest." + sql.substr(sql.find(kTable)));
    }
    c.Execute("begin");
    c.Execute(std::string("insert into dest.") + kTable + " select * from main." + kTable +
              (engineTable ? " where 1=1" : ""));
    c.Execute("commit");
    c.Execute("detach database dest");
    return std::chrono::duration<double>(Clock::now() - t0).count();
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
long long gOdbcRows = 10000;
long long gLargeRows = 1000000;
std::map<std::string, double> gSeconds;  // best time of each measured copy
std::map<std::string, long> gPeakKb;     // peak memory of the large copies

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

// The source of the installer's direction: a transfer file made once by the engine.
fs::path UpdateMdb() {
    const fs::path update = WorkDir() / "Update.mdb";
    if (!fs::exists(update)) Transfer(AccountSet(gRows), update, true, true);
    return update;
}

void CheckRows(benchmark::State& state, const fs::path& file, long long rows) {
    if (RowsIn(file) != rows) state.SkipWithError("row count differs");
}

void BM_ToUpdateMdb(benchmark::State& state) {
    const bool setBased = state.range(0) != 0;
    const std::string name =
        std::string(setBased ? "engine set" : "engine rows") + ": account set -> Update.mdb";
    Measure(state, name, gRows,
            [&] { Transfer(AccountSet(gRows), Fresh("Update_out.mdb"), true, setBased); });
    CheckRows(state, WorkDir() / "Update_out.mdb", gRows);
}

void BM_BackToAccountSet(benchmark::State& state) {
    const bool setBased = state.range(0) != 0;
    const std::string name =
        std::string(setBased ? "engine set" : "engine rows") + ": Update.mdb -> account set";
    Measure(state, name, gRows, [&] { Transfer(UpdateMdb(), Fresh("Lumo_second.mdb"), false, setBased); });
    CheckRows(state, WorkDir() / "Lumo_second.mdb", gRows);
}

void BM_NativeToUpdateMdb(benchmark::State& state) {
    const bool engineTable = state.range(0) != 0;
    const std::string name =
        std::string(engineTable ? "sqlite" : "sqlite raw") + ": account set -> Update.mdb";
    for (auto _ : state) {
        const double s = NativeCopy(AccountSet(gRows), Fresh("Native_update.mdb"), true, engineTable);
        state.SetIterationTime(s);
        Record(name, s);
    }
    CheckRows(state, WorkDir() / "Native_update.mdb", gRows);
}

void BM_NativeBackToAccountSet(benchmark::State& state) {
    const bool engineTable = state.range(0) != 0;
    const std::string name =
        std::string(engineTable ? "sqlite" : "sqlite raw") + ": Update.mdb -> account set";
    for (auto _ : state) {
        const double s = NativeCopy(UpdateMdb(), Fresh("Native_second.mdb"), false, engineTable);
        state.SetIterationTime(s);
        Record(name, s);
    }
    CheckRows(state, WorkDir() / "Native_second.mdb", gRows);
}

constexpr const char* kSqliteOdbc = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

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
    if (!fs::exists(update)) Transfer(AccountSet(gOdbcRows), update, true, true);
    Measure(state, "engine: Update.mdb -> ODBC", gOdbcRows,
            [&] { OdbcTransfer(update, Fresh("Odbc_target.db")); });
    CheckRows(state, WorkDir() / "Odbc_target.db", gOdbcRows);
}

void BM_Small(benchmark::State& state) {
    const bool setBased = state.range(0) != 0;
    const std::string name = std::string(setBased ? "engine set" : "engine rows") + ": 10000 rows";
    Measure(state, name, 10000,
            [&] { Transfer(AccountSet(10000), Fresh("Update_small.mdb"), true, setBased); });
}

void BM_Large(benchmark::State& state) {
    const bool setBased = state.range(0) != 0;
    const std::string name = std::string(setBased ? "engine set" : "engine rows") + ": large table";
    const fs::path src = AccountSet(gLargeRows);
    for (auto _ : state) {
        const fs::path to = Fresh("Update_large.mdb");
        ResetPeakRss();
        const auto t0 = Clock::now();
        Transfer(src, to, true, setBased);
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        Record(name, s);
        gPeakKb[name] = PeakRssKb();
        CheckRows(state, to, gLargeRows);
        fs::remove(to);
    }
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(gLargeRows) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["peak_rss_MB"] = static_cast<double>(gPeakKb[name]) / 1024.0;
}

void Summary() {
    auto rate = [](const std::string& name, long long rows) {
        auto it = gSeconds.find(name);
        return it == gSeconds.end() ? 0.0 : static_cast<double>(rows) / it->second;
    };
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("\nSummary (best of the runs, %lld rows)\n", gRows);
    for (const char* hop : {"account set -> Update.mdb", "Update.mdb -> account set"}) {
        const double set = rate(std::string("engine set: ") + hop, gRows);
        const double rows = rate(std::string("engine rows: ") + hop, gRows);
        const double native = rate(std::string("sqlite: ") + hop, gRows);
        const double raw = rate(std::string("sqlite raw: ") + hop, gRows);
        std::printf("  %s\n", hop);
        std::printf("    engine, set-based     %10.0f rows/s   %.2f x sqlite (target >= 0.80)\n", set,
                    ratio(set, native));
        std::printf("    engine, row by row    %10.0f rows/s   %.2f x sqlite\n", rows, ratio(rows, native));
        std::printf("    sqlite INSERT..SELECT %10.0f rows/s   (into the engine's table, where 1=1)\n",
                    native);
        std::printf("    sqlite record copy    %10.0f rows/s   (same table text, no where: %.2f x)\n", raw,
                    ratio(set, raw));
    }
    if (const double o = rate("engine: Update.mdb -> ODBC", gOdbcRows); o > 0)
        std::printf("  Update.mdb -> SQLite ODBC driver: %.0f rows/s (%lld rows)\n", o, gOdbcRows);
    for (const char* path : {"engine set", "engine rows"}) {
        const std::string small = std::string(path) + ": 10000 rows",
                          large = std::string(path) + ": large table";
        if (!gSeconds.count(small) || !gSeconds.count(large)) continue;
        const double linear = gSeconds[small] * static_cast<double>(gLargeRows) / 10000.0;
        std::printf(
            "  %s, %lld rows: %.2f s, linear from 10000 rows %.2f s, factor %.2f (target <= 1.20), "
            "peak resident memory %.1f MB (target < 100)\n",
            path, gLargeRows, gSeconds[large], linear, gSeconds[large] / linear,
            static_cast<double>(gPeakKb[large]) / 1024.0);
    }
}

}  // namespace

BENCHMARK(BM_ToUpdateMdb)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_BackToAccountSet)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_NativeToUpdateMdb)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_NativeBackToAccountSet)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_OdbcTarget)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Small)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_Large)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv) {
    // Own flags first; the rest go to the benchmark library.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--rows=", 0) == 0)
            gRows = std::atoll(a.c_str() + 7);
        else if (a.rfind("--odbc-rows=", 0) == 0)
            gOdbcRows = std::atoll(a.c_str() + 12);
        else if (a.rfind("--large=", 0) == 0)
            gLargeRows = std::atoll(a.c_str() + 8);
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
