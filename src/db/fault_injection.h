// Statements made to fail on purpose, so that tests can walk the failure paths of the runs on real
// databases. While a ScopedFaultInjection lives, every statement a Connection or a Command is about to
// send is checked against its rules first; a statement that a rule selects is not sent and raises
// EDatabaseError with the rule's message, as a failing server would.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace kestrane::db {

class ScopedFaultInjection {
  public:
    ScopedFaultInjection();
    ~ScopedFaultInjection();
    ScopedFaultInjection(const ScopedFaultInjection&) = delete;
    ScopedFaultInjection& operator=(const ScopedFaultInjection&) = delete;

    // Only statements on connections whose connection string contains `text` are counted and failed
    // (for example the file name of one account set); empty, the default, means every connection.
    ScopedFaultInjection& OnConnections(std::string text);
    // The n-th statement (from 1) counted since this object was made fails.
    ScopedFaultInjection& FailNth(int n, std::string message = {});
    // Every statement whose text contains `text` fails.
    ScopedFaultInjection& FailMatching(std::string text, std::string message = {});

    // The texts of the statements counted so far, failed ones included, in order: a run without
    // rules shows which number to fail.
    std::vector<std::string> Statements() const;
    int Failures() const;

    // What the connections call; throws when a rule selects the statement.
    void Check(const std::string& connectionString, const std::string& sql);

  private:
    struct Rule {
        int nth = 0;  // 0: by text
        std::string text;
        std::string message;
    };
    mutable std::mutex mutex_;
    std::string connectionFilter_;
    std::vector<Rule> rules_;
    std::vector<std::string> statements_;
    int failures_ = 0;
};

// Consulted before a statement is sent: raises when a live injection fails it. Without one, one
// atomic load.
void CheckInjectedFault(const std::string& connectionString, const std::string& sql);

}  // namespace kestrane::db
