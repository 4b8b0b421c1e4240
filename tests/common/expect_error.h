// "This call fails with this error": the exception of a given type a call throws, and its message.
#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace kestrane::testing {

// The exception of type E that `call` throws; none when it returns or throws something else.
template <class E, class F>
std::optional<E> Caught(F&& call) {
    try {
        std::forward<F>(call)();
    } catch (const E& e) {
        return e;
    } catch (...) {
    }
    return std::nullopt;
}

// `call` throws an E whose message is exactly `message`; says what happened instead when not.
template <class E, class F>
::testing::AssertionResult FailsWith(F&& call, std::string_view message) {
    try {
        std::forward<F>(call)();
    } catch (const std::exception& e) {
        if constexpr (!std::is_same_v<E, std::exception>)
            if (!dynamic_cast<const E*>(&e))
                return ::testing::AssertionFailure() << "failed with another error: \"" << e.what() << "\"";
        if (e.what() == message) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "failed with \"" << e.what() << "\"\n  expected \"" << message << "\"";
    } catch (...) {
        return ::testing::AssertionFailure() << "failed with something that is not an exception";
    }
    return ::testing::AssertionFailure() << "did not fail; expected \"" << message << "\"";
}

}  // namespace kestrane::testing
