#include "platform/autostart.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>

#include "platform/autostart_texts.h"
#include "platform/file_system.h"
#include "support/text.h"

namespace kestrane::platform {
namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

}  // namespace

std::string AutostartFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base = config && config[0] == '/' ? std::string(config) : std::string();
    if (base.empty()) {
        const std::string home = HomeFolder();
        if (home.empty()) return {};
        base = IncludeTrailingPathDelimiter(home) + ".config";
    }
    return IncludeTrailingPathDelimiter(base) + "autostart/";
}

std::string AutostartEntryPath() {
    const std::string folder = AutostartFolder();
    return folder.empty() ? std::string() : folder + texts::kAutorunValueName + ".desktop";
}

std::string DesktopExecValue(const std::string& program) {
    // Quoting escapes first, then the string escapes of the file format over the quoted text.
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
        }
    }
    return value;
}

std::optional<std::string> ParseDesktopExecValue(const std::string& value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            text += value[i];
            continue;
        }
        if (++i >= value.size()) return std::nullopt;
        switch (value[i]) {
            case 's':
                text += ' ';
                break;
            case 'n':
                text += '\n';
                break;
            case 't':
                text += '\t';
                break;
            case 'r':
                text += '\r';
                break;
            case '\\':
                text += '\\';
                break;
            default:
                return std::nullopt;
        }
    }
    std::string program;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && text[i] == '"') {
        for (++i;; ++i) {
            if (i >= text.size()) return std::nullopt;
            const char c = text[i];
            if (c == '"') break;
            if (c == '\\') {
                if (++i >= text.size()) return std::nullopt;
                program += text[i];
            } else if (c == '%') {
                if (++i >= text.size() || text[i] != '%') return std::nullopt;
                program += '%';
            } else {
                program += c;
            }
        }
    } else {
        for (; i < text.size() && text[i] != ' '; ++i) {
            if (text[i] == '%') {
                if (++i >= text.size() || text[i] != '%') return std::nullopt;
            }
            program += text[i];
        }
    }
    if (program.empty()) return std::nullopt;
    return program;
}

bool RegisterAutorun(const std::string& ExePath) {
    const std::string entry = AutostartEntryPath();
    if (entry.empty()) return false;
    const std::string content = std::string("[Desktop Entry]\n") +
                                "Type=Application\n"
                                "Name=" +
                                texts::kAutorunValueName + "\n" + "Exec=" + DesktopExecValue(ExePath) + "\n" +
                                "X-GNOME-Autostart-enabled=true\n";
    try {
        ForceDirectories(ExtractFilePath(entry));
        WriteFileReplacing(entry, content);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<std::string> RegisteredAutorun() {
    const std::string entry = AutostartEntryPath();
    if (entry.empty() || !FileExists(entry)) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadFileBytes(entry);
    } catch (const EFileSystemError&) {
        return std::nullopt;
    }
    bool inEntryGroup = false;
    for (const auto& line :
         support::SplitLines(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
        if (!line.empty() && line[0] == '[') {
            inEntryGroup = line == "[Desktop Entry]";
        } else if (inEntryGroup && line.rfind("Exec", 0) == 0) {
            const auto eq = line.find('=');
            if (eq == std::string::npos || support::Trim(line.substr(4, eq - 4)) != "") continue;
            return ParseDesktopExecValue(support::TrimLeft(line.substr(eq + 1)));
        }
    }
    return std::nullopt;
}

}  // namespace kestrane::platform
