// The patch parameters: the run-time requirements streamed as "PARAMDATA" and the working state of a
// run that every page and both runs share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "patch/progress.h"
#include "patch/res_base.h"
#include "patch/res_items.h"
#include "support/kv_types.h"

namespace kestrane::patch {

// Which tool the program is: the patch maker or the installer of the patch it carries.
enum TRunMode : std::uint8_t { rmMaker = 0, rmInstaller = 1 };

// Bits of ResultFlags, the outcome of an install run.
enum TResultFlag : std::uint8_t { rfCompleted = 2, rfFailed = 4, rfReminders = 8 };

class TBaseParamInfo : public TResBase {
  public:
    // Sets the initial values and parses the default list of programs to close.
    TBaseParamInfo();

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    // Streamed.
    std::string RegInstallPath;
    std::int32_t NeedFreeDiskMB = 0;
    std::int32_t NeedFreeMemMB = 0;
    const std::string& NeedCloseFileNames() const { return needCloseFileNames_; }
    // Stores the text and parses the close list at once.
    void SetNeedCloseFileNames(std::string value);
    bool NotBackup = false;

    // The kinds of database of the selected account sets.
    support::TKVDataBaseTypes SelectedDBSQLTypes() const { return GetSelectedDBSQLTypes(); }
    support::TKVDataBaseTypes GetSelectedDBSQLTypes() const;

    // The close list: one entry per program that must not run during installation.
    std::size_t CloseFileCount() const { return closeList_.size(); }
    const std::string& CloseFileName(std::size_t i) const;
    const std::string& CloseFileCaption(std::size_t i) const;

    // Working state, not streamed.
    TRunMode RunMode = rmMaker;
    TKVPatchType PatchType = ptNone;
    bool NotCheckVersion = false;
    bool NotUpdateVersion = false;
    std::string PatchFileName;
    std::string ProgramDir;   // with a trailing delimiter
    std::string InstallPath;  // with a trailing delimiter, or empty
    support::TDBInfoArray DBInfos;
    support::TInstArray Instances;
    TProgressEvent OnProgress;
    std::uint8_t ResultFlags = 0;  // TResultFlag bits

  private:
    struct CloseEntry {
        std::string fileName;
        std::string caption;
    };
    std::string needCloseFileNames_;
    std::vector<CloseEntry> closeList_;
};

}  // namespace kestrane::patch
