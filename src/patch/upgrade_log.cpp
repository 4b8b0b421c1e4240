#include "patch/upgrade_log.h"

#include <exception>

#include "patch/item_texts.h"
#include "platform/file_system.h"
#include "platform/ini.h"
#include "platform/local_time.h"
#include "support/format.h"

namespace kestrane::patch {

TLogManager::TLogManager(const std::string& folder)
    : folder_(platform::IncludeTrailingPathDelimiter(folder)) {}

std::string TLogManager::FileName() const {
    return folder_ + texts::kUpgradeLogFile;
}

bool TLogManager::Write(const std::string& text) {
    platform::ForceDirectories(folder_);
    // Re-reading as an INI file normalises the earlier runs' lines; that is the file's format.
    platform::MemIniFile ini(FileName());
    const std::time_t now = Now ? Now() : std::time(nullptr);
    ini.WriteString(std::string(texts::kUpgradeLogSection) + UpgradeLogTimeStamp(now), texts::kUpgradeLogKey,
                    "\r\n" + text);
    ini.UpdateFile();
    return true;
}

std::string UpgradeLogTimeStamp(std::time_t t) {
    const auto local = platform::LocalTime(t);
    if (!local) return std::to_string(t);
    return support::Format(texts::kUpgradeLogStamp, local->year, local->month, local->day, local->hour,
                           local->minute, local->second);
}

bool WriteUpgradeLog(const std::string& folder, const std::string& text) {
    try {
        TLogManager manager(folder);
        return manager.Write(text);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace kestrane::patch
