#include "fake.h"

#include <cstdio>

namespace fake {
namespace {

struct Ref {
    platform::HandleKind kind;
    int id;
    long count;
};

long outstanding = 0;

}  // namespace

Desktop& desktop() {
    static Desktop d;
    return d;
}

void reset() { desktop() = Desktop{}; }

void record(std::string line) { desktop().log.push_back(std::move(line)); }

long outstandingRefs() { return outstanding; }

void* newRef(platform::HandleKind kind, int id) {
    ++outstanding;
    return new Ref{kind, id, 1};
}

int idOf(const void* ref) { return static_cast<const Ref*>(ref)->id; }

}  // namespace fake

namespace platform {

void retainRef(HandleKind, void* ref) noexcept {
    ++static_cast<fake::Ref*>(ref)->count;
    ++fake::outstanding;
}

void releaseRef(HandleKind, void* ref) noexcept {
    auto* r = static_cast<fake::Ref*>(ref);
    --fake::outstanding;
    if (--r->count == 0) delete r;
}

void beginRequest() {
    ++fake::desktop().requestsBegun;
    ++fake::desktop().requestsOpen;
}

void endRequest() { --fake::desktop().requestsOpen; }

void sleepMicroseconds(std::uint32_t microseconds) {
    fake::record("pause " + std::to_string(microseconds));
    fake::desktop().clock += microseconds;
    if (fake::desktop().onPause) fake::desktop().onPause();
}

std::uint64_t monotonicMicroseconds() { return fake::desktop().clock; }

bool isSecureEventInputEnabled() {
    fake::record("secure-input?");
    return fake::desktop().secureInput;
}

}  // namespace platform
