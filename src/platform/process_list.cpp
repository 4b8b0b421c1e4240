#include "platform/process_list.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "support/text.h"

namespace kestrane::platform {

namespace fs = std::filesystem;

namespace {

// How long a killed process is waited for before the caller goes on.
constexpr int kEndWaitMs = 5000;

bool LessName(const RunningProcess& entry, std::string_view name) {
    return support::CompareText(entry.FileName, name) < 0;
}

// A whole decimal process number, or -1.
ProcessId ProcessNumber(const std::string& name) {
    if (name.empty() || name.size() > 9) return -1;
    ProcessId n = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

bool ProcessList::Add(std::string fileName, ProcessId id) {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), fileName, LessName);
    if (at != entries_.end() && support::SameText(at->FileName, fileName)) return false;
    entries_.insert(at, RunningProcess{std::move(fileName), id});
    return true;
}

const RunningProcess* ProcessList::Find(std::string_view fileName) const {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), fileName, LessName);
    return at != entries_.end() && support::SameText(at->FileName, fileName) ? &*at : nullptr;
}

void ListProcesses(ProcessList& list, const std::string& procRoot) {
    list.Clear();
    std::vector<ProcessId> ids;
    std::error_code ec;
    for (fs::directory_iterator it(procRoot, ec), end; !ec && it != end; it.increment(ec)) {
        const ProcessId id = ProcessNumber(it->path().filename().string());
        if (id > 0) ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    const ProcessId self = ::getpid();
    for (const ProcessId id : ids) {
        if (id == self) continue;
        std::error_code linkError;
        std::string target =
            fs::read_symlink(fs::path(procRoot) / std::to_string(id) / "exe", linkError).string();
        if (linkError || target.empty()) continue;
        // The kernel marks an executable replaced on disk since the program started.
        constexpr std::string_view deleted = " (deleted)";
        if (target.size() > deleted.size() &&
            target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
            target.resize(target.size() - deleted.size());
        const auto slash = target.rfind('/');
        std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        if (!name.empty()) list.Add(std::move(name), id);
    }
}

bool TerminateProcessById(ProcessId id, std::string& errorText) {
    errorText.clear();
    // Zero is no process; a number outside the system's range cannot name one, and a negative one
    // would address a whole process group.
    if (id <= 0 || id > INT_MAX) return true;
    const pid_t pid = static_cast<pid_t>(id);
    // A pidfd keeps naming this process even if its number is reused while we wait.
    const Fd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (pidfd.get() < 0) {
        if (errno == ESRCH) return true;
        if (errno != ENOSYS) {
            errorText = std::strerror(errno);
            return false;
        }
        // Kernels before 5.3: by number.
        if (::kill(pid, SIGKILL) == 0 || errno == ESRCH) return true;
        errorText = std::strerror(errno);
        return false;
    }
    if (::syscall(SYS_pidfd_send_signal, pidfd.get(), SIGKILL, nullptr, 0) != 0) {
        if (errno == ESRCH) return true;
        errorText = std::strerror(errno);
        return false;
    }
    pollfd p{pidfd.get(), POLLIN, 0};
    while (::poll(&p, 1, kEndWaitMs) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace kestrane::platform
