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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "db/connect.h"
#include "db/connection.h"
#include "db/data_export.h"
#include "db/odbc_driver.h"
#include "voucher_table.h"

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

using kestrane::bench::JetString;

fs::path WorkDir() {
    static const fs::path dir = kestrane::bench::MadeWorkDir("kestrane-bench");
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

// Copies the table from one file into another, new one through the transfer object, set-based or row by
// row; the file is made by the caller (the maker makes its transfer file once for all tables).
void Transfer(const fs::path& from, const fs::path& to, bool setBased) {
    TDataExport ex;
    ex.SourceType = dbAccess;
    ex.TargetType = dbAccess;
    ex.SetBasedCopy = setBased;
    ex.SourceConnection().SetConnectionString(JetString(from));
    ex.TargetConnection()->SetConnectionString(JetString(to));
    ex.TransferTable(kTable, "");
    if (setBased && ex.LastCopyPath != TDataExport::TCopyPath::SetBased)
        throw std::runtime_error("the copy went row by row");
}

// SQLite's own copy on the same rows: the target attached to the source connection, and one INSERT ...
// SELECT. With `engineTable` the table is the one the engine creates (its side table too, made before
// the clock starts) and the select carries the engine's "where 1=1", so that SQLite reads and writes
// every value as any converting copy must; without it the table has the source's own text and SQLite
// may copy the stored records as they are. A transfer-file target gets the transfer file's settings.
void PrepareNative(const fs::path& from, const fs::path& to, bool transferFile, bool engineTable) {
    NewFile(to, transferFile);
    if (!engineTable) return;
    TDataExport ex;
    ex.SourceType = ex.TargetType = dbAccess;
    ex.SourceConnection().SetConnectionString(JetString(from));
    ex.TargetConnection()->SetConnectionString(JetString(to));
    ex.TransferTable(kTable, " and 1<>1 ");
}

void NativeCopy(const fs::path& from, const fs::path& to, bool transferFile, bool engineTable) {
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
long long gOdbcDenseRows = 0;
long long gLargeRows = 1000000;
std::map<std::string, double> gSeconds;     // best time of each measured copy
std::map<std::string, double> gCpuSeconds;  // and the least processor time it took
std::map<std::string, long> gPeakKb;        // peak memory of the large copies

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Record(const std::string& name, double seconds, double cpu) {
    for (auto* m : {&gSeconds, &gCpuSeconds}) {
        const double v = m == &gSeconds ? seconds : cpu;
        auto [it, fresh] = m->emplace(name, v);
        if (!fresh && v < it->second) it->second = v;
    }
}

// Times `copy` into a new file made by `prepare` before the clock starts. Besides the time, the
// processor time is kept: on a machine shared with other work it tells more than the clock.
template <class Prepare, class Copy>
void Measure(benchmark::State& state, const std::string& name, long long rows, Prepare prepare, Copy copy) {
    for (auto _ : state) {
        prepare();
        const double cpu0 = CpuSeconds();
        const auto t0 = Clock::now();
        copy();
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        Record(name, s, CpuSeconds() - cpu0);
    }
    state.counters["rows/s"] = benchmark::Counter(
        static_cast<double>(rows) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The source of the installer's direction: a transfer file made once by the engine.
fs::path UpdateMdb() {
    const fs::path update = WorkDir() / "Update.mdb";
    if (!fs::exists(update)) {
        NewFile(update, true);
        Transfer(AccountSet(gRows), update, true);
    }
    return update;
}

void CheckRows(benchmark::State& state, const fs::path& file, long long rows) {
    if (RowsIn(file) != rows) state.SkipWithError("row count differs");
}

void BM_ToUpdateMdb(benchmark::State& state) {
    const bool setBased = state.range(0) != 0;
    const std::string name =
        std::string(setBased ? "engine set" : "engine rows") + ": account set -> Update.mdb";
    Measure(
        state, name, gRows, [&] { NewFile(Fresh("Update_out.mdb"), true); },
        [&] { Transfer(AccountSet(gRows), WorkDir() / "Update_out.mdb", setBased); });
    CheckRows(state, WorkDir() / "Update_out.mdb", gRows);
}

void BM_BackToAccountSet(benchmark::State& state) {
    const bool setBased = state.range(0) != 0;
    const std::string name =
        std::string(setBased ? "engine set" : "engine rows") + ": Update.mdb -> account set";
    Measure(
        state, name, gRows, [&] { NewFile(Fresh("Lumo_second.mdb"), false); },
        [&] { Transfer(UpdateMdb(), WorkDir() / "Lumo_second.mdb", setBased); });
    CheckRows(state, WorkDir() / "Lumo_second.mdb", gRows);
}

void BM_NativeToUpdateMdb(benchmark::State& state) {
    const bool engineTable = state.range(0) != 0;
    const std::string name =
        std::string(engineTable ? "sqlite" : "sqlite raw") + ": account set -> Update.mdb";
    const fs::path to = WorkDir() / "Native_update.mdb";
    Measure(
        state, name, gRows,
        [&] { PrepareNative(AccountSet(gRows), Fresh("Native_update.mdb"), true, engineTable); },
        [&] { NativeCopy(AccountSet(gRows), to, true, engineTable); });
    CheckRows(state, to, gRows);
}

void BM_NativeBackToAccountSet(benchmark::State& state) {
    const bool engineTable = state.range(0) != 0;
    const std::string name =
        std::string(engineTable ? "sqlite" : "sqlite raw") + ": Update.mdb -> account set";
    const fs::path to = WorkDir() / "Native_second.mdb";
    Measure(
        state, name, gRows,
        [&] { PrepareNative(UpdateMdb(), Fresh("Native_second.mdb"), false, engineTable); },
        [&] { NativeCopy(UpdateMdb(), to, false, engineTable); });
    CheckRows(state, to, gRows);
}

constexpr const char* kSqliteOdbc = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

// A "SQL Server" account set that is an SQLite file reached through the SQLite ODBC driver, with the
// table there already, as in an installed account set (SQLite would not take SQL Server's
// "default NEWID()").
void NewOdbcTarget(const fs::path& to) {
    kestrane::db::CreateJetDatabase(JetString(to));
    Connection c(JetString(to));
    c.Open();
    c.Execute(kCreate);
}

// The transfer file into it: the engine's SQL Server path with a real ODBC driver underneath.
void OdbcTransfer(const fs::path& from, const fs::path& to, const std::string& filter) {
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
    ex.TransferTable(kTable, filter);
}

// Rows whose nullable columns all hold values: one insert statement for them all, so that they go in
// arrays as long as the driver takes.
constexpr const char* kNoNulls =
    " and ParentID is not null and Descrip is not null and Layout is not null and Remark is not null";

void BM_OdbcTarget(benchmark::State& state) {
    if (!fs::exists(kSqliteOdbc)) {
        state.SkipWithError("SQLite ODBC driver not installed");
        return;
    }
    const fs::path update = WorkDir() / "Update_odbc.mdb";
    if (!fs::exists(update)) {
        NewFile(update, true);
        Transfer(AccountSet(gOdbcRows), update, true);
    }
    const bool dense = state.range(0) != 0;
    const std::string filter = dense ? kNoNulls : "";
    long long rows = gOdbcRows;
    if (dense) {
        Connection c(JetString(update));
        c.Open();
        rows = c.Execute(std::string("select count(*) from ") + kTable + " where 1=1" + filter)
                   ->Value(0)
                   .AsInt64();
    }
    Measure(
        state, dense ? "engine: Update.mdb -> ODBC, no nulls" : "engine: Update.mdb -> ODBC", rows,
        [&] { NewOdbcTarget(Fresh("Odbc_target.db")); },
        [&] { OdbcTransfer(update, WorkDir() / "Odbc_target.db", filter); });
    CheckRows(state, WorkDir() / "Odbc_target.db", rows);
    if (dense) gOdbcDenseRows = rows;
}

void BM_Small(benchmark::State& state) {
    const bool setBased = state.range(0) != 0;
    const std::string name = std::string(setBased ? "engine set" : "engine rows") + ": 10000 rows";
    Measure(
        state, name, 10000, [&] { NewFile(Fresh("Update_small.mdb"), true); },
        [&] { Transfer(AccountSet(10000), WorkDir() / "Update_small.mdb", setBased); });
}

void BM_Large(benchmark::State& state) {
    const bool setBased = state.range(0) != 0;
    const std::string name = std::string(setBased ? "engine set" : "engine rows") + ": large table";
    const fs::path src = AccountSet(gLargeRows);
    for (auto _ : state) {
        const fs::path to = Fresh("Update_large.mdb");
        NewFile(to, true);
        ResetPeakRss();
        const double cpu0 = CpuSeconds();
        const auto t0 = Clock::now();
        Transfer(src, to, setBased);
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        Record(name, s, CpuSeconds() - cpu0);
        gPeakKb[name] = std::max(gPeakKb[name], PeakRssKb());
        CheckRows(state, to, gLargeRows);
        fs::remove(to);
    }
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(gLargeRows) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["peak_rss_MB"] = static_cast<double>(gPeakKb[name]) / 1024.0;
}

void Summary() {
    auto rate = [](const std::map<std::string, double>& times, const std::string& name, long long rows) {
        auto it = times.find(name);
        return it == times.end() ? 0.0 : static_cast<double>(rows) / it->second;
    };
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("\nSummary (best of the runs, %lld rows; rows/s by the clock, and by processor time)\n",
                gRows);
    for (const char* hop : {"account set -> Update.mdb", "Update.mdb -> account set"}) {
        std::printf("  %s\n", hop);
        const std::string native = std::string("sqlite: ") + hop;
        const struct {
            const char* name;
            const char* label;
        } lines[] = {{"engine set: ", "engine, set-based"},
                     {"engine rows: ", "engine, row by row"},
                     {"sqlite: ", "sqlite INSERT..SELECT into the engine's table, where 1=1"},
                     {"sqlite raw: ", "sqlite INSERT..SELECT, same table text, no where (record copy)"}};
        for (const auto& l : lines) {
            const std::string name = l.name + std::string(hop);
            const double w = rate(gSeconds, name, gRows), c = rate(gCpuSeconds, name, gRows);
            std::printf("    %-62s %9.0f rows/s %9.0f rows/s cpu   %.2f / %.2f x sqlite\n", l.label, w, c,
                        ratio(w, rate(gSeconds, native, gRows)), ratio(c, rate(gCpuSeconds, native, gRows)));
        }
    }
    std::printf("  target: engine set-based >= 0.80 x sqlite INSERT..SELECT\n");
    const std::string odbc = "engine: Update.mdb -> ODBC", dense = odbc + ", no nulls";
    if (const double o = rate(gSeconds, odbc, gOdbcRows); o > 0)
        std::printf("  Update.mdb -> SQLite ODBC driver: %.0f rows/s, %.0f rows/s cpu (%lld rows)\n", o,
                    rate(gCpuSeconds, odbc, gOdbcRows), gOdbcRows);
    if (const double o = rate(gSeconds, dense, gOdbcDenseRows); o > 0)
        std::printf("  the same, rows without nulls only: %.0f rows/s, %.0f rows/s cpu (%lld rows)\n", o,
                    rate(gCpuSeconds, dense, gOdbcDenseRows), gOdbcDenseRows);
    for (const char* path : {"engine set", "engine rows"}) {
        const std::string small = std::string(path) + ": 10000 rows",
                          large = std::string(path) + ": large table";
        if (!gSeconds.count(small) || !gSeconds.count(large)) continue;
        const double linear = gSeconds[small] * static_cast<double>(gLargeRows) / 10000.0;
        const double linearCpu = gCpuSeconds[small] * static_cast<double>(gLargeRows) / 10000.0;
        std::printf(
            "  %s, %lld rows: %.2f s (cpu %.2f s), linear from 10000 rows %.2f s (cpu %.2f s), factor "
            "%.2f (cpu %.2f; target <= 1.20), peak resident memory %.1f MB (target < 100)\n",
            path, gLargeRows, gSeconds[large], gCpuSeconds[large], linear, linearCpu,
            gSeconds[large] / linear, gCpuSeconds[large] / linearCpu,
            static_cast<double>(gPeakKb[large]) / 1024.0);
    }
}

}  // namespace

// Best of several runs each: the machine the figures come from is shared.
BENCHMARK(BM_ToUpdateMdb)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(7);
BENCHMARK(BM_BackToAccountSet)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(7);
BENCHMARK(BM_NativeToUpdateMdb)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(7);
BENCHMARK(BM_NativeBackToAccountSet)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(7);
BENCHMARK(BM_OdbcTarget)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Small)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_Large)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

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
