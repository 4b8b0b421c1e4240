// The business instances of an installation as its store lists them (value 2), and the instance
// element an account-set database keeps in QEL_InstElmnt.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/collection.h"
#include "framework/record.h"
#include "support/guid.h"
#include "support/variant.h"

namespace kestrane::product {

struct TQELInstInfo {
    std::string InstName;
    std::string InstText;
    support::TGuid InstId;
    std::uint32_t InstRef = 0;  // CatalogRef of the instance's catalogue
    std::uint8_t InstState = 0;
    std::array<std::uint8_t, 3> Align{};
    bool operator==(const TQELInstInfo&) const = default;
};

using TQELInstInfoDArray = std::vector<TQELInstInfo>;

const framework::TQELRecType& TQELInstInfoType();
// The stored type of value 2: a dynamic array of 32-byte records, check byte 0x54.
const framework::TQELRecType& TQELInstInfoDArrayType();

// Check byte of the data record that opens a stored instance element.
inline constexpr std::uint8_t kInstDataCheckByte = 0x6F;

// An instance element as far as this program needs it: its leading data record's name text. Every
// byte after that text is kept as it was read and written back unchanged.
class TQELDBInstance : public framework::TQELElement {
  public:
    std::string ClassName() const override { return "TQELDBInstance"; }
    void Persist(framework::TQELWriter* writer, framework::TQELReader* reader) override;

    std::string InstName;
    support::Bytes Remainder;
};

}  // namespace kestrane::product
