// Sets (or unsets) an environment variable for one test and puts the old value back.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace kestrane::testing {

class EnvGuard {
  public:
    EnvGuard(const char* name, const std::optional<std::string>& value) : EnvGuard(name) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    // Only remembers the variable: a test that sets it as it goes gets the old value back at the end.
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
    }
    ~EnvGuard() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace kestrane::testing
