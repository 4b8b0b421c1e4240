// An installation folder built by hand: store value files laid out byte by byte (zlib stream,
// complemented, 32-bit trailer), configuration files and embedded account sets as SQLite files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../common/temp_folder.h"
#include "../framework/byte_builder.h"
#include "db/connection.h"
#include "support/guid.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace kestrane::testing {

namespace fs = std::filesystem;

inline std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& plain, int level = 1) {
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    std::vector<std::uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, plain.data(), static_cast<uLong>(plain.size()), level), Z_OK);
    out.resize(size);
    return out;
}

// The file content of a stored value: complemented zlib stream, then the plain length.
inline std::vector<std::uint8_t> StoredValueFile(const std::vector<std::uint8_t>& plain) {
    std::vector<std::uint8_t> file = Deflate(plain);
    for (auto& b : file) b = static_cast<std::uint8_t>(~b);
    ByteBuilder trailer;
    trailer.i32(static_cast<std::int32_t>(plain.size()));
    file.insert(file.end(), trailer.get().begin(), trailer.get().end());
    return file;
}

struct StoredInstInfo {
    std::string name, text;
    std::string guid = "{00000000-0000-0000-0000-000000000000}";
    std::uint32_t ref = 0;
    std::uint8_t state = 0;
};

// Value 2: record header 0x54, count, then 32-byte records.
inline std::vector<std::uint8_t> StoredInstInfos(const std::vector<StoredInstInfo>& infos) {
    ByteBuilder b;
    b.u8(24).u8(0x54).i32(static_cast<std::int32_t>(infos.size()));
    for (const auto& i : infos) {
        b.text(i.name).text(i.text);
        for (std::uint8_t g : support::GuidToBytes(support::StringToGuid(i.guid))) b.u8(g);
        b.i32(static_cast<std::int32_t>(i.ref)).u8(i.state).bytes({0, 0, 0});
    }
    return b;
}

inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    return support::HexText(bytes);
}

class InstallFolder : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        root_ = dir_.substr(0, dir_.size() - 1);
    }

    std::string Dir() const { return root_.string() + "/"; }
    std::string Sub(const std::string& name) const {
        fs::create_directories(root_ / name);
        return (root_ / name).string();
    }
    void Put(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream(root_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void PutText(const std::string& name, const std::string& text) const {
        std::ofstream(root_ / name, std::ios::binary) << text;
    }
    std::vector<std::uint8_t> Get(const std::string& name) const {
        std::ifstream in(root_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void PutValue(int value, int key, const std::vector<std::uint8_t>& plain) const {
        Put("lumo_bd_" + std::to_string(value) + "_" + std::to_string(key) + ".lmb", StoredValueFile(plain));
    }
    // The plain bytes of a stored value file, decoded here with zlib itself.
    std::vector<std::uint8_t> ValueOf(int value, int key) const {
        std::vector<std::uint8_t> file =
            Get("lumo_bd_" + std::to_string(value) + "_" + std::to_string(key) + ".lmb");
        EXPECT_GE(file.size(), 4u);
        if (file.size() < 4) return {};
        const std::size_t n = file.size() - 4;
        uLongf size = support::LoadLittleEndian<std::uint32_t>(file.data() + n);
        std::vector<std::uint8_t> stream(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
        for (auto& b : stream) b = static_cast<std::uint8_t>(~b);
        std::vector<std::uint8_t> plain(size);
        EXPECT_EQ(uncompress(plain.data(), &size, stream.data(), static_cast<uLong>(stream.size())), Z_OK);
        plain.resize(size);
        return plain;
    }

  public:
    // An embedded account set: "<folder>/<name>.mdb" with Sys_Accounts holding one row.
    static void MakeAccountSet(const std::string& folder, const std::string& name, const std::string& account,
                               const std::string& instanceId, const char* version = "8.1") {
        const std::string cs = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + "/" + name + ".mdb";
        db::CreateJetDatabase(cs);
        db::Connection c(cs);
        c.Open();
        if (version) {
            c.Execute(
                "create table Sys_Accounts (AccountName varchar(80), InstanceID varchar(38), ZTVersion "
                "varchar(20))");
            c.Execute("insert into Sys_Accounts values ('" + account + "', '" + instanceId + "', '" +
                      version + "')");
        } else {
            c.Execute("create table Sys_Accounts (AccountName varchar(80), InstanceID varchar(38))");
            c.Execute("insert into Sys_Accounts values ('" + account + "', '" + instanceId + "')");
        }
    }
    static void Exec(const std::string& file, const std::string& sql) {
        db::Connection c("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file);
        c.Open();
        c.Execute(sql);
    }

  protected:
    fs::path root_;
};

inline StoredFactory EmbeddedFactory(std::int16_t id, const std::string& folder,
                                     std::vector<std::string> names) {
    StoredFactory f = SimpleFactory("Microsoft.Jet.OLEDB.4.0", folder);
    f.factoryId = id;
    std::int16_t ctlg = 1024;
    for (auto& n : names) f.catalogs.push_back({n, "", "", "", ctlg++, 0, 0});
    return f;
}

}  // namespace kestrane::testing
