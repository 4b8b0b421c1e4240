// Test helpers shared by the test binaries: a temporary folder per test, and files in it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kestrane::testing {

// The whole content of a file; empty when it cannot be read.
inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Each test gets a fresh folder `dir_` (ending in "/") under the system's temporary folder; it is
// removed with everything in it when the test ends.
class TempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrane-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Writes `content` to `path` (relative paths are taken inside dir_), creating its folders;
    // returns the full path.
    std::string Put(const std::string& path, const std::string& content) const {
        const std::filesystem::path full = std::filesystem::path(dir_) / path;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << content;
        return full.string();
    }
    static std::string Slurp(const std::string& path) { return kestrane::testing::Slurp(path); }

    std::string dir_;
};

}  // namespace kestrane::testing
