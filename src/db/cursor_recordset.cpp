#include "db/cursor_recordset.h"

#include "db/texts.h"
#include "support/format.h"

namespace kestrane::db {

void CursorRecordset::MoveFirst() {
    if (atFirst_) return;
    Restart();
    atFirst_ = true;
}

void CursorRecordset::MoveNext() {
    if (eof_) throw EDatabaseError(kTxtEofReached);
    atFirst_ = false;
    Fetch();
}

std::int64_t CursorRecordset::RecordCount() {
    if (!count_) count_ = CountRows();
    return *count_;
}

const FieldInfo& CursorRecordset::Field(int index) const {
    if (index < 0 || index >= FieldCount()) throw EDatabaseError(support::Format(kTxtFieldIndex, index));
    return fields_[static_cast<std::size_t>(index)];
}

const Variant& CursorRecordset::Value(int index) const {
    Field(index);
    return values_[static_cast<std::size_t>(index)];
}

}  // namespace kestrane::db
