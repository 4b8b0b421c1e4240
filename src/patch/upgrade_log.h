// The upgrade log "PatchLog.log": one dated section per install run, appended to the INI-style file
// in the product's installation folder, and the message sink the runs report their lines to.
#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace kestrane::patch {

// Message lines of a run: sender and one complete line.
using TLogEvent = std::function<void(const void* sender, const std::string& msg)>;

class TLogManager {
  public:
    explicit TLogManager(const std::string& folder);  // kept with a trailing path delimiter

    const std::string& Folder() const { return folder_; }
    std::string FileName() const;

    // Writes `text` as the section of the current second, replacing the key of a section of that
    // name; the whole file is rewritten in code page 936. True when written; throws on failure.
    bool Write(const std::string& text);

    // The clock of the section names; the system time unless set.
    std::function<std::time_t()> Now;

  private:
    std::string folder_;
};

// Local date and time of a section name, e.g. "2026-12-10 09:13:04".
std::string UpgradeLogTimeStamp(std::time_t t);

// Write through a TLogManager for `folder`; any failure gives False.
bool WriteUpgradeLog(const std::string& folder, const std::string& text);

}  // namespace kestrane::patch
