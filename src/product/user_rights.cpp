#include "product/user_rights.h"

#include <zlib.h>

#include <cstdio>
#include <map>
#include <vector>

#include "db/connect.h"
#include "db/connection.h"
#include "platform/file_system.h"
#include "product/texts.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::product {

using support::Format;
using support::GuidToHex;

namespace {

// The access row the transfer grants: the account set as resource, the first right only.
constexpr int kResTypeAccountSet = 11;
constexpr int kAccessAck = 1;
constexpr std::uint16_t kAccessFlag = 3;

struct CentralMember {
    support::TGuid uid;
    std::string code;
};

}  // namespace

support::TGuid HexToGuid(std::string_view hex) {
    support::GuidBytes bytes{};
    for (std::size_t i = 0; i < bytes.size() && 2 * i + 1 < hex.size(); ++i) {
        const int high = support::HexDigitValue(hex[2 * i]), low = support::HexDigitValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) break;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return support::GuidFromBytes(bytes);
}

std::uint32_t RightsMask(const std::array<int, 15>& states) {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (states[i] == 1 || states[i] == 3) mask |= 1u << i;
        if (states[i] == 2 || states[i] == 3) mask |= 1u << (i + 16);
    }
    return mask;
}

std::uint32_t Crc32Raw(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes at most a uInt at a time.
    while (!bytes.empty()) {
        const uInt piece = static_cast<uInt>(std::min<std::size_t>(bytes.size(), 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), piece);
        bytes.remove_prefix(piece);
    }
    return ~static_cast<std::uint32_t>(crc);
}

std::int32_t AclCrc(std::string_view userHex, std::string_view resHex, std::uint32_t mask,
                    std::uint16_t flag) {
    std::string text = std::string(userHex) + std::string(resHex);
    char figures[13];
    std::snprintf(figures, sizeof figures, "%08X%04X", static_cast<unsigned>(mask),
                  static_cast<unsigned>(flag));
    text.insert(std::min<std::size_t>(19, text.size()), figures);
    return static_cast<std::int32_t>(Crc32Raw(text));
}

bool ConfigDatabaseExists(const std::string& dir) {
    return platform::FileExists(platform::IncludeTrailingPathDelimiter(dir) + texts::kConfigDatabase);
}

void TLumoServiceMng::TransferUserRights(TLmbFileMng& fileMng) {
    TransferUserRights(fileMng.Servers(), fileMng.AccountSets());
}

void TLumoServiceMng::TransferUserRights(const support::TDBInfoArray& servers,
                                         const support::TInstArray& accountSets) {
    db::Connection central, local;
    std::array<int, 15> granted{};
    granted[0] = 1;
    const std::uint32_t grantedMask = RightsMask(granted);
    for (const support::TDBInfoRec& server : servers) {
        central.Close();
        central.SetConnectionString(db::BuildConnectionString(server, texts::kCentralCatalog));
        central.Open();
        // A snapshot: the replacements below do not change what later members are compared with.
        std::vector<CentralMember> members;
        for (auto rows = central.Execute(texts::kSelectMembers); rows && !rows->Eof(); rows->MoveNext())
            members.push_back({HexToGuid(rows->Value("UID").AsString()), rows->Value("Code").AsString()});
        // What the catalogue holds as the replacements go, by identifier: a member is never put beside
        // a row of its own identifier.
        std::map<std::string, std::string> present;
        for (const CentralMember& c : members) present[GuidToHex(c.uid)] = c.code;

        for (const support::TInstanceRec& set : accountSets) {
            if (set.DBInfo.DBType != server.DBType || set.DBInfo.Server != server.Server) continue;
            local.Close();
            local.SetConnectionString(db::BuildConnectionString(server, set.DBName));
            local.Open();
            const std::string instanceHex = GuidToHex(set.InstanceID);
            for (auto m = local.Execute(texts::kSelectMembers); m && !m->Eof(); m->MoveNext()) {
                const support::TGuid uid = HexToGuid(m->Value("UID").AsString());
                const std::string code = m->Value("Code").AsString();
                const std::string upper = support::UpperCase(code);
                if (upper == "ADMIN" || upper == "SYSTEM") continue;
                std::vector<const CentralMember*> clashes;
                for (const CentralMember& c : members)
                    if ((uid == c.uid) != (code == c.code)) clashes.push_back(&c);
                if (clashes.empty()) continue;

                const std::string uidHex = GuidToHex(uid);
                // Made first: a row that cannot be copied must not cost the central members it replaces.
                const std::string insert =
                    Format(texts::kInsertMember, uidHex, support::QuotedSqlText(m->Value("Name").AsString()),
                           support::QuotedSqlText(code), support::QuotedSqlText(m->Value("Psdc").AsString()),
                           support::QuotedSqlText(m->Value("Descript").AsString()),
                           m->Value("Attr").AsInt64(), m->Value("CRC").AsInt64());
                // Every central member it clashes with goes; the member comes once, with one access row.
                for (const CentralMember* c : clashes) {
                    const std::string old = GuidToHex(c->uid);
                    central.Execute(Format(texts::kDeleteMember, old));
                    central.Execute(Format(texts::kDeleteMemberLinks, old));
                    central.Execute(Format(texts::kDeleteMemberAccess, old));
                    present.erase(old);
                }
                // Its identical row stays; a row of its identifier under another code (one an earlier
                // account set put there) gives way to it, keeping the identifier's links and access.
                const auto own = present.find(uidHex);
                if (own == present.end() || own->second != code) {
                    if (own != present.end()) central.Execute(Format(texts::kDeleteMember, uidHex));
                    central.Execute(insert);
                    present[uidHex] = code;
                } else {
                    // The row that stays may hold this account set's access already.
                    central.Execute(
                        Format(texts::kDeleteAccountSetAccess, uidHex, instanceHex, kResTypeAccountSet));
                }
                central.Execute(Format(texts::kInsertAccess, uidHex, instanceHex, kResTypeAccountSet,
                                       kAccessAck, kAccessFlag,
                                       AclCrc(uidHex, instanceHex, grantedMask, kAccessFlag)));
                if (OnMessage)
                    for (const CentralMember* c : clashes)
                        OnMessage(this, Format(texts::kRightsMoved, instanceHex, GuidToHex(c->uid), uidHex,
                                               c->code, code));
            }
            local.Close();
        }
    }
}

}  // namespace kestrane::product
