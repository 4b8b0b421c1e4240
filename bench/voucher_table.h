// The table both runs' benchmarks move, and their main program: a wide user table of vouchers with keys,
// codes, Chinese texts, amounts, dates, flags and null columns, filled by SQLite itself.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "db/connect.h"
#include "db/connection.h"

namespace kestrane::bench {

inline constexpr const char* kTable = "BD_Voucher";
inline constexpr const char* kCreate =
    "create table BD_Voucher (G_ID GUID, RwID LONG not null, VoucherNo varchar(30), Summary varchar(200), "
    "Account varchar(40), Debit decimal(18,2), Credit decimal(18,2), Made DATETIME, Posted BIT, Maker "
    "varchar(40), Note MEMO, OrgID LONG)";
inline constexpr const char* kFill =
    "with recursive n(i) as (select 1 union all select i + 1 from n where i < %lld) "
    "insert into BD_Voucher select "
    "printf('{%%08X-%%04X-%%04X-%%04X-%%012X}', i, i %% 65536, (i * 3) %% 65536, (i * 11) %% 65536, "
    "(i * 2654435761) %% 281474976710656), i, printf('PZ%%08d', i), '第' || i || '号凭证：收到货款', "
    "printf('%%04d.%%02d', 1000 + i %% 9000, i %% 100), (i %% 50000) / 100.0, "
    "case when i %% 2 = 0 then (i %% 700) / 10.0 else null end, datetime('2024-01-01', '+' || (i %% 365) || "
    "' days'), i %% 2, '会计' || (i %% 20), case when i %% 7 = 0 then null else '备注' || i end, i %% 4 from "
    "n";

inline std::string JetString(const std::filesystem::path& file) {
    return db::JetConnectionString(file.string()) + ";Persist Security Info=False";
}

// A folder of the benchmark's own under the system's temporary folder, made at the first call.
inline std::filesystem::path MadeWorkDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    return pattern;
}

// Creates the table on an open connection and fills it with `rows` vouchers.
inline void FillVouchers(db::Connection& c, long long rows) {
    c.Execute(kCreate);
    char fill[2048];
    std::snprintf(fill, sizeof fill, kFill, rows);
    c.Execute(fill);
}

// An account set holding the table with `rows` vouchers, and the two tables every build and install
// copies.
inline void MakeVoucherAccountSet(const std::filesystem::path& file, long long rows) {
    std::filesystem::create_directories(file.parent_path());
    db::CreateJetDatabase(JetString(file));
    db::Connection c(JetString(file));
    c.Open();
    c.BeginTrans();
    FillVouchers(c, rows);
    c.Execute("create table Sys_PurFunRes (FunID LONG, FunName varchar(50))");
    c.Execute("insert into Sys_PurFunRes values (1, '录入'), (2, '审核')");
    c.Execute("create table JC_SysOptInfo (RwID LONG, StdCode varchar(80), IntValue LONG)");
    c.Execute("insert into JC_SysOptInfo values (1, 'GD_BillMultiOptCfgMsg', 1)");
    c.CommitTrans();
}

// The main program of a benchmark over the table: "--rows=N" sets `rows`, the other arguments go to
// Google Benchmark; `summary` prints after the runs, then `workDir` is removed.
inline int RunBenchmarks(int argc, char** argv, long long& rows, const std::function<void()>& summary,
                         const std::function<std::filesystem::path()>& workDir) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--rows=", 0) == 0)
            rows = std::atoll(a.c_str() + 7);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    summary();
    std::error_code ec;
    std::filesystem::remove_all(workDir(), ec);
    return 0;
}

}  // namespace kestrane::bench
