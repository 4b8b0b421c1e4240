// The most heap memory held at once while a piece of code runs, as the sanitizers' allocator counts
// it: for tests that large contents are handled in pieces, not held whole or copied over and over.
// Without a sanitizer there is nothing to count and Supported() is false.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                              void (*free_hook)(const volatile void*)) __attribute__((weak));
std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));
}

namespace kestrane::testing {

class AllocationPeak {
  public:
    static bool Supported() {
        return __sanitizer_install_malloc_and_free_hooks != nullptr &&
               __sanitizer_get_current_allocated_bytes != nullptr;
    }

    // Bytes held at the peak of `run` beyond what was held when it began; 0 when not Supported().
    template <class F>
    static std::size_t Of(F&& run) {
        if (!Supported()) {
            std::forward<F>(run)();
            return 0;
        }
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(&Allocated, &Freed) != 0;
        (void)installed;
        const std::size_t start = __sanitizer_get_current_allocated_bytes();
        peak() = start;
        active() = true;
        std::forward<F>(run)();
        active() = false;
        return peak() > start ? peak() - start : 0;
    }

  private:
    static std::atomic<bool>& active() {
        static std::atomic<bool> value{false};
        return value;
    }
    static std::atomic<std::size_t>& peak() {
        static std::atomic<std::size_t> value{0};
        return value;
    }
    static void Allocated(const volatile void*, std::size_t) {
        if (!active()) return;
        const std::size_t now = __sanitizer_get_current_allocated_bytes();
        std::size_t seen = peak();
        while (now > seen && !peak().compare_exchange_weak(seen, now)) {
        }
    }
    static void Freed(const volatile void*) {}
};

}  // namespace kestrane::testing
