// Format with the runtime's pattern language: %[index:][-][width][.prec]type, types d u x s p f e g n
// and %%. An explicit index sets the position from which later unindexed directives continue.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace kestrane::support {

class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class FormatArg {
  public:
    using Value = std::variant<std::int64_t, std::string_view, const void*, double>;
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
    FormatArg(T v) : value_(static_cast<std::int64_t>(v)) {}
    FormatArg(bool v) : value_(static_cast<std::int64_t>(v)) {}
    FormatArg(double v) : value_(v) {}
    FormatArg(const char* v) : value_(std::string_view(v)) {}
    FormatArg(std::string_view v) : value_(v) {}
    FormatArg(const std::string& v) : value_(std::string_view(v)) {}
    FormatArg(const void* v) : value_(v) {}
    const Value& value() const { return value_; }

  private:
    Value value_;
};

// Throws EConvertError when a directive is malformed, lacks an argument or does not fit its type.
std::string FormatV(std::string_view pattern, std::initializer_list<FormatArg> args);

template <class... Args>
std::string Format(std::string_view pattern, const Args&... args) {
    return FormatV(pattern, {FormatArg(args)...});
}

}  // namespace kestrane::support
