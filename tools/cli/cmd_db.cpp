// db: the connection test, the column catalogue of a table and the tables of a database, for any
// connection string the engine builds.
#include <algorithm>
#include <memory>

#include "cli.h"
#include "db/connect.h"
#include "db/connection.h"
#include "db/data_export.h"
#include "db/texts.h"
#include "support/text.h"

namespace kestrane::cli {
namespace {

using db::Recordset;
using support::Variant;
using support::VarType;

nlohmann::ordered_json ToJson(const Variant& v) {
    switch (v.Type()) {
        case VarType::Empty:
        case VarType::Null:
            return nullptr;
        case VarType::Integer:
            return v.AsInt64();
        case VarType::Double:
            return v.AsDouble();
        case VarType::Boolean:
            return v.AsBoolean();
        case VarType::Bytes:
            return support::HexText(v.AsBytes());
        default:
            return v.AsString();
    }
}

// Every row as an object of field name and value.
nlohmann::ordered_json RowsToJson(Recordset& rs) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (; !rs.Eof(); rs.MoveNext()) {
        nlohmann::ordered_json row = nlohmann::ordered_json::object();
        for (int i = 0; i < rs.FieldCount(); ++i) row[rs.Field(i).Name] = ToJson(rs.Value(i));
        rows.push_back(std::move(row));
    }
    return rows;
}

// The named fields of every row as aligned text columns.
void PrintColumns(const nlohmann::ordered_json& rows, const std::vector<std::string>& names) {
    std::vector<std::size_t> width;
    for (const auto& n : names) width.push_back(n.size());
    auto cell = [](const nlohmann::ordered_json& v) {
        if (v.is_null()) return std::string();
        if (v.is_string()) return v.get<std::string>();
        if (v.is_boolean()) return std::string(v.get<bool>() ? "True" : "False");
        return v.dump();
    };
    // Width in characters, so that Chinese names keep the columns straight enough.
    auto length = [](const std::string& s) {
        std::size_t n = 0;
        for (unsigned char c : s) n += (c & 0xC0) != 0x80;
        return n;
    };
    for (const auto& row : rows)
        for (std::size_t i = 0; i < names.size(); ++i)
            width[i] = std::max(width[i], length(cell(row.value(names[i], nlohmann::ordered_json()))));
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            out += cells[i];
            if (i + 1 < cells.size()) out += std::string(width[i] - length(cells[i]) + 2, ' ');
        }
        std::cout << support::TrimRight(out) << '\n';
    };
    line(names);
    for (const auto& row : rows) {
        std::vector<std::string> cells;
        for (const auto& n : names) cells.push_back(cell(row.value(n, nlohmann::ordered_json())));
        line(cells);
    }
}

// An open connection, or the client's message as a failed command.
std::unique_ptr<db::Connection> OpenOrFail(const std::string& connectionString) {
    auto c = std::make_unique<db::Connection>(connectionString);
    try {
        c->Open();
    } catch (const std::exception& e) {
        throw CommandFailed(e.what());
    }
    return c;
}

struct DbArgs {
    std::string connectionString;
    std::string table;
};

const CommandGroup dbCommands([](CLI::App& app, const Options& options) {
    auto* group = app.add_subcommand("db", "database connections and catalogues");
    group->require_subcommand(1);
    auto args = std::make_shared<DbArgs>();

    auto* test = group->add_subcommand("test", "open and close a connection; exit 1 when it fails");
    test->add_option("CONNSTR", args->connectionString, "connection string as the engine builds it")
        ->required();
    test->callback([&options, args] {
        std::string error;
        const bool ok = db::TestConnectionString(args->connectionString, error);
        const std::string message = ok ? db::kTxtTestConnectionOk : error;
        Emit(options, {{"connected", ok}, {"message", message}}, [&] {
            if (ok) std::cout << message << '\n';
        });
        if (!ok) throw CommandFailed(message);
    });

    auto* columns = group->add_subcommand("columns", "the column catalogue rows of a table");
    columns->add_option("CONNSTR", args->connectionString, "connection string")->required();
    columns->add_option("TABLE", args->table, "table name")->required();
    columns->callback([&options, args] {
        const auto kind = db::DatabaseKindOf(args->connectionString);
        db::TDataExport ex;
        ex.SourceConnection().SetConnectionString(args->connectionString);
        try {
            ex.SourceConnection().Open();
        } catch (const std::exception& e) {
            throw CommandFailed(e.what());
        }
        std::string schema, catalog;
        db::TDataExport::GetSchemaAndCatalog(kind, args->connectionString, schema, catalog);
        std::unique_ptr<Recordset> rs;
        try {
            ex.OpenCatalogue(ex.SourceConnection(), kind, args->table, schema, catalog, db::adSchemaColumns,
                             rs);
        } catch (const std::exception& e) {
            throw CommandFailed(e.what());
        }
        const nlohmann::ordered_json rows = RowsToJson(*rs);
        if (rows.empty()) throw CommandFailed("no columns found for table " + args->table);
        Emit(options, rows, [&] {
            PrintColumns(rows, {"ORDINAL_POSITION", "COLUMN_NAME", "DATA_TYPE", "CHARACTER_MAXIMUM_LENGTH",
                                "NUMERIC_PRECISION", "NUMERIC_SCALE", "IS_NULLABLE", "COLUMN_HASDEFAULT",
                                "COLUMN_DEFAULT"});
        });
    });

    auto* tables = group->add_subcommand("tables", "the tables and views of a database");
    tables->add_option("CONNSTR", args->connectionString, "connection string")->required();
    tables->callback([&options, args] {
        const auto kind = db::DatabaseKindOf(args->connectionString);
        auto c = OpenOrFail(args->connectionString);
        std::string schema, catalog;
        db::TDataExport::GetSchemaAndCatalog(kind, args->connectionString, schema, catalog);
        // SQL Server lists every schema of its catalogue; an Oracle user sees its own schema.
        const Variant catalogue = catalog.empty() ? Variant::Null() : Variant(catalog);
        const Variant owner = kind == support::dbtOracle && !schema.empty()
                                  ? Variant(support::UpperCase(schema))
                                  : Variant::Null();
        std::unique_ptr<Recordset> rs;
        try {
            rs = c->OpenSchema(db::adSchemaTables, {catalogue, owner, Variant::Null()});
        } catch (const std::exception& e) {
            throw CommandFailed(e.what());
        }
        const nlohmann::ordered_json rows = RowsToJson(*rs);
        Emit(options, rows, [&] { PrintColumns(rows, {"TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"}); });
    });
});

}  // namespace
}  // namespace kestrane::cli
