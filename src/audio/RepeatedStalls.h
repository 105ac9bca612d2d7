#pragma once

#include <cstdint>

// Tells a stream that keeps stalling from one that stalled once: a machine
// that cannot keep up stalls again and again, a passing load only now and
// then. Stalls closer together than half a second are one, as a frozen
// server that catches up stalls many times in a row.
class RepeatedStalls {
public:
    // A stall at `nowNsec` on the monotonic clock: true when it makes one
    // too many, and the count starts again.
    bool stalled(int64_t nowNsec);

private:
    static constexpr int tooMany = 5; // within 10 s
    int64_t times_[tooMany] {};
    int count_ = 0;
};
