#include "audio/RepeatedStalls.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr int64_t millisecond = 1'000'000;
constexpr int64_t oneStall = 500 * millisecond;
constexpr int64_t within = 10'000 * millisecond;

} // namespace

bool RepeatedStalls::stalled(int64_t nowNsec)
{
    if (count_ > 0 && nowNsec - times_[count_ - 1] < oneStall)
        return false;
    if (count_ == tooMany) {
        std::rotate(std::begin(times_), std::begin(times_) + 1, std::end(times_));
        --count_;
    }
    times_[count_++] = nowNsec;
    if (count_ < tooMany || nowNsec - times_[0] > within)
        return false;
    count_ = 0;
    return true;
}
