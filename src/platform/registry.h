// The registry of this platform: keys and values of a REGEDIT4 text file, $KESTRANE_REGISTRY or else
// /etc/kestrane/registry.reg. Read-only: a key is opened, never created.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::platform {

class ERegistryError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class RegRoot { LocalMachine, CurrentUser, ClassesRoot, Users, CurrentConfig };

enum class RegDataType { String, ExpandString, MultiString, DWord, QWord, Binary, Other };

struct RegValue {
    std::string name;  // as written; "" is the key's default value
    RegDataType type = RegDataType::String;
    std::string text;                // String, ExpandString (UTF-8); MultiString joined by '\n'
    std::uint64_t number = 0;        // DWord, QWord
    std::vector<std::uint8_t> data;  // the raw bytes of every hex form
};

class RegistryKey {
  public:
    const std::string& Path() const { return path_; }
    bool ValueExists(std::string_view name) const;
    // Empty when the value is absent; throws ERegistryError when it holds no text.
    std::string ReadString(std::string_view name) const;
    const RegValue* FindValue(std::string_view name) const;
    std::vector<std::string> ValueNames() const;

  private:
    friend class Registry;
    std::string path_;
    std::map<std::string, RegValue> values_;  // by upper-cased name
};

class Registry {
  public:
    // $KESTRANE_REGISTRY when set and not empty, else /etc/kestrane/registry.reg.
    static std::string DefaultPath();
    // The default file; a missing file is an empty registry, a malformed one throws ERegistryError.
    static Registry Load();
    static Registry LoadFile(const std::string& path);
    // REGEDIT4 or version-5 text (UTF-8, UTF-16LE with BOM, or code page 936 bytes).
    static Registry Parse(std::string_view bytes);

    // `path` below the root, '\' separated; leading, trailing and doubled separators are ignored,
    // letter case is not significant. Nothing when the key does not exist.
    const RegistryKey* OpenKey(RegRoot root, std::string_view path) const;
    bool KeyExists(RegRoot root, std::string_view path) const { return OpenKey(root, path) != nullptr; }

  private:
    std::map<std::string, RegistryKey> keys_;  // by upper-cased full path "ROOT\A\B"
};

}  // namespace kestrane::platform
