// Builds expected byte strings from the stored layout, independently of the code under test.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/codepage.h"
#include "support/little_endian.h"

namespace kestrane::testing {

class ByteBuilder {
  public:
    ByteBuilder& u8(std::uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    ByteBuilder& bytes(std::initializer_list<std::uint8_t> v) {
        b_.insert(b_.end(), v.begin(), v.end());
        return *this;
    }
    ByteBuilder& raw(const std::string& s) {
        b_.insert(b_.end(), s.begin(), s.end());
        return *this;
    }
    ByteBuilder& i16(std::int16_t v) {
        support::AppendLittleEndian(b_, v);
        return *this;
    }
    ByteBuilder& i32(std::int32_t v) {
        support::AppendLittleEndian(b_, v);
        return *this;
    }
    // A record text: 32-bit length and the code page 936 bytes of a UTF-8 text.
    ByteBuilder& text(const std::string& utf8) {
        const std::string s = support::Utf8ToCp936(utf8);
        return i32(static_cast<std::int32_t>(s.size())).raw(s);
    }
    // Tagged forms.
    ByteBuilder& tagInt32(std::int32_t v) { return u8(4).i32(v); }
    ByteBuilder& tagBool(bool v) { return u8(v ? 0 : 1); }
    ByteBuilder& tagInt8(std::uint8_t v) { return u8(2).u8(v); }

    const std::vector<std::uint8_t>& get() const { return b_; }
    operator std::vector<std::uint8_t>() const { return b_; }

  private:
    std::vector<std::uint8_t> b_;
};

// Value 1's factory in its stored form: item header, record, empty item list, element trailer.
struct StoredCatalog {
    std::string name, user, password, text;
    std::int16_t id = 1024;
    std::uint8_t flags = 0;
    std::int8_t useCount = 0;
};

struct StoredFactory {
    std::string provider, dataSource, user, password, connString, connText;
    std::int32_t commandTimeout = 300, connectTimeout = 5;
    std::vector<StoredCatalog> catalogs;
    std::int16_t factoryId = 1;
};

inline StoredFactory SimpleFactory(std::string provider, std::string dataSource) {
    StoredFactory f;
    f.provider = std::move(provider);
    f.dataSource = std::move(dataSource);
    return f;
}

inline void AppendFactory(ByteBuilder& b, const StoredFactory& f) {
    b.u8(26).i32(static_cast<std::int32_t>(0xF0000001u)).i32(0).u8(0xD0);
    b.u8(24).u8(0x79);
    b.text(f.provider).text(f.dataSource).text(f.user).text(f.password).text(f.connString).text(f.connText);
    b.i32(f.commandTimeout).i32(f.connectTimeout);
    b.i32(static_cast<std::int32_t>(f.catalogs.size()));
    for (const auto& c : f.catalogs) {
        b.text(c.name)
            .text(c.user)
            .text(c.password)
            .text(c.text)
            .i16(c.id)
            .u8(c.flags)
            .u8(static_cast<std::uint8_t>(c.useCount));
    }
    b.i16(f.factoryId).bytes({0, 0});
    b.tagInt32(0);                // the factory's own items
    b.tagBool(false).tagInt8(0);  // element trailer
}

inline std::vector<std::uint8_t> StoredFactories(const std::vector<StoredFactory>& factories) {
    ByteBuilder b;
    b.tagInt32(static_cast<std::int32_t>(factories.size()));
    for (const auto& f : factories) AppendFactory(b, f);
    b.tagBool(false).tagInt8(0);
    return b;
}

}  // namespace kestrane::testing
