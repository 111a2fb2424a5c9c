// Every set of vector kernels the processor has against the portable one,
// entry point by entry point: decoding and level compares exactly, the FFT
// to rounding (its vector passes fuse products into sums). The AVX-512 FFT
// must give exactly the AVX2 one's results, so that a spectrogram does not
// change with the processor class.
#include "kernels/Kernels.h"

#include "display/FftWindow.h"
#include "display/RealFft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

class KernelsMatchPortable : public ::testing::TestWithParam<VectorKernels> {
protected:
    void SetUp() override
    {
        kernels = vectorKernelsOf(GetParam());
        if (kernels == nullptr)
            GTEST_SKIP() << "this processor has not got them";
    }
    void TearDown() override { setVectorKernels(VectorKernels::Automatic); }

    const KernelTable* kernels = nullptr;
    const KernelTable& portable = *vectorKernelsOf(VectorKernels::Portable);
};

// Stored 16-bit samples with both extremes, one byte off alignment.
std::vector<std::uint8_t> storedSamples(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<std::uint8_t> bytes(2 * n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        const int v = i % 7 == 3 ? -32768 : i % 7 == 4 ? 32767 : dist(rng);
        bytes[1 + 2 * i] = static_cast<std::uint8_t>(v & 0xFF);
        bytes[2 + 2 * i] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    }
    return bytes;
}

TEST_P(KernelsMatchPortable, DecodingIsExact)
{
    // Lengths around the vectors' widths, for the loops' tails.
    for (std::size_t n : {0u, 1u, 7u, 15u, 16u, 17u, 33u, 512u, 1021u}) {
        const std::vector<std::uint8_t> stored = storedSamples(n, static_cast<unsigned>(n));
        std::vector<double> window(n);
        for (std::size_t i = 0; i < n; ++i)
            window[i] = 0.5 - 0.5 * std::cos(0.01 * static_cast<double>(i)) + 1e-3;
        const auto count = static_cast<std::int64_t>(n);
        std::vector<double> want(n + 1, -1.0), got(n + 1, -1.0);  // one past: untouched
        portable.decodeMono16(stored.data() + 1, count, want.data());
        kernels->decodeMono16(stored.data() + 1, count, got.data());
        EXPECT_EQ(got, want) << "n = " << n;
        portable.decodeMono16Windowed(stored.data() + 1, count, window.data(), want.data());
        kernels->decodeMono16Windowed(stored.data() + 1, count, window.data(), got.data());
        EXPECT_EQ(got, want) << "windowed, n = " << n;
    }
}

TEST_P(KernelsMatchPortable, LevelsAboveTheThresholdAreExact)
{
    const double threshold = 1.0;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> level(203);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> dist(0.0, 2.0);
    for (std::size_t i = 0; i < level.size(); ++i)
        level[i] = i % 11 == 0 ? threshold : i % 13 == 0 ? nan : i % 17 == 0 ? inf : i % 19 == 0 ? -inf : dist(rng);
    for (int n : {1, 7, 8, 9, 63, 64, 65, 128, 203}) {
        const auto words = static_cast<std::size_t>((n + 63) / 64);
        std::vector<std::uint64_t> want(words + 1, 0xA5A5), got(words + 1, 0xA5A5);
        portable.aboveBits(level.data(), n, threshold, want.data());
        kernels->aboveBits(level.data(), n, threshold, got.data());
        EXPECT_EQ(got, want) << "n = " << n;
        EXPECT_EQ(got[words], 0xA5A5u) << "n = " << n;
    }
}

struct Spectra {
    std::vector<double> spectrum, power, pcmPower;
    bool pcmTaken = false;
};

