// Starting other programs: with a working folder, with or without waiting for them to end.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::platform {

// A process of the system, as the system numbers it.
using ProcessId = std::int64_t;

// The message is the system's reason (for example "No such file or directory").
class EProcessError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The program could not be started at all.
class EProcessStartError : public EProcessError {
  public:
    using EProcessError::EProcessError;
};

struct ProcessOptions {
    std::string program;                 // a path, or a bare name looked up on PATH
    std::vector<std::string> arguments;  // without the program itself
    std::string workingFolder;           // empty: the caller's
    // A window shown hidden; programs here have no window of their own to hide, so it is kept
    // only for the callers' sake.
    bool hidden = false;
};

// A started program. A Process that was not waited for is handed to a background reaper when it
// goes, so a program left running never stays behind as a zombie.
class Process {
  public:
    // Throws EProcessStartError when the program cannot be started.
    static Process Start(const ProcessOptions& options);

    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    ProcessId Pid() const { return pid_; }
    // Waits without time limit; the exit status, or 128 + signal number when a signal ended it.
    // Throws EProcessError when the wait itself fails.
    int Wait();
    // Gives up the child without waiting for it.
    void Detach();

  private:
    explicit Process(ProcessId pid) : pid_(pid) {}
    ProcessId pid_ = -1;
};

// Starts the program and, when `wait` is set, waits for it; the exit status when waited, else none.
std::optional<int> RunProcess(const ProcessOptions& options, bool wait);

// Full path of an executable file `name` in the folders of PATH, or empty.
std::string FindOnPath(std::string_view name);

// A command-line parameter text split into arguments as the Windows C runtime splits it: blanks
// separate, double quotes group, 2n backslashes before a quote give n backslashes and a quote that
// groups, 2n+1 give n backslashes and a literal quote; other backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view text);

}  // namespace kestrane::platform
