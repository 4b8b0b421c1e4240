// A record set whose rows are held in memory: schema rowsets, scripted results of the recording
// driver, and small results built by code.
#pragma once

#include <initializer_list>
#include <vector>

#include "db/connection.h"

namespace kestrane::db {

class MemoryRecordset : public Recordset {
  public:
    MemoryRecordset() = default;
    explicit MemoryRecordset(std::vector<FieldInfo> fields) : fields_(std::move(fields)) {}
    // Fields by name only, all typed as text.
    MemoryRecordset(std::initializer_list<const char*> names);

    void AddField(FieldInfo field) { fields_.push_back(std::move(field)); }
    // Values in field order; missing trailing values are null.
    void AddRow(std::vector<Variant> values);
    void SetValue(std::size_t row, int field, Variant value);
    std::size_t RowCountHeld() const { return rows_.size(); }

    bool Eof() const override { return pos_ >= rows_.size(); }
    void MoveFirst() override { pos_ = 0; }
    void MoveNext() override;
    std::int64_t RecordCount() override { return static_cast<std::int64_t>(rows_.size()); }
    int FieldCount() const override { return static_cast<int>(fields_.size()); }
    const FieldInfo& Field(int index) const override;
    const Variant& Value(int index) const override;
    using Recordset::Value;

  private:
    std::vector<FieldInfo> fields_;
    std::vector<std::vector<Variant>> rows_;
    std::size_t pos_ = 0;
};

// An empty columns schema rowset with the OLE DB field names and their types.
std::unique_ptr<MemoryRecordset> NewColumnsRowset();
std::unique_ptr<MemoryRecordset> NewTablesRowset();

}  // namespace kestrane::db
