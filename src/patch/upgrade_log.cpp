#include "patch/upgrade_log.h"

#include <exception>

#include "patch/item_texts.h"
#include "platform/file_system.h"
#include "platform/ini.h"

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
    std::tm local{};
    if (!::localtime_r(&t, &local)) return std::to_string(t);
    char buffer[32];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(buffer, n);
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
