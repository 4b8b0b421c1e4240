// Records and enumerations shared by the patch model, the database engine and product integration.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/guid.h"

namespace kestrane::support {

enum TKVDataBaseType : std::uint8_t { dbtMsSql = 0, dbtOracle = 1, dbAccess = 2 };

// Set of database kinds, one bit per TKVDataBaseType value.
class TKVDataBaseTypes {
  public:
    void Include(TKVDataBaseType t) { bits_ |= Bit(t); }
    void Exclude(TKVDataBaseType t) { bits_ &= static_cast<std::uint8_t>(~Bit(t)); }
    bool Contains(TKVDataBaseType t) const { return (bits_ & Bit(t)) != 0; }
    bool Empty() const { return bits_ == 0; }
    bool operator==(const TKVDataBaseTypes&) const = default;

  private:
    static std::uint8_t Bit(TKVDataBaseType t) { return static_cast<std::uint8_t>(1u << t); }
    std::uint8_t bits_ = 0;
};

// One database server.
struct TDBInfoRec {
    TKVDataBaseType DBType = dbtMsSql;
    bool Integrated = false;
    std::string Server;
    std::int32_t Port = 0;
    std::string SID;
    std::string User;
    std::string Password;
    bool operator==(const TDBInfoRec&) const = default;
};

// One account set.
struct TInstanceRec {
    std::string DBName;
    std::string AccountName;
    std::string Version;
    TDBInfoRec DBInfo;
    bool Selected = false;
    TGuid InstanceID;
    bool operator==(const TInstanceRec&) const = default;
};

using TDBInfoArray = std::vector<TDBInfoRec>;
using TInstArray = std::vector<TInstanceRec>;

}  // namespace kestrane::support
