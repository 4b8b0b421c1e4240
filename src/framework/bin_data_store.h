// The product's value store: one file per value in the installation folder, named
// "lumo_bd_<value>_<key>" + postfix + ".lmb", holding the stored bytes and a 32-bit trailer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/base.h"
#include "support/guid.h"
#include "support/variant.h"

namespace kestrane::framework {

// {1DC8A914-7F04-4E9B-A967-40CC7B758750}
inline constexpr support::TGuid IID_IQELBinDataProvider{
    0x1DC8A914, 0x7F04, 0x4E9B, {0xA9, 0x67, 0x40, 0xCC, 0x7B, 0x75, 0x87, 0x50}};
// {6AC38416-F835-4A6A-87F1-549EB036D318}
inline constexpr support::TGuid DefaultAppId{
    0x6AC38416, 0xF835, 0x4A6A, {0x87, 0xF1, 0x54, 0x9E, 0xB0, 0x36, 0xD3, 0x18}};

struct TQELStoredValue {
    bool Found = false;
    support::Bytes Bytes;
    std::int32_t Trailer = 0;
};

class IQELBinDataProvider {
  public:
    virtual ~IQELBinDataProvider() = default;
    virtual void ClearValue(std::int32_t value, std::uint8_t key) = 0;
    virtual TQELStoredValue ReadValue(std::int32_t value, std::uint8_t key) = 0;
    // True when the file was newly created.
    virtual bool WriteValue(const support::Bytes& bytes, std::int32_t value, std::uint8_t key,
                            std::int32_t trailer) = 0;
};

// The server application identifier from the text of "Lumo_SvrAppID": a GUID written without braces
// in its first 36 characters, DefaultAppId when empty, else one derived from the text.
support::TGuid ServerAppIdFromText(const std::string& text);
// Worked out once per process from the environment.
const support::TGuid& ServerAppId();
// "Lumo_LMBFilePostfix" when not empty; else "_" and the 32 digits of an identifier other than
// DefaultAppId; else empty.
std::string StorePostfix(const std::string& lmbFilePostfix, const support::TGuid& appId);

class TQELSBDFProvider : public TQELIntfObj, public IQELBinDataProvider {
  public:
    // dir ends with a path delimiter; the postfix is fixed here from the environment.
    explicit TQELSBDFProvider(std::string dir);
    TQELSBDFProvider(std::string dir, std::string postfix);
    std::string ClassName() const override { return "TQELSBDFProvider"; }

    std::string FileName(std::int32_t value, std::uint8_t key) const;
    const std::string& Postfix() const { return postfix_; }

    void ClearValue(std::int32_t value, std::uint8_t key) override;
    TQELStoredValue ReadValue(std::int32_t value, std::uint8_t key) override;
    // Writes a new file in the store folder and renames it over the value, so that a crash leaves
    // either the old value or the new one. A full disk raises 1024 "WriteBlobToDisk( Disk Full )",
    // another failure 1030.
    bool WriteValue(const support::Bytes& bytes, std::int32_t value, std::uint8_t key,
                    std::int32_t trailer) override;

  private:
    [[noreturn]] void SystemFailure(int error) const;
    std::string dir_;
    std::string postfix_;
};

}  // namespace kestrane::framework
