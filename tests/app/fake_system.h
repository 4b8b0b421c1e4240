// Made-up machine facts for driving the installer headless: the figures, the running programs and the
// watcher service are what a test sets, and every question asked of them is counted.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/free_space.h"
#include "platform/system_facts.h"

namespace kestrane::app {

class FakeSystem : public platform::SystemFacts {
  public:
    std::uint64_t MemoryBytes = std::uint64_t{1} << 40;
    std::uint64_t DiskBytes = std::uint64_t{1} << 40;
    std::string Drive = "/";
    // Running programs in the order a snapshot finds them.
    std::vector<std::pair<std::string, platform::ProcessId>> Processes;
    // Processes that refuse to end, with the reason given.
    std::map<platform::ProcessId, std::string> Unkillable;
    bool WatcherInstalled = false;
    bool WatcherRunning = false;
    // When set, the figure cannot be read: the query fails with this text.
    std::string MemoryError, DiskError;

    int MemoryQueries = 0;
    std::vector<std::string> DiskQueries, DriveQueries;
    std::vector<platform::ProcessId> Terminated;
    std::vector<std::string> WatcherCalls;

    std::uint64_t FreeMemoryBytes() override {
        ++MemoryQueries;
        if (!MemoryError.empty()) throw platform::ESystemFactError(MemoryError);
        return MemoryBytes;
    }
    std::uint64_t FreeDiskBytes(const std::string& folder) override {
        DiskQueries.push_back(folder);
        if (!DiskError.empty()) throw platform::ESystemFactError(DiskError);
        return DiskBytes;
    }
    std::string DriveOf(const std::string& folder) override {
        DriveQueries.push_back(folder);
        return Drive;
    }
    void ListProcesses(platform::ProcessList& list) override {
        list.Clear();
        for (const auto& [name, id] : Processes) list.Add(name, id);
    }
    bool TerminateProcessById(platform::ProcessId id, std::string& errorText) override {
        Terminated.push_back(id);
        const auto refused = Unkillable.find(id);
        errorText = refused == Unkillable.end() ? "" : refused->second;
        return refused == Unkillable.end();
    }
    bool IsWatcherRunning() override {
        WatcherCalls.push_back("query");
        return WatcherInstalled && WatcherRunning;
    }
    bool StopWatcher() override {
        WatcherCalls.push_back("stop");
        if (!WatcherInstalled) return false;
        WatcherRunning = false;
        return true;
    }
    bool StartWatcher() override {
        WatcherCalls.push_back("start");
        if (!WatcherInstalled) return false;
        WatcherRunning = true;
        return true;
    }
};

}  // namespace kestrane::app
