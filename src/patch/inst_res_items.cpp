#include "patch/inst_res_items.h"

#include <algorithm>
#include <stdexcept>

#include "patch/texts.h"

namespace kestrane::patch {

TInstResItem::TInstResItem() : paramNodeType_(pntOther) {}

TInstResItem::TInstResItem(TKVParamNodeType type, std::string tableName, std::string tableCaption)
    : paramNodeType_(type), tableName_(std::move(tableName)), tableCaption_(std::move(tableCaption)) {}

TInstResItem::~TInstResItem() {
    nodes_.clear();
}

std::string TInstResItem::BuildFilter() const {
    return {};
}

TNodeItem& TInstResItem::Node(std::size_t i) const {
    if (i >= nodes_.size()) throw std::out_of_range("TInstResItem::Node: index out of range");
    return *nodes_[i];
}

void TInstResItem::ClearNodes() {
    Description.clear();
    while (!nodes_.empty()) Destroy(*nodes_.back());
}

void TInstResItem::RemoveNode(TNodeItem& node) {
    const auto it = std::find(nodes_.begin(), nodes_.end(), &node);
    if (it != nodes_.end()) nodes_.erase(it);
}

void TInstResItem::Inserted(TResBase& object) {
    if (auto* node = dynamic_cast<TNodeItem*>(&object)) nodes_.push_back(node);
}

void TInstResItem::Removing(TResBase& object) {
    const auto it = std::find(nodes_.begin(), nodes_.end(), &object);
    if (it != nodes_.end()) nodes_.erase(it);
}

TInstInitScriptResItem::TInstInitScriptResItem()
    : TInstScriptBaseResItem(pntInitScript, texts::kTableJcScript, texts::kCaptionInitScript) {}
TInstReCstResItem::TInstReCstResItem()
    : TInstScriptBaseResItem(pntReCst, texts::kTableInstElmnt, texts::kCaptionReCst) {}
TInstBillResItem::TInstBillResItem() : TInstResItem(pntBill, texts::kTableBillFormat, texts::kCaptionBill) {}
TInstQueryResItem::TInstQueryResItem()
    : TInstResItem(pntQuery, texts::kTableQrElement, texts::kCaptionQuery) {}
TInstAnalyseResItem::TInstAnalyseResItem() : TInstResItem(pntAnalyse, {}, {}) {}
TInstBaseDataResItem::TInstBaseDataResItem()
    : TInstResItem(pntBaseData, texts::kTableTableDict, texts::kCaptionBaseData) {}
TInstDeskFlowResItem::TInstDeskFlowResItem()
    : TInstResItem(pntDeskFlow, texts::kTableSysOptInfo, texts::kCaptionDeskFlow) {}
TInstTableResItem::TInstTableResItem() : TInstResItem(pntTable, {}, {}) {}
TInstViewResItem::TInstViewResItem() : TInstScriptBaseResItem(pntView, {}, {}) {}
TInstScriptResItem::TInstScriptResItem()
    : TInstScriptBaseResItem(pntScript, texts::kTableJcScript, texts::kCaptionScript) {}

TInstResCollection::TInstResCollection() {
    Create<TInstInitScriptResItem>();
    Create<TInstReCstResItem>();
    Create<TInstBillResItem>();
    Create<TInstQueryResItem>();
    Create<TInstAnalyseResItem>();
    Create<TInstBaseDataResItem>();
    Create<TInstDeskFlowResItem>();
    Create<TInstTableResItem>();
    Create<TInstViewResItem>();
    Create<TInstScriptResItem>();
}

TInstResCollection::~TInstResCollection() {
    items_.clear();
}

TInstResItem& TInstResCollection::Item(std::size_t i) const {
    if (i >= items_.size()) throw std::out_of_range("TInstResCollection::Item: index out of range");
    return *items_[i];
}

TInstResItem* TInstResCollection::FindByNodeType(TKVParamNodeType type) const {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        if ((*it)->ParamNodeType() == type) return *it;
    return nullptr;
}

void TInstResCollection::ClearItems() {
    while (!items_.empty()) Destroy(*items_.back());
}

void TInstResCollection::ClearNodes() {
    for (auto* item : items_) item->ClearNodes();
}

bool TInstResCollection::AllEmpty() const {
    return std::all_of(items_.begin(), items_.end(), [](const TInstResItem* i) { return i->IsEmpty(); });
}

void TInstResCollection::Inserted(TResBase& object) {
    if (auto* item = dynamic_cast<TInstResItem*>(&object)) items_.push_back(item);
}

void TInstResCollection::Removing(TResBase& object) {
    const auto it = std::find(items_.begin(), items_.end(), &object);
    if (it != items_.end()) items_.erase(it);
}

}  // namespace kestrane::patch
