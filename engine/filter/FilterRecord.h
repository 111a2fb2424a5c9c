// The filter a user chose: its kind, band and edges, and the normalised
// difference equation it comes to.
#pragma once

#include <array>
#include <cstdint>
#include <string>

enum class FilterType : std::int32_t {
    None = -1,
    Butterworth = 0,
    Chebyshev1 = 1,
    Elliptic = 2,
    InverseChebyshev = 3,  // Chebyshev type 2: flat passband, equiripple stopband
    UserDefined = 4,
};

enum class FilterBand : std::int32_t {
    None = -1,
    LowPass = 0,
    HighPass = 1,
    BandPass = 2,
    BandStop = 3,
};

struct FilterRecord {
    static constexpr int kMaxOrder = 49;
    static constexpr int kCoefficients = kMaxOrder + 1;

    std::int32_t bandPassLowHz = 0;
    std::int32_t bandPassHighHz = 0;
    std::int32_t bandStopLowHz = 0;
    std::int32_t bandStopHighHz = 0;
    FilterType type = FilterType::Butterworth;
    FilterBand band = FilterBand::LowPass;
    std::int32_t highPassHz = 0;
    std::int32_t lowPassHz = 0;
    std::string typeName;  // the type list's text, at most 127 bytes
    std::int32_t order = 2;
    std::int32_t rippleTenthDb = 2;  // passband ripple in 0.1 dB
    std::int32_t stopbandDb = -50;   // stopband gain (negative)
    // Denominator (A[0] = 1 once normalised) and numerator, entries 0..order.
    std::array<double, kCoefficients> A{};
    std::array<double, kCoefficients> B{};
};

// The type list's texts and the types they stand for (anything else: None).
const char* filterTypeName(FilterType type);
FilterType filterTypeFromName(const std::string& name);
