// The product's background services, controlled through systemd's systemctl (found on PATH). A unit
// that is not installed, a machine without systemd and a missing systemctl all read as "cannot be
// opened"; nothing here raises.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kestrane::platform {

// The states a caller tells apart, numbered as the service control manager numbers them.
enum class ServiceState : int { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };
enum class ServiceCommandKind { Start, Stop };
enum class ServiceControl { Stop };

// The service of the product that watches its servers.
inline constexpr char kWatcherService[] = "LumoSvrWatcher";

// How long to sleep between two status queries while a control is carried out; systemd gives no wait
// hint of its own.
inline constexpr int kServiceWaitHintMs = 1000;
// A control or a start is given up after this long.
inline constexpr std::int64_t kServiceTimeLimitMs = 30000;
// A start sleeps this long between its status queries.
inline constexpr int kServiceStartSleepMs = 10000;

// The tick count and the sleep of the waits, replaceable so that tests do not sleep.
struct ServiceClock {
    std::function<std::int64_t()> TickMs;
    std::function<void(int milliseconds)> Sleep;
    // The steady clock and a real sleep.
    static ServiceClock System();
};

// An installed service unit, as opened by OpenService.
class ServiceHandle {
  public:
    const std::string& Unit() const { return unit_; }
    // The current state; none when the query fails.
    std::optional<ServiceState> QueryStatus() const;
    // Asks systemd to carry out the control or the start and returns at once; false when refused.
    bool SendControl(ServiceControl control) const;
    bool Start() const;

  private:
    friend std::optional<ServiceHandle> OpenService(const std::string& name);
    ServiceHandle(std::string systemctl, std::string unit)
        : systemctl_(std::move(systemctl)), unit_(std::move(unit)) {}
    std::string systemctl_;
    std::string unit_;
};

// "name.service" when the name has no unit suffix. None when the unit is not installed or systemd
// cannot be asked.
std::optional<ServiceHandle> OpenService(const std::string& name);

// Starts (unless already running) or stops the service and waits for it, within the time limits.
bool ServiceCommand(const std::string& name, ServiceCommandKind command,
                    const ServiceClock& clock = ServiceClock::System());
// Sends the control, then queries until the service reaches `target`, sleeping the wait hint between
// queries; false when a query fails or more than the time limit has passed. A refused control that
// finds the service in the target state still answers false.
bool ControlServiceAndWait(const ServiceHandle& service, ServiceControl control, ServiceState target,
                           const ServiceClock& clock = ServiceClock::System());
// Starts the service, then queries and sleeps the start sleep until it runs; false when the start is
// refused, a query fails or more than the time limit has passed. A start takes at least one sleep.
bool StartServiceAndWait(const ServiceHandle& service, const ServiceClock& clock = ServiceClock::System());

// The watcher service. Not installed reads as not running, and then nothing is started or stopped.
bool IsWatcherRunning();
bool StopWatcher(const ServiceClock& clock = ServiceClock::System());
bool StartWatcher(const ServiceClock& clock = ServiceClock::System());

}  // namespace kestrane::platform
