// The objects behind every handle the Linux backend hands out (elements,
// events, applications, sources): one count of references, deleted at zero.
// base.cpp retains and releases them for the platform's handles.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform::x11 {

class Counted {
public:
    virtual ~Counted() = default;
    void retain() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
    void release() noexcept {
        if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }

private:
    std::atomic<std::uint32_t> refs_{1};
};

}  // namespace platform::x11
