// Descriptions of the streamed classes: each class lists the properties it declares, and one generic
// writer and reader serve every class through these descriptions.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace kestrane::patch {

class TResBase;

enum class PropKind : std::uint8_t { Integer, Boolean, Enumeration, Text };

// The value names of an enumeration; the value with ordinal i is names[i].
struct EnumTypeInfo {
    std::string_view typeName;
    std::span<const std::string_view> names;
};

// One published property. Ordinal kinds (integer, Boolean, enumeration) go through getOrdinal and
// setOrdinal; texts through getText and setText.
struct PropInfo {
    std::string_view name;
    PropKind kind = PropKind::Integer;
    const EnumTypeInfo* enumType = nullptr;  // kind Enumeration only
    bool stored = true;                      // false: accepted on reading, never written
    bool hasDefault = false;                 // with a default, a value equal to it is not written
    std::int32_t defaultValue = 0;
    std::int32_t (*getOrdinal)(const TResBase&) = nullptr;
    void (*setOrdinal)(TResBase&, std::int32_t) = nullptr;
    const std::string& (*getText)(const TResBase&) = nullptr;
    void (*setText)(TResBase&, std::string) = nullptr;
};

// The custom property "FILEDATA": a byte buffer of the object, streamed compressed without a tag.
struct FileDataAccess {
    const support::Bytes& (*get)(const TResBase&) = nullptr;
    support::Bytes& (*edit)(TResBase&) = nullptr;
};

class TClassInfo {
  public:
    using Factory = std::unique_ptr<TResBase> (*)();

    // `declared` are this class's own properties in declaration order. One named like a property of a
    // base class replaces it at the base's position.
    TClassInfo(std::string_view name, const TClassInfo* parent, std::vector<PropInfo> declared,
               Factory create, FileDataAccess fileData = {});
    TClassInfo(const TClassInfo&) = delete;
    TClassInfo& operator=(const TClassInfo&) = delete;

    std::string_view Name() const { return name_; }
    const TClassInfo* Parent() const { return parent_; }
    // Every property of the class, base classes first: the stream order.
    const std::vector<PropInfo>& Properties() const { return properties_; }
    const PropInfo* FindProperty(std::string_view name) const;  // letter case ignored
    bool HasFileData() const { return fileData_.get != nullptr; }
    const FileDataAccess& FileData() const { return fileData_; }
    bool InheritsFrom(const TClassInfo& other) const;
    bool CanCreate() const { return create_ != nullptr; }
    std::unique_ptr<TResBase> Create() const;

  private:
    std::string_view name_;
    const TClassInfo* parent_;
    std::vector<PropInfo> properties_;
    Factory create_;
    FileDataAccess fileData_;
};

}  // namespace kestrane::patch
