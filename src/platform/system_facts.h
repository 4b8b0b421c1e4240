// What the installer asks of the machine it runs on, behind one interface, so that a run can be driven
// on made-up facts (tests, rehearsals) as well as on the real machine.
#pragma once

#include <cstdint>
#include <string>

#include "platform/process_list.h"

namespace kestrane::platform {

class SystemFacts {
  public:
    virtual ~SystemFacts() = default;

    // Throw ESystemFactError when the figure cannot be read.
    virtual std::uint64_t FreeMemoryBytes() = 0;
    virtual std::uint64_t FreeDiskBytes(const std::string& folder) = 0;
    // The drive a user is told about for a folder: the mount point of its file system.
    virtual std::string DriveOf(const std::string& folder) = 0;

    virtual void ListProcesses(ProcessList& list) = 0;
    virtual bool TerminateProcessById(ProcessId id, std::string& errorText) = 0;

    // The product's watcher service; these never raise.
    virtual bool IsWatcherRunning() = 0;
    virtual bool StopWatcher() = 0;
    virtual bool StartWatcher() = 0;
};

// The machine itself: /proc, statvfs, signals and systemctl.
SystemFacts& HostSystem();

}  // namespace kestrane::platform
