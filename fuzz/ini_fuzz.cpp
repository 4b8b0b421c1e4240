// The INI readers on arbitrary file contents (profile rules on the file, whole-file rules in memory)
// and the desktop-entry reading of the autostart entry. Besides not crashing, writing one key must
// leave every other value as it read, and a whole-file text must be a fixed point of load and save.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "platform/autostart.h"
#include "platform/file_system.h"
#include "platform/ini.h"
#include "support/text.h"

namespace kp = kestrane::platform;
using kestrane::support::SameText;

namespace {

void Require(bool ok) {
    if (!ok) __builtin_trap();
}

std::string& Folder() {
    static std::string folder;
    return folder;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

using Values = std::map<std::pair<std::string, std::string>, std::string>;

template <class Ini>
Values Snapshot(const Ini& ini) {
    Values values;
    std::size_t n = 0;
    for (const auto& section : ini.ReadSections()) {
        for (const auto& key : ini.ReadSection(section)) {
            if (++n > 64) return values;
            if (SameText(key, "FuzzKey")) continue;
            values[{section, key}] = ini.ReadString(section, key, "\x01");
            ini.ReadInteger(section, key, -1);
            Require(ini.ValueExists(section, key));
        }
        Require(ini.SectionExists(section));
    }
    return values;
}

template <class Ini>
void WriteOneKey(Ini& ini) {
    const auto sections = ini.ReadSections();
    const std::string section = sections.empty() ? std::string("FuzzSection") : sections.front();
    const Values before = Snapshot(ini);
    try {
        ini.WriteString(section, "FuzzKey", "v 1");
    } catch (const kp::EFileSystemError&) {
        return;  // a name the format cannot hold is refused, and nothing is written
    }
    Require(ini.ReadString(section, "FuzzKey", "") == "v 1");
    for (const auto& [where, value] : Snapshot(ini)) {
        const auto old = before.find(where);
        Require(old != before.end() && old->second == value);
    }
    ini.DeleteKey(section, "FuzzKey");
    Require(!ini.ValueExists(section, "FuzzKey"));
    Require(Snapshot(ini) == before);
}

void Profile(const std::string& bytes) {
    const std::string path = Folder() + "profile.ini";
    WriteFile(path, bytes);
    kp::IniFile ini(path);
    WriteOneKey(ini);
}

void WholeFile(const std::string& bytes) {
    const std::string path = Folder() + "whole.ini";
    WriteFile(path, bytes);
    kp::MemIniFile loaded(path);
    kp::MemIniFile memory;
    memory.SetText(kp::DecodeCp936Lenient(bytes));
    const std::string text = memory.GetText();
    Require(loaded.GetText() == text);
    kp::MemIniFile again;
    again.SetText(text);
    Require(again.GetText() == text);
    for (const auto& section : memory.ReadSections()) memory.ReadSectionValues(section);
    WriteOneKey(memory);
}

void Autostart(const std::string& bytes) {
    if (const auto program = kp::ParseDesktopExecValue(bytes))
        Require(kp::ParseDesktopExecValue(kp::DesktopExecValue(*program)) == program);
    if (!bytes.empty() && bytes.find('\0') == std::string::npos)
        Require(kp::ParseDesktopExecValue(kp::DesktopExecValue(bytes)) == bytes);

    WriteFile(kp::AutostartEntryPath(), bytes);
    if (const auto program = kp::RegisteredAutorun()) {
        Require(kp::RegisterAutorun(*program));
        Require(kp::RegisteredAutorun() == program);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every write is synced to disk; in memory-backed /dev/shm that costs nothing.
    std::string pattern = std::filesystem::is_directory("/dev/shm") ? "/dev/shm/kestrane-ini-fuzz-XXXXXX"
                                                                    : "/tmp/kestrane-ini-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) __builtin_trap();
    Folder() = std::string(pattern) + "/";
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    ::setenv("XDG_CONFIG_HOME", (Folder() + "config").c_str(), 1);
    kp::ForceDirectories(kp::AutostartFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Profile(bytes);
    WholeFile(bytes);
    Autostart(bytes);
    return 0;
}
