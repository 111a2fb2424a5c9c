// Conversions between frames, time and plot positions without overflow.
//
// Products such as frames × 10^9 or rate × time expansion × µs leave 64 bits
// long before a recording gets unusual (5 hours at 500 kHz is 9 × 10^9
// frames). Every such conversion computes through a 128-bit intermediate and
// saturates the result to 64 bits.
#pragma once

#include <cstdint>
#include <limits>

namespace vkit {

__extension__ typedef __int128 Int128;

constexpr std::int64_t saturateToInt64(Int128 v)
{
    constexpr Int128 hi = std::numeric_limits<std::int64_t>::max();
    constexpr Int128 lo = std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v > hi ? hi : v < lo ? lo : v);
}

// a × b ÷ c, truncated toward zero; 0 when c is 0.
constexpr std::int64_t mulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    return c == 0 ? 0 : saturateToInt64(static_cast<Int128>(a) * b / c);
}

// Time expansion is kept × 1000 (1000: none); 0 or less counts as none.
constexpr std::int64_t validTimeExp25(std::int64_t timeExp25) { return timeExp25 > 0 ? timeExp25 : 1000; }
constexpr std::int64_t validRateHz(std::int64_t rateHz) { return rateHz > 0 ? rateHz : 1; }

// Real time (the time at the bat, before time expansion) of `frames`, in µs.
constexpr std::int64_t framesToRealMicros(std::int64_t frames, std::int64_t rateHz, std::int64_t timeExp25)
{
    const Int128 fileNanos = static_cast<Int128>(frames) * 1000000000 / validRateHz(rateHz);
    return saturateToInt64(fileNanos / validTimeExp25(timeExp25));
}

// Time in the file (at its own rate), in µs.
constexpr std::int64_t framesToFileMicros(std::int64_t frames, std::int64_t rateHz)
{
    return saturateToInt64(static_cast<Int128>(frames) * 1000000 / validRateHz(rateHz));
}

// Frames of a real time in µs, truncated.
constexpr std::int64_t realMicrosToFrames(std::int64_t micros, std::int64_t rateHz, std::int64_t timeExp25)
{
    return saturateToInt64(static_cast<Int128>(validTimeExp25(timeExp25)) * (rateHz > 0 ? rateHz : 0) * micros /
                           1000000 / 1000);
}

}  // namespace vkit
