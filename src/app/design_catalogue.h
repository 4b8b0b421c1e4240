// The catalogue of the content designer: the definitions of the source account set that can go into
// a patch, read afresh each time the designer opens.
#pragma once

#include "patch/inst_nodes.h"
#include "support/kv_types.h"

namespace kestrane::app {

// The statements that list views and procedures, user tables and system tables on one kind of
// database.
struct TCatalogueQueries {
    const char* Views;
    const char* UserTables;
    const char* SystemTables;
};
const TCatalogueQueries& CatalogueQueriesFor(support::TKVDataBaseType kind);

// The six fixed entries, then bills, base-data categories, views and procedures (a definition that
// arrives in several rows is joined into one entry), user tables (each as a table and as a
// restructuring entry) and system tables, from the source's database. The queries are chosen by the
// kind of the opened connection and run one at a time, each result read to its end before the next.
// Failures propagate with the client's message.
patch::TInstNodeArray ReadCatalogue(const support::TInstanceRec& source);

}  // namespace kestrane::app
