// The part of a driver's forward cursor that every driver shares: the fields, the values of the
// current row, the end mark, and a row count taken once.
#pragma once

#include <optional>
#include <vector>

#include "db/connection.h"

namespace kestrane::db {

class CursorRecordset : public Recordset {
  public:
    bool Eof() const override { return eof_; }
    // Starting again is free while the cursor still stands on its first row: a copy that opens its
    // rows and then moves to the first does not run the statement twice.
    void MoveFirst() override;
    void MoveNext() override;
    std::int64_t RecordCount() override;
    int FieldCount() const override { return static_cast<int>(fields_.size()); }
    const FieldInfo& Field(int index) const override;
    const Variant& Value(int index) const override;
    using Recordset::Value;

  protected:
    // Reads the next row into values_, or sets eof_ and empties them.
    virtual void Fetch() = 0;
    // Runs the statement again and reads its first row.
    virtual void Restart() = 0;
    // Counts the rows of the whole result without moving this cursor.
    virtual std::int64_t CountRows() = 0;
    // Sizes the values to the fields; called once the fields are known.
    void FieldsKnown() { values_.assign(fields_.size(), Variant()); }

    std::vector<FieldInfo> fields_;
    mutable std::vector<Variant> values_;  // a driver may read them only when asked for
    bool eof_ = true;

  private:
    std::optional<std::int64_t> count_;
    bool atFirst_ = true;  // the drivers read the first row when they open
};

}  // namespace kestrane::db
