// Follows the heap for as long as a watch is running: the bytes allocated and not
// yet freed at their peak, and the largest single allocation. It listens through
// the sanitizer allocator's hooks, so it works only in a sanitized build.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#define RQX_ALLOCATION_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RQX_ALLOCATION_HOOKS 1
#endif
#endif

#ifdef RQX_ALLOCATION_HOOKS
#include <sanitizer/allocator_interface.h>
#endif

class AllocationWatch {
public:
    static bool Available()
    {
#ifdef RQX_ALLOCATION_HOOKS
        // The allocator takes a handful of hooks and never lets one go: install ours once.
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
        return installed;
#else
        return false;
#endif
    }

    AllocationWatch()
    {
        if (!Available()) return;
        state_ = State{true, 0, 0, 0};
    }
    ~AllocationWatch()
    {
        Stop();
    }
    AllocationWatch(const AllocationWatch&) = delete;
    AllocationWatch& operator=(const AllocationWatch&) = delete;

    void Stop()
    {
        state_.active = false;
    }
    std::int64_t PeakBytes() const
    {
        return state_.peak;
    }
    std::int64_t LargestBytes() const
    {
        return state_.largest;
    }

private:
    struct State {
        bool active;
        std::int64_t live, peak, largest;
    };
    static inline State state_{false, 0, 0, 0};

#ifdef RQX_ALLOCATION_HOOKS
    static void OnMalloc(const volatile void*, std::size_t size)
    {
        if (!state_.active) return;
        state_.live += std::int64_t(size);
        state_.peak = std::max(state_.peak, state_.live);
        state_.largest = std::max(state_.largest, std::int64_t(size));
    }
    static void OnFree(const volatile void* p)
    {
        if (!state_.active || p == nullptr) return;
        state_.live -= std::int64_t(__sanitizer_get_allocated_size(p));
    }
#endif
};
