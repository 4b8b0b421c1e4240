// Test helpers shared by the test binaries: a temporary folder, as an object or as a fixture, and
// files in it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrane::testing {

// The whole content of a file; empty when it cannot be read.
inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The names in a folder, sorted: what a test expects to find there, temporaries included.
inline std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder under the system's temporary folder, removed with everything in it when the object
// goes.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrane-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
        path_ = pattern + "/";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending in "/".
    const std::string& Path() const { return path_; }
    // The folder as a path, without the "/" at its end.
    std::filesystem::path Root() const { return std::filesystem::path(path_).parent_path(); }
    // `name` inside the folder.
    std::string File(const std::string& name) const { return path_ + name; }
    // Writes `content` to `path` (relative paths are taken inside the folder), creating its folders;
    // returns the full path.
    std::string Put(const std::string& path, const std::string& content) const {
        const std::filesystem::path full = std::filesystem::path(path_) / path;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << content;
        return full.string();
    }

  private:
    std::string path_;
};

// Each test gets a fresh folder `dir_` (ending in "/"); it is removed with everything in it when the
// test ends.
class TempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_.emplace();
        dir_ = folder_->Path();
    }
    void TearDown() override { folder_.reset(); }

    std::string Put(const std::string& path, const std::string& content) const {
        return folder_->Put(path, content);
    }
    static std::string Slurp(const std::string& path) { return kestrane::testing::Slurp(path); }

    std::optional<TempFolder> folder_;
    std::string dir_;
};

}  // namespace kestrane::testing