// RealFft, RealFftAddPower and RealFftPcm16AddPower of one frame on a set of kernels.
Spectra transform(VectorKernels kernels, int m, const std::vector<std::uint8_t>& stored, const std::vector<double>& window)
{
    setVectorKernels(kernels);
    const std::size_t n = std::size_t{1} << m;
    std::vector<double> frame(n);
    for (std::size_t i = 0; i < n; ++i)
        frame[i] = static_cast<std::int16_t>(stored[1 + 2 * i] | (stored[2 + 2 * i] << 8)) * window[i];
    Spectra s;
    s.spectrum = frame;
    RealFft(s.spectrum.data(), m);
    s.power.assign(n / 2 + 1, 1e9);
    RealFftAddPower(frame.data(), m, s.power.data());
    s.pcmPower.assign(n / 2 + 1, 1e9);
    std::vector<double> work(n);
    const std::vector<double> layout = RealFftPcm16Window(window.data(), m);
    s.pcmTaken = RealFftPcm16AddPower(stored.data() + 1, layout.data(), m, work.data(), s.pcmPower.data());
    return s;
}

double largest(const std::vector<double>& v)
{
    double top = 0;
    for (double x : v)
        top = std::max(top, std::fabs(x));
    return top;
}

TEST_P(KernelsMatchPortable, FftMatchesPortableToRounding)
{
    const KernelTable* avx2 = vectorKernelsOf(VectorKernels::Avx2);
    for (int m = 1; m <= 13; ++m) {
        const std::size_t n = std::size_t{1} << m;
        const std::vector<std::uint8_t> stored = storedSamples(n, static_cast<unsigned>(m));
        std::vector<double> window(n);
        buildWindowTable(window.data(), static_cast<int>(n), FftWindow::Hanning);
        const Spectra want = transform(VectorKernels::Portable, m, stored, window);
        const Spectra got = transform(GetParam(), m, stored, window);
        // An FFT's rounding grows with log2 N; measured against the largest
        // value, as the small bins carry the large ones' absolute error.
        const double spectrumBound = 4.0 * m * DBL_EPSILON * largest(want.spectrum);
        const double powerBound = 8.0 * m * DBL_EPSILON * (largest(want.power) - 1e9);
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_NEAR(got.spectrum[i], want.spectrum[i], spectrumBound) << "N = " << n << ", i = " << i;
        for (std::size_t k = 0; k <= n / 2; ++k)
            ASSERT_NEAR(got.power[k], want.power[k], powerBound) << "N = " << n << ", k = " << k;
        EXPECT_FALSE(want.pcmTaken);
        if (got.pcmTaken) {
            EXPECT_EQ(got.pcmPower, got.power) << "N = " << n;
        }
        if (GetParam() == VectorKernels::Avx512 && avx2 != nullptr) {
            const Spectra narrow = transform(VectorKernels::Avx2, m, stored, window);
            EXPECT_EQ(got.spectrum, narrow.spectrum) << "N = " << n;
            EXPECT_EQ(got.power, narrow.power) << "N = " << n;
            EXPECT_EQ(got.pcmTaken, narrow.pcmTaken) << "N = " << n;
            EXPECT_EQ(got.pcmPower, narrow.pcmPower) << "N = " << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, KernelsMatchPortable, ::testing::Values(VectorKernels::Avx2, VectorKernels::Avx512),
                         [](const auto& p) { return std::string(vectorKernelsName(p.param)); });

// Forcing kernels the processor lacks falls back to the widest it has; the
// names read back.
TEST(VectorKernelsSwitch, ForcingAndNames)
{
    const VectorKernels widest = vectorKernelsOf(VectorKernels::Automatic)->kind;
    for (VectorKernels k : {VectorKernels::Portable, VectorKernels::Avx2, VectorKernels::Avx512}) {
        setVectorKernels(k);
        EXPECT_EQ(activeVectorKernels(), vectorKernelsOf(k) != nullptr ? k : widest);
        EXPECT_EQ(&vectorKernels(), vectorKernelsOf(activeVectorKernels()));
        EXPECT_EQ(vectorKernelsNamed(vectorKernelsName(k)), k);
    }
    setVectorKernels(VectorKernels::Automatic);
    EXPECT_EQ(activeVectorKernels(), widest);
    EXPECT_EQ(vectorKernelsNamed(nullptr), VectorKernels::Automatic);
    EXPECT_EQ(vectorKernelsNamed("sse9"), VectorKernels::Automatic);
}

}  // namespace
