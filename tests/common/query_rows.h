// The rows a query gives, for comparing a database's content with what a test expects.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/connect.h"
#include "db/connection.h"

namespace kestrane::testing {

// Each row as its values joined by "|"; a null reads as `null`.
inline std::vector<std::string> QueryRows(db::Connection& c, const std::string& sql,
                                          std::string_view null = "") {
    std::vector<std::string> out;
    for (auto rs = c.Execute(sql); rs && !rs->Eof(); rs->MoveNext()) {
        std::string row;
        for (int i = 0; i < rs->FieldCount(); ++i) {
            if (i) row += "|";
            row += rs->Value(i).IsNull() ? std::string(null) : rs->Value(i).AsString();
        }
        out.push_back(row);
    }
    return out;
}

// The same of an embedded database file.
inline std::vector<std::string> QueryRows(const std::string& file, const std::string& sql) {
    db::Connection c(db::JetConnectionString(file));
    c.Open();
    return QueryRows(c, sql);
}

}  // namespace kestrane::testing
