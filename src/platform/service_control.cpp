#include "platform/service_control.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "support/text.h"

extern char** environ;

namespace kestrane::platform {

namespace {

struct Outcome {
    int exitCode = -1;
    std::string output;  // standard output, trimmed
};

// Runs systemctl with the arguments and collects its standard output; none when it cannot be run.
std::optional<Outcome> RunSystemctl(const std::string& systemctl, std::vector<std::string> args) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return std::nullopt;
    }
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    args.insert(args.begin(), systemctl);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, systemctl.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        return std::nullopt;
    }
    Outcome outcome;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        // Only a state word is expected; a runaway program does not fill the memory.
        if (outcome.output.size() < 4096) outcome.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return std::nullopt;
    if (!WIFEXITED(status)) return std::nullopt;
    outcome.exitCode = WEXITSTATUS(status);
    outcome.output = support::Trim(outcome.output);
    return outcome;
}

std::optional<ServiceState> StateOf(const std::string& activeState) {
    if (activeState == "active" || activeState == "reloading" || activeState == "refreshing")
        return ServiceState::Running;
    if (activeState == "inactive" || activeState == "failed" || activeState == "maintenance")
        return ServiceState::Stopped;
    if (activeState == "activating") return ServiceState::StartPending;
    if (activeState == "deactivating") return ServiceState::StopPending;
    return std::nullopt;
}

std::string UnitName(const std::string& name) {
    return name.find('.') == std::string::npos ? name + ".service" : name;
}

}  // namespace

ServiceClock ServiceClock::System() {
    return {[] {
                return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                     std::chrono::steady_clock::now().time_since_epoch())
                                                     .count());
            },
            [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }};
}

std::optional<ServiceHandle> OpenService(const std::string& name) {
    try {
        const std::string systemctl = FindOnPath("systemctl");
        if (systemctl.empty() || name.empty()) return std::nullopt;
        const std::string unit = UnitName(name);
        // Without systemd as the init system systemctl fails here; an unknown unit is "not-found".
        const auto load = RunSystemctl(systemctl, {"show", "--property=LoadState", "--value", unit});
        if (!load || load->exitCode != 0 || load->output != "loaded") return std::nullopt;
        return ServiceHandle(systemctl, unit);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<ServiceState> ServiceHandle::QueryStatus() const {
    try {
        const auto state = RunSystemctl(systemctl_, {"show", "--property=ActiveState", "--value", unit_});
        if (!state || state->exitCode != 0) return std::nullopt;
        return StateOf(state->output);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool ServiceHandle::SendControl(ServiceControl) const {
    try {
        // --no-block: the waiting, with its time limit, is the caller's.
        const auto sent = RunSystemctl(systemctl_, {"stop", "--no-block", "--no-ask-password", unit_});
        return sent && sent->exitCode == 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool ServiceHandle::Start() const {
    try {
        const auto sent = RunSystemctl(systemctl_, {"start", "--no-block", "--no-ask-password", unit_});
        return sent && sent->exitCode == 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool ControlServiceAndWait(const ServiceHandle& service, ServiceControl control, ServiceState target,
                           const ServiceClock& clock) {
    try {
        const std::int64_t t0 = clock.TickMs();
        const bool ok = service.SendControl(control);
        std::optional<ServiceState> status = service.QueryStatus();
        for (;;) {
            if (status == target) return ok;
            clock.Sleep(kServiceWaitHintMs);
            status = service.QueryStatus();
            if (!status || clock.TickMs() - t0 > kServiceTimeLimitMs) return false;
        }
    } catch (const std::exception&) {
        return false;
    }
}

bool StartServiceAndWait(const ServiceHandle& service, const ServiceClock& clock) {
    try {
        const std::int64_t t0 = clock.TickMs();
        if (!service.Start()) return false;
        for (;;) {
            const std::optional<ServiceState> status = service.QueryStatus();
            if (!status || clock.TickMs() - t0 > kServiceTimeLimitMs) return false;
            clock.Sleep(kServiceStartSleepMs);
            if (status == ServiceState::Running) return true;
        }
    } catch (const std::exception&) {
        return false;
    }
}

bool ServiceCommand(const std::string& name, ServiceCommandKind command, const ServiceClock& clock) {
    const std::optional<ServiceHandle> service = OpenService(name);
    if (!service) return false;
    if (command == ServiceCommandKind::Stop)
        return ControlServiceAndWait(*service, ServiceControl::Stop, ServiceState::Stopped, clock);
    if (service->QueryStatus() == ServiceState::Running) return true;
    return StartServiceAndWait(*service, clock);
}

bool IsWatcherRunning() {
    const std::optional<ServiceHandle> service = OpenService(kWatcherService);
    return service && service->QueryStatus() == ServiceState::Running;
}

bool StopWatcher(const ServiceClock& clock) {
    return ServiceCommand(kWatcherService, ServiceCommandKind::Stop, clock);
}

bool StartWatcher(const ServiceClock& clock) {
    return ServiceCommand(kWatcherService, ServiceCommandKind::Start, clock);
}

}  // namespace kestrane::platform
