#include "db/fault_injection.h"

#include <algorithm>
#include <atomic>

#include "db/connection.h"
#include "db/texts.h"
#include "support/format.h"

namespace kestrane::db {

namespace {

struct Live {
    std::atomic<int> count{0};
    std::mutex mutex;
    std::vector<ScopedFaultInjection*> injections;
};

Live& TheLive() {
    static Live live;
    return live;
}

}  // namespace

ScopedFaultInjection::ScopedFaultInjection() {
    Live& live = TheLive();
    std::lock_guard lock(live.mutex);
    live.injections.push_back(this);
    ++live.count;
}

ScopedFaultInjection::~ScopedFaultInjection() {
    Live& live = TheLive();
    std::lock_guard lock(live.mutex);
    live.injections.erase(std::remove(live.injections.begin(), live.injections.end(), this),
                          live.injections.end());
    --live.count;
}

ScopedFaultInjection& ScopedFaultInjection::OnConnections(std::string text) {
    std::lock_guard lock(mutex_);
    connectionFilter_ = std::move(text);
    return *this;
}

ScopedFaultInjection& ScopedFaultInjection::FailNth(int n, std::string message) {
    std::lock_guard lock(mutex_);
    rules_.push_back({n, {}, std::move(message)});
    return *this;
}

ScopedFaultInjection& ScopedFaultInjection::FailMatching(std::string text, std::string message) {
    std::lock_guard lock(mutex_);
    rules_.push_back({0, std::move(text), std::move(message)});
    return *this;
}

std::vector<std::string> ScopedFaultInjection::Statements() const {
    std::lock_guard lock(mutex_);
    return statements_;
}

int ScopedFaultInjection::Failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

void ScopedFaultInjection::Check(const std::string& connectionString, const std::string& sql) {
    std::lock_guard lock(mutex_);
    if (connectionString.find(connectionFilter_) == std::string::npos) return;
    statements_.push_back(sql);
    const int n = static_cast<int>(statements_.size());
    for (const Rule& rule : rules_) {
        const bool hit = rule.nth > 0 ? rule.nth == n : sql.find(rule.text) != std::string::npos;
        if (!hit) continue;
        ++failures_;
        throw EDatabaseError(rule.message.empty() ? support::Format(kFmtInjectedFault, sql) : rule.message);
    }
}

void CheckInjectedFault(const std::string& connectionString, const std::string& sql) {
    Live& live = TheLive();
    if (live.count.load(std::memory_order_relaxed) == 0) return;
    std::lock_guard lock(live.mutex);
    for (ScopedFaultInjection* injection : live.injections) injection->Check(connectionString, sql);
}

}  // namespace kestrane::db
