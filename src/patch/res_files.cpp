// Filling and arranging the program-file list.
#include <algorithm>
#include <stdexcept>

#include "patch/res_items.h"
#include "patch/texts.h"
#include "platform/file_system.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::patch {
namespace {

// A name the stream cannot hold would otherwise fail the whole build, long after it was chosen.
void CheckWritableName(const std::string& path) {
    const std::string name = platform::ExtractFileName(path);
    if (!support::IsValidUtf8(name))
        throw std::runtime_error(support::Format(texts::kNameNotWritable, support::SanitizeUtf8(name)));
}

}  // namespace

void TResItem::LoadFromFile(const std::string& path) {
    if (!platform::FileExists(path)) return;
    CheckWritableName(path);
    MemStream = platform::ReadFileBytes(path);
    Name = platform::ExtractFileName(path);
    OptType = support::SameText(platform::ExtractFileExt(path), ".bat") ? otExecute : otCopy;
}

TResItem& TResCollection::AddFile(const std::string& path) {
    CheckWritableName(path);
    if (TResItem* old = FindByName(platform::ExtractFileName(path))) Destroy(*old);
    TResItem& item = Create<TResItem>();
    item.LoadFromFile(path);
    return item;
}

TResItem* TResCollection::FindByName(std::string_view name) const {
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [&](const TResItem* i) { return support::SameText(i->Name, name); });
    return it == items_.end() ? nullptr : *it;
}

TResItem* TResCollection::FindByOptType(TKVOperateType type) const {
    const auto it =
        std::find_if(items_.begin(), items_.end(), [&](const TResItem* i) { return i->OptType == type; });
    return it == items_.end() ? nullptr : *it;
}

void TResCollection::MoveItem(std::size_t from, std::size_t to) {
    if (from >= items_.size() || to >= items_.size())
        throw std::out_of_range("TResCollection::MoveItem: index out of range");
    TResItem* item = items_[from];
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(from));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(to), item);
}

bool TResCollection::HasNoUserFiles() const {
    return std::all_of(items_.begin(), items_.end(),
                       [](const TResItem* i) { return i->OptType == otProgram || i->OptType == otVersion; });
}

}  // namespace kestrane::patch
