// The conditions that select each kind's rows in its definition tables. Tags go in as they are: bill
// and base-data keys are numbers, and node texts are SQL typed by the patch author.
#include "patch/inst_res_items.h"
#include "patch/item_texts.h"
#include "support/format.h"

namespace kestrane::patch {
namespace {

std::string JoinTags(const TInstResItem& item, const std::string& before, const std::string& after) {
    std::string tags;
    for (std::size_t i = 0; i < item.NodeCount(); ++i) {
        if (i > 0) tags += ',';
        tags += before + item.Node(i).Tag + after;
    }
    return tags;
}

}  // namespace

std::string TInstBillResItem::BuildFilter() const {
    if (IsEmpty()) return {};
    return support::Format(texts::kBillFilter, JoinTags(*this, "", ""));
}

std::string TInstBillResItem::BillTypeFilter() const {
    if (IsEmpty()) return {};
    return support::Format(texts::kBillTypeFilter, JoinTags(*this, "", ""));
}

std::string TInstBillResItem::BillOptionFilter() const {
    if (IsEmpty()) return {};
    return support::Format(texts::kBillOptionFilter,
                           JoinTags(*this, std::string("'") + texts::kBillOptionPrefix, "'"));
}

std::string TInstBaseDataResItem::BuildFilter() const {
    if (IsEmpty()) return {};
    return texts::kBaseDataFilterHead + JoinTags(*this, "", "") + texts::kFilterTail;
}

std::string TInstBaseDataResItem::CodeSetFilter() const {
    if (IsEmpty()) return {};
    return texts::kCodeSetFilterHead + JoinTags(*this, "", "") + texts::kFilterTail;
}

std::string TInstReCstResItem::ReCstFilter(support::TKVDataBaseType kind) const {
    std::string filter = texts::kReCstFilter;
    if (IsEmpty()) return filter;
    const TNodeItem& node = Node(0);
    if (kind == node.SQLType) return filter + node.Text;
    if (const auto* script = dynamic_cast<const TNodeScriptItem*>(&node); script && kind == script->SQLType2)
        return filter + script->Text2;
    if (const auto* table = dynamic_cast<const TNodeTableItem*>(&node); table && kind == table->SQLType2)
        return filter + table->Text2;
    return filter;
}

}  // namespace kestrane::patch
