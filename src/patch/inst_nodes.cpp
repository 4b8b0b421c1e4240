#include "patch/inst_nodes.h"

#include <iterator>

#include "patch/item_texts.h"

namespace kestrane::patch {
namespace {

template <class Node>
Node& NewNode(TInstResItem& item, const TInstNodeRec& entry) {
    Node& node = item.Create<Node>();
    node.Caption = entry.Caption;
    node.Tag = entry.Tag;
    node.Reservs = entry.Reservs;
    node.ParamNodeType = NodeTypeOf(entry.ParamNodeType);
    return node;
}

template <class Node>
Node& NewTwoVariantNode(TInstResItem& item, const TInstNodeRec& entry, support::TKVDataBaseType sourceKind) {
    Node& node = NewNode<Node>(item, entry);
    node.SQLType = support::dbtMsSql;
    node.SQLType2 = support::dbtOracle;
    (sourceKind == support::dbtMsSql ? node.Text : node.Text2) = entry.Text;
    return node;
}

}  // namespace

TKVParamNodeType NodeTypeOf(std::uint8_t value) {
    return value <= pntOther ? static_cast<TKVParamNodeType>(value) : pntOther;
}

TNodeItem& NewNodeItem(TInstResItem& item, const TInstNodeRec& entry) {
    TNodeItem& node = NewNode<TNodeItem>(item, entry);
    node.Text = entry.Text;
    return node;
}

TNodeScriptItem& NewNodeScriptItem(TInstResItem& item, const TInstNodeRec& entry,
                                   support::TKVDataBaseType sourceKind) {
    TNodeScriptItem& node = NewTwoVariantNode<TNodeScriptItem>(item, entry, sourceKind);
    node.SQLExecType = seExc;
    return node;
}

TNodeTableItem& NewNodeTableItem(TInstResItem& item, const TInstNodeRec& entry,
                                 support::TKVDataBaseType sourceKind) {
    TNodeTableItem& node = NewTwoVariantNode<TNodeTableItem>(item, entry, sourceKind);
    node.TableType = ttData;
    return node;
}

std::string ParamNodeTypeCaption(TKVParamNodeType type) {
    static const char* const captions[] = {texts::kNodeInitScript, texts::kNodeReCst,   texts::kNodeBill,
                                           texts::kNodeQuery,      texts::kNodeAnalyse, texts::kNodeBaseData,
                                           texts::kNodeDeskFlow,   texts::kNodeTable,   texts::kNodeView,
                                           texts::kNodeScript,     texts::kNodeOther};
    return type < std::size(captions) ? captions[type] : "";
}

std::string OperateTypeCaption(TKVOperateType type) {
    static const char* const captions[] = {texts::kOptNone, texts::kOptCopy, texts::kOptExecute,
                                           texts::kOptProgram, texts::kOptVersion};
    return type < std::size(captions) ? captions[type] : "";
}

std::string TableTypeCaption(TKVTableType type) {
    switch (type) {
        case ttData:
            return texts::kTableTypeData;
        case ttStructure:
            return texts::kTableTypeStructure;
    }
    return {};
}

std::string SQLExecTypeCaption(TKVSQLExecType type) {
    switch (type) {
        case seCheck:
            return texts::kSqlExecCheck;
        case seExc:
            return texts::kSqlExecUpdate;
    }
    return {};
}

}  // namespace kestrane::patch
