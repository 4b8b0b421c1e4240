// Which variant of a node (Text or Text2, and their scripts) belongs to a database of a given kind.
#pragma once

#include "support/kv_types.h"

namespace kestrane::app {

// Nodes hold a SQL Server and an Oracle variant. The embedded kind counts as SQL Server: nodes made
// from an embedded source keep the catalogue text in Text, and an embedded database runs the first
// variant, so a patch made on one embedded installation installs fully into another.
inline support::TKVDataBaseType NodeVariantKind(support::TKVDataBaseType kind) {
    return kind == support::dbAccess ? support::dbtMsSql : kind;
}

}  // namespace kestrane::app
