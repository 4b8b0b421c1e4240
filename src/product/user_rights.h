// Members of the account sets against the central catalogue "NXCentre": an account set's member that
// clashes with a central one (same identifier under another code, or the same code under another
// identifier) replaces it and is granted that account set.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "product/lmb_file_mng.h"
#include "support/guid.h"
#include "support/kv_types.h"

namespace kestrane::product {

// Identifiers are written by support::GuidToHex (32 upper-case digits of the structure bytes). Read
// back from the tables, unlike support::HexToGuid, any text gives an identifier: pairs of digits of
// either case up to the first character that is not one, never more than 16 bytes, and the bytes a
// short or broken text does not supply are 0.
support::TGuid HexToGuid(std::string_view hex);

// Per right i: state 1 sets bit i, 2 bit i + 16, 3 both; other states nothing.
std::uint32_t RightsMask(const std::array<int, 15>& states);
// CRC-32 (IEEE 802.3, reflected) from all ones, without the final complement.
std::uint32_t Crc32Raw(std::string_view bytes);
// The checksum of an access row: the mask as 8 and the flag as 4 hexadecimal digits put into the two
// identifiers after their 19th character.
std::int32_t AclCrc(std::string_view userHex, std::string_view resHex, std::uint32_t mask,
                    std::uint16_t flag);

// Whether `dir` holds the product's configuration database "LumoConfig.mdb".
bool ConfigDatabaseExists(const std::string& dir);

class TLumoServiceMng {
  public:
    using TMessageEvent = std::function<void(const void* sender, const std::string& text)>;
    TMessageEvent OnMessage;

    // For every server, the members of each of its account sets against its central catalogue. Nothing
    // is caught: a database that cannot be opened or a failing statement raises, and what was changed
    // before stays.
    void TransferUserRights(TLmbFileMng& fileMng);
    void TransferUserRights(const support::TDBInfoArray& servers, const support::TInstArray& accountSets);
};

}  // namespace kestrane::product
