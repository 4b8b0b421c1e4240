// Catalogue entries of the content designer and the nodes made from them, and the display captions
// of the item and node kinds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "patch/inst_res_items.h"
#include "patch/res_items.h"
#include "support/kv_types.h"

namespace kestrane::patch {

// One object of the source account set's catalogue, as the designer lists it.
struct TInstNodeRec {
    std::string Caption;
    std::string Tag;
    std::string Text;
    std::string Reservs;
    std::uint8_t ParamNodeType = 0;
    bool operator==(const TInstNodeRec&) const = default;
};
using TInstNodeArray = std::vector<TInstNodeRec>;

// The entry's byte as a node kind; a value past the enumeration becomes pntOther, since later
// steps index tables by the kind.
TKVParamNodeType NodeTypeOf(std::uint8_t value);

// Each creates the node owned by `item`, which appends it to the item's list.
TNodeItem& NewNodeItem(TInstResItem& item, const TInstNodeRec& entry);
// SQLType dbtMsSql, SQLType2 dbtOracle, SQLExecType seExc; the entry's text goes into Text for a
// SQL Server source, else into Text2.
TNodeScriptItem& NewNodeScriptItem(TInstResItem& item, const TInstNodeRec& entry,
                                   support::TKVDataBaseType sourceKind);
// As NewNodeScriptItem, with TableType ttData.
TNodeTableItem& NewNodeTableItem(TInstResItem& item, const TInstNodeRec& entry,
                                 support::TKVDataBaseType sourceKind);

// Display names; empty for a value outside its enumeration.
std::string ParamNodeTypeCaption(TKVParamNodeType type);
std::string OperateTypeCaption(TKVOperateType type);
std::string TableTypeCaption(TKVTableType type);
std::string SQLExecTypeCaption(TKVSQLExecType type);

}  // namespace kestrane::patch
