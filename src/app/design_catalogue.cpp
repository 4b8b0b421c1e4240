#include "app/design_catalogue.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/texts.h"
#include "db/connect.h"
#include "db/db_processor.h"

namespace kestrane::app {

using patch::TInstNodeRec;

namespace {

using Row = std::vector<std::string>;

// The whole result of one query as texts (NULL gives ""). The record set is released before the next
// statement: a server without multiple active result sets refuses a second one while rows are pending.
std::vector<Row> ReadRows(db::TDBProcessor& processor, const std::string& sql) {
    std::unique_ptr<db::Recordset> rs;
    processor.OpenQuery(sql, rs);
    std::vector<Row> rows;
    if (!rs) return rows;
    for (; !rs->Eof(); rs->MoveNext()) {
        Row row;
        for (int i = 0; i < rs->FieldCount(); ++i) row.push_back(rs->Value(i).AsString());
        rows.push_back(std::move(row));
    }
    return rows;
}

const std::string& Column(const Row& row, std::size_t i) {
    static const std::string empty;
    return i < row.size() ? row[i] : empty;
}

TInstNodeRec Entry(const std::string& caption, const std::string& tag, patch::TKVParamNodeType kind) {
    return {caption, tag, "", "", kind};
}

TInstNodeRec Named(const std::string& name, patch::TKVParamNodeType kind) {
    return {name, name, "", name, kind};
}

}  // namespace

const TCatalogueQueries& CatalogueQueriesFor(support::TKVDataBaseType kind) {
    static const TCatalogueQueries msSql{texts::kViewsMsSql, texts::kUserTablesMsSql,
                                         texts::kSystemTablesMsSql};
    static const TCatalogueQueries oracle{texts::kViewsOracle, texts::kUserTablesOracle,
                                          texts::kSystemTablesOracle};
    static const TCatalogueQueries embedded{texts::kViewsEmbedded, texts::kUserTablesEmbedded,
                                            texts::kSystemTablesEmbedded};
    switch (kind) {
        case support::dbtOracle:
            return oracle;
        case support::dbAccess:
            return embedded;
        case support::dbtMsSql:
            break;
    }
    return msSql;
}

patch::TInstNodeArray ReadCatalogue(const support::TInstanceRec& source) {
    using namespace patch;
    TInstNodeArray catalogue{
        Entry(texts::kEntryAll, texts::kTableInstElmnt, pntReCst),
        Entry(texts::kEntryAll, texts::kTableQuery, pntQuery),
        Entry(texts::kEntryDeskFlow, texts::kTableSysOptInfo, pntDeskFlow),
        Entry(texts::kEntryCube, texts::kTableCube, pntAnalyse),
        Entry(texts::kEntryTask, texts::kTableTask, pntAnalyse),
        Entry(texts::kEntryTaskLink, texts::kTableTaskLink, pntAnalyse),
    };

    db::TDBProcessor processor;
    processor.Connect(source.DBInfo, source.DBName);
    const TCatalogueQueries& queries =
        CatalogueQueriesFor(db::DatabaseKindOf(processor.connection().ConnectionString()));

    for (const Row& r : ReadRows(processor, texts::kCatalogueBills))
        catalogue.push_back({Column(r, 1), Column(r, 0), "", Column(r, 0), pntBill});
    for (const Row& r : ReadRows(processor, texts::kCatalogueBaseData))
        catalogue.push_back({Column(r, 1), Column(r, 0), "", Column(r, 0), pntBaseData});

    // A long definition arrives in several rows of the same object.
    std::map<std::pair<std::string, std::string>, std::size_t> views;
    for (const Row& r : ReadRows(processor, queries.Views)) {
        const auto key = std::make_pair(Column(r, 0), Column(r, 2));
        if (const auto it = views.find(key); it != views.end()) {
            catalogue[it->second].Text += Column(r, 1);
            continue;
        }
        views.emplace(key, catalogue.size());
        catalogue.push_back({Column(r, 0), Column(r, 0), Column(r, 1), Column(r, 2), pntView});
    }

    for (const Row& r : ReadRows(processor, queries.UserTables)) {
        catalogue.push_back(Named(Column(r, 1), pntTable));
        catalogue.push_back(Named(Column(r, 1), pntReCst));
    }
    for (const Row& r : ReadRows(processor, queries.SystemTables))
        catalogue.push_back(Named(Column(r, 1), pntReCst));
    return catalogue;
}

}  // namespace kestrane::app
