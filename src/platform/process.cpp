#include "platform/process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

extern char** environ;

namespace kestrane::platform {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

class SpawnActions {
  public:
    SpawnActions() {
        if (const int rc = ::posix_spawn_file_actions_init(&actions_); rc != 0)
            throw EProcessStartError(std::strerror(rc));
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
};

}  // namespace

std::string FindOnPath(std::string_view name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string_view::npos)
        return IsExecutableFile(std::string(name)) ? std::string(name) : std::string();
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const auto end = folders.find(':', start);
        std::string folder =
            folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + std::string(name);
        if (IsExecutableFile(candidate)) return candidate;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

Process Process::Start(const ProcessOptions& options) {
    const std::string program =
        options.program.find('/') == std::string::npos ? FindOnPath(options.program) : options.program;
    if (program.empty()) throw EProcessStartError(std::strerror(ENOENT));

    std::vector<std::string> args;
    args.reserve(options.arguments.size() + 1);
    args.push_back(program);
    args.insert(args.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    SpawnActions actions;
    if (!options.workingFolder.empty()) {
        if (const int rc =
                ::posix_spawn_file_actions_addchdir_np(actions.get(), options.workingFolder.c_str());
            rc != 0)
            throw EProcessStartError(std::strerror(rc));
    }
    pid_t pid = -1;
    // glibc reports a failed chdir or exec of the child here, not as an exit status.
    if (const int rc = ::posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argv.data(), environ);
        rc != 0)
        throw EProcessStartError(std::strerror(rc));
    return Process(pid);
}

Process::Process(Process&& other) noexcept : pid_(other.pid_) {
    other.pid_ = -1;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Detach();
        pid_ = other.pid_;
        other.pid_ = -1;
    }
    return *this;
}

Process::~Process() {
    Detach();
}

int Process::Wait() {
    if (pid_ < 0) throw EProcessError(std::strerror(ECHILD));
    int status = 0;
    pid_t rc;
    do {
        rc = ::waitpid(static_cast<pid_t>(pid_), &status, 0);
    } while (rc < 0 && errno == EINTR);
    const int error = errno;
    pid_ = -1;
    if (rc < 0) throw EProcessError(std::strerror(error));
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

void Process::Detach() {
    if (pid_ < 0) return;
    const pid_t pid = static_cast<pid_t>(pid_);
    pid_ = -1;
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // Without a thread the child is reaped by init once this process ends.
    }
}

std::optional<int> RunProcess(const ProcessOptions& options, bool wait) {
    Process process = Process::Start(options);
    if (!wait) return std::nullopt;
    return process.Wait();
}

std::vector<std::string> SplitCommandLine(std::string_view text) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = text.size();
    for (;;) {
        while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n) {
            const char c = text[i];
            if ((c == ' ' || c == '\t') && !quoted) break;
            if (c == '\\') {
                std::size_t k = 0;
                while (i < n && text[i] == '\\') ++k, ++i;
                if (i < n && text[i] == '"') {
                    arg.append(k / 2, '\\');
                    if (k % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(k, '\\');
                }
            } else if (c == '"') {
                if (quoted && i + 1 < n && text[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += c;
                ++i;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

}  // namespace kestrane::platform
