#include "db/memory_recordset.h"

#include "db/texts.h"
#include "support/format.h"

namespace kestrane::db {

namespace {
const Variant kEmpty;

FieldInfo ColumnsField(const char* name) {
    const std::string n = name;
    if (n == "ORDINAL_POSITION" || n == "COLUMN_FLAGS" || n == "CHARACTER_MAXIMUM_LENGTH" ||
        n == "CHARACTER_OCTET_LENGTH" || n == "DATETIME_PRECISION" || n == "COLUMN_PROPID")
        return {n, adUnsignedInt, 4};
    if (n == "DATA_TYPE" || n == "NUMERIC_PRECISION") return {n, adUnsignedSmallInt, 2};
    if (n == "NUMERIC_SCALE") return {n, adSmallInt, 2};
    if (n == "COLUMN_HASDEFAULT" || n == "IS_NULLABLE") return {n, adBoolean, 2};
    if (n == "COLUMN_GUID" || n == "TYPE_GUID") return {n, adGUID, 16};
    return {n, adVarWChar, 128};
}
}  // namespace

MemoryRecordset::MemoryRecordset(std::initializer_list<const char*> names) {
    for (const char* n : names) fields_.push_back({n, adVarWChar, 255});
}

void MemoryRecordset::AddRow(std::vector<Variant> values) {
    values.resize(fields_.size(), Variant::Null());
    rows_.push_back(std::move(values));
}

void MemoryRecordset::SetValue(std::size_t row, int field, Variant value) {
    rows_.at(row).at(static_cast<std::size_t>(field)) = std::move(value);
}

void MemoryRecordset::MoveNext() {
    if (pos_ >= rows_.size()) throw EDatabaseError(kTxtEofReached);
    ++pos_;
}

const FieldInfo& MemoryRecordset::Field(int index) const {
    if (index < 0 || index >= FieldCount()) throw EDatabaseError(support::Format(kTxtFieldIndex, index));
    return fields_[static_cast<std::size_t>(index)];
}

const Variant& MemoryRecordset::Value(int index) const {
    Field(index);
    if (Eof()) return kEmpty;
    return rows_[pos_][static_cast<std::size_t>(index)];
}

std::unique_ptr<MemoryRecordset> NewColumnsRowset() {
    auto rs = std::make_unique<MemoryRecordset>();
    for (const char* n : kColumnsSchemaFields) rs->AddField(ColumnsField(n));
    return rs;
}

std::unique_ptr<MemoryRecordset> NewTablesRowset() {
    auto rs = std::make_unique<MemoryRecordset>();
    for (const char* n : kTablesSchemaFields) rs->AddField({n, adVarWChar, 128});
    return rs;
}

}  // namespace kestrane::db
