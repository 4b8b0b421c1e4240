#include "platform/system_facts.h"

#include "platform/free_space.h"
#include "platform/service_control.h"

namespace kestrane::platform {

namespace {

class Host : public SystemFacts {
  public:
    std::uint64_t FreeMemoryBytes() override { return platform::FreeMemoryBytes(); }
    std::uint64_t FreeDiskBytes(const std::string& folder) override {
        return platform::FreeDiskBytes(folder);
    }
    std::string DriveOf(const std::string& folder) override { return MountPointOf(folder); }
    void ListProcesses(ProcessList& list) override { platform::ListProcesses(list); }
    bool TerminateProcessById(ProcessId id, std::string& errorText) override {
        return platform::TerminateProcessById(id, errorText);
    }
    bool IsWatcherRunning() override { return platform::IsWatcherRunning(); }
    bool StopWatcher() override { return platform::StopWatcher(); }
    bool StartWatcher() override { return platform::StartWatcher(); }
};

}  // namespace

SystemFacts& HostSystem() {
    static Host host;
    return host;
}

}  // namespace kestrane::platform
