// The programs running on the machine, by executable file name, and ending one of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"

namespace kestrane::platform {

struct RunningProcess {
    std::string FileName;  // the executable's file name, without folder
    ProcessId Id = 0;
    bool operator==(const RunningProcess&) const = default;
};

// Kept sorted by file name without regard to ASCII letter case; a name already listed is not added
// again, so for every file name only the first process found counts.
class ProcessList {
  public:
    // False when the name was already listed.
    bool Add(std::string fileName, ProcessId id);
    // The entry of that file name in any letter case, or null.
    const RunningProcess* Find(std::string_view fileName) const;
    void Clear() { entries_.clear(); }
    std::size_t Count() const { return entries_.size(); }
    const std::vector<RunningProcess>& Entries() const { return entries_; }

  private:
    std::vector<RunningProcess> entries_;
};

// Empties the list and fills it from the process table under `procRoot`, lowest process number first.
// A process whose executable cannot be read (another user's, a kernel thread) is not listed, and
// neither is the calling program itself.
void ListProcesses(ProcessList& list, const std::string& procRoot = "/proc");

// Ends the process at once (SIGKILL) and waits up to a few seconds for it to be gone, so that its files
// are free. Identifier 0, and a process that does not exist (one that ended meanwhile), count as
// ended: true. Otherwise false with the system's reason in `errorText`.
bool TerminateProcessById(ProcessId id, std::string& errorText);

}  // namespace kestrane::platform
