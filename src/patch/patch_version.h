// The patch version descriptor: which program and account-set versions a patch brings and to which
// installed versions it applies. The author imports it as an XML file; it travels as the otVersion
// program-file item.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "patch/res_items.h"
#include "support/kv_types.h"

namespace kestrane::patch {

// What a version test looks at: the installed program ("Update.upf"), an account set's ZTVersion, or
// both in that order.
enum TVersionCheckKind : int { vkProgram = 1, vkAccountSet = 2, vkBoth = 3 };

// A descriptor that is not well-formed XML; the message is the parser's.
class EVersionFormatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct TVersionPair {
    std::string Tag;   // what versions are compared by
    std::string Name;  // for display
    bool operator==(const TVersionPair&) const = default;
};
using TVersionArray = std::vector<TVersionPair>;

// Statements on one account set's database, for stamping its version; the database layer supplies
// it. Both raise the client's error.
class TAccountSetStatements {
  public:
    virtual ~TAccountSetStatements() = default;
    // Closes an earlier connection and connects to DBName on that server.
    virtual void Connect(const support::TDBInfoRec& DBInfo, const std::string& DBName) = 0;
    virtual void ExecSQL(const std::string& sql) = 0;
};

class TPatchVersion {
  public:
    std::uint8_t Type = 0;  // the TKVPatchType values 0..3
    std::string PatchNo;
    std::string PatchName;
    std::string Description;
    std::string ProgramNewTag;
    std::string ProgramNewName;
    std::string InstanceNewTag;
    std::string InstanceNewName;
    TVersionArray ProgramVersions;
    TVersionArray InstanceVersions;

    // The folder used when an installation folder is empty: the running executable's, unless set.
    std::string ProgramDir;

    // Parses the file when it exists; a missing file changes nothing. Throws EVersionFormatError.
    void LoadFromFile(const std::string& path);
    // Parses the content of the otVersion item. Elements are found by their exact names; a leaf gives
    // its text without surrounding blanks, or nothing when it holds elements; the fields of a missing
    // "program" or "instance" keep their values. UTF-8, UTF-16 and the Chinese code page (as declared)
    // are read. Throws EVersionFormatError, the fields as they were.
    void LoadFromStream(std::span<const std::uint8_t> bytes);
    // True once a descriptor has been parsed into this object.
    bool Loaded() const { return loaded_; }

    // Kind 1 the program, 2 the account set, 3 both; any other kind is False.
    bool IsApplicable(int kind, const std::string& installDir, const std::string& accountSetVersion) const;
    // True for an empty value, else when a listed tag equals it ignoring letter case.
    static bool VersionListed(const TVersionArray& list, const std::string& value);

    // After a successful install: the program's tag into "Update.upf", the account sets' tag into the
    // ZTVersion of every selected account set. Nothing at all without "Update.upf". A failing update
    // of an account set raises.
    void StampNewVersion(TKVPatchType patchType, const std::string& installDir,
                         const support::TInstArray& instances, TAccountSetStatements& statements) const;

  private:
    // "Update.upf" in the installation folder, or in ProgramDir when none is given.
    std::string VersionFile(const std::string& installDir) const;
    bool ProgramApplicable(const std::string& installDir) const;

    bool loaded_ = false;
};

}  // namespace kestrane::patch
