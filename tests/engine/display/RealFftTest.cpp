// RealFft against a direct DFT in long double for every size from 2 to 4096,
// on every set of vector kernels the processor has; the window shapes and
// gains.
#include "display/FftWindow.h"
#include "display/RealFft.h"
#include "kernels/Kernels.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

// Half-complex reference of x divided by N: out[k] = Re X_k / N, out[N-k] = Im X_k / N.
std::vector<long double> directDft(const std::vector<double>& x)
{
    const std::size_t n = x.size();
    std::vector<long double> c(n), s(n);
    for (std::size_t j = 0; j < n; ++j) {
        const long double a = 2.0L * std::numbers::pi_v<long double> * static_cast<long double>(j) / n;
        c[j] = std::cos(a);
        s[j] = std::sin(a);
    }
    std::vector<long double> out(n);
    for (std::size_t k = 0; k <= n / 2; ++k) {
        long double re = 0, im = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t r = (j * k) % n;
            re += x[j] * c[r];
            im -= x[j] * s[r];
        }
        out[k] = re / n;
        if (k > 0 && k < n / 2)
            out[n - k] = im / n;
    }
    return out;
}

class RealFftKernels : public ::testing::TestWithParam<VectorKernels> {
protected:
    void SetUp() override
    {
        if (vectorKernelsOf(GetParam()) == nullptr)
            GTEST_SKIP() << "this processor has not got them";
        setVectorKernels(GetParam());
    }
    void TearDown() override { setVectorKernels(VectorKernels::Automatic); }
};

TEST_P(RealFftKernels, MatchesDirectDftForEverySize)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> dist(-32768.0, 32767.0);
    for (int m = 1; m <= 12; ++m) {
        const std::size_t n = std::size_t{1} << m;
        std::vector<double> x(n);
        for (auto& v : x)
            v = dist(rng);
        const std::vector<long double> ref = directDft(x);
        RealFft(x.data(), m);
        long double errSq = 0, refSq = 0, maxErr = 0, maxRef = 0;
        for (std::size_t i = 0; i < n; ++i) {
            // The sign of the imaginary parts is not part of the contract.
            const bool imag = i > n / 2;
            const long double got = imag ? std::fabs(static_cast<long double>(x[i])) : x[i];
            const long double want = imag ? std::fabs(ref[i]) : ref[i];
            const long double e = std::fabs(got - want);
            errSq += e * e;
            refSq += want * want;
            maxErr = std::max(maxErr, e);
            maxRef = std::max(maxRef, std::fabs(want));
        }
        // Rounding of an FFT grows with log2 N; the constant leaves room for
        // the twiddle and scaling errors but not for a wrong butterfly.
        const double bound = 2.0 * m * DBL_EPSILON;
        EXPECT_LE(static_cast<double>(std::sqrt(errSq / refSq)), bound) << "N = " << n;
        EXPECT_LE(static_cast<double>(maxErr / maxRef), 4 * bound) << "N = " << n;
    }
}

TEST_P(RealFftKernels, SignOfImaginaryPartsFollowsTheNegativeExponent)
{
    // A sine at bin 3: X_3 = -i N/2, so Im X_3 / N = -1/2.
    const int m = 8, n = 1 << m;
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = std::sin(2 * std::numbers::pi * 3 * i / n);
    RealFft(x.data(), m);
    EXPECT_NEAR(x[3], 0.0, 1e-15);
    EXPECT_NEAR(x[n - 3], -0.5, 1e-15);
}

// The powers RealFftAddPower adds are (2N)^2 times the squared magnitudes of
// RealFft's bins, to rounding; bin 0, the Nyquist bin and what lies beyond
// keep their values.
TEST_P(RealFftKernels, AddPowerAddsThePowersOfTheBinsBetweenZeroAndNyquist)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> dist(-32768.0, 32767.0);
    for (int m = 1; m <= 13; ++m) {
        const std::size_t n = std::size_t{1} << m;
        std::vector<double> x(n);
        for (auto& v : x)
            v = dist(rng);
        std::vector<double> spectrum = x;
        RealFft(spectrum.data(), m);
        std::vector<double> acc(n / 2 + 4), before(acc.size());
        for (std::size_t k = 0; k < acc.size(); ++k)
            before[k] = acc[k] = 1e6 * static_cast<double>(k + 1);
        RealFftAddPower(x.data(), m, acc.data());
        const double scale = 4.0 * static_cast<double>(n) * static_cast<double>(n);
        EXPECT_EQ(acc[0], before[0]) << "N = " << n;
        for (std::size_t k = n / 2; k < acc.size(); ++k)
            EXPECT_EQ(acc[k], before[k]) << "N = " << n << ", k = " << k;
        for (std::size_t k = 1; k < n / 2; ++k) {
            const double power = scale * (spectrum[k] * spectrum[k] + spectrum[n - k] * spectrum[n - k]);
            EXPECT_NEAR(acc[k], before[k] + power, 4 * DBL_EPSILON * (before[k] + power)) << "N = " << n << ", k = " << k;
        }
    }
}

// A frame of stored 16-bit samples transforms exactly as the same samples
// decoded and windowed, full scale and misaligned storage included; where
// there is no such path the call says so and touches nothing.
TEST_P(RealFftKernels, Pcm16FramesGiveExactlyThePowersOfDecodedFrames)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    for (int m = 1; m <= 12; ++m) {
        const std::size_t n = std::size_t{1} << m;
        std::vector<double> window(n);
        buildWindowTable(window.data(), static_cast<int>(n), FftWindow::Hanning);
        const std::vector<double> layout = RealFftPcm16Window(window.data(), m);
        std::vector<std::uint8_t> stored(2 * n + 1);
        std::vector<double> frame(n);
        for (std::size_t i = 0; i < n; ++i) {
            const int v = i == 3 ? -32768 : i == 4 ? 32767 : dist(rng);
            stored[1 + 2 * i] = static_cast<std::uint8_t>(v & 0xFF);
            stored[2 + 2 * i] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
            frame[i] = static_cast<double>(v) * window[i];
        }
        std::vector<double> want(n / 2 + 1, 3.0), got = want, work(n, 0.0);
        RealFftAddPower(frame.data(), m, want.data());
        const bool taken = RealFftPcm16AddPower(stored.data() + 1, layout.data(), m, work.data(), got.data());
        const bool vectors = GetParam() != VectorKernels::Portable;
        EXPECT_EQ(taken, vectors && m >= 5) << "N = " << n;
        EXPECT_EQ(got, taken ? want : std::vector<double>(n / 2 + 1, 3.0)) << "N = " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, RealFftKernels,
                         ::testing::Values(VectorKernels::Portable, VectorKernels::Avx2, VectorKernels::Avx512),
                         [](const auto& p) { return std::string(vectorKernelsName(p.param)); });

TEST(RealFft, OrdersOutsideTheRangeLeaveTheBufferAlone)
{
    std::vector<double> x = {3.0, -1.0};
    RealFft(x.data(), 0);
    RealFft(x.data(), kMaxFftOrder + 1);
    RealFft(x.data(), -1);
    EXPECT_EQ(x, (std::vector<double>{3.0, -1.0}));
}

// ---------------------------------------------------------------------------
// Windows

TEST(FftWindow, ShapesAsDefined)
{
    const int n = 9;  // centre 4
    auto table = [&](FftWindow window) {
        std::vector<double> t(n);
        buildWindowTable(t.data(), n, window);
        return t;
    };
    const auto parzen = table(FftWindow::Parzen);
    EXPECT_DOUBLE_EQ(parzen[0], 0.0);
    EXPECT_DOUBLE_EQ(parzen[2], 2.0 * 0.5);
    EXPECT_DOUBLE_EQ(parzen[4], 2.0);
    const auto hanning = table(FftWindow::Hanning);
    EXPECT_DOUBLE_EQ(hanning[0], 0.0);
    EXPECT_DOUBLE_EQ(hanning[4], 2.0 * (1 - std::cos(6.283 * 4 / 8)) / 2);
    // 6.283 is short of 2 pi: the last point is not quite zero.
    EXPECT_GT(hanning[8], 0.0);
    EXPECT_LT(hanning[8], 1e-6);
    const auto hamming = table(FftWindow::Hamming);
    EXPECT_DOUBLE_EQ(hamming[0], 1.852 * 0.08);
    const auto welch = table(FftWindow::Welch);
    EXPECT_DOUBLE_EQ(welch[0], 1.0 - (4.0 / 5.0) * (4.0 / 5.0));
    EXPECT_DOUBLE_EQ(welch[4], 1.0);
    const auto blackman = table(FftWindow::Blackman);
    EXPECT_NEAR(blackman[0], 0.0, 1e-15);
    EXPECT_DOUBLE_EQ(blackman[4], 0.42 - 0.5 * std::cos(6.283 * 0.5) + 0.08 * std::cos(12.566 * 0.5));
    for (int code : {0, 6, 7, 42, -3}) {
        EXPECT_EQ(table(fftWindowOf(code)), std::vector<double>(n, 1.0)) << code;
        EXPECT_STREQ(windowSettingsLabel(code), "Rectangular");
        EXPECT_STREQ(windowTitleLabel(code), "");
    }
    EXPECT_STREQ(windowTitleLabel(FftWindow::Hanning), ", Hanning window");
}

TEST(FftWindow, CosineTaperTouchesATenthAtEachEnd)
{
    const int n = 100;  // L = 10: elements 0..8 and 91..99 tapered
    std::vector<double> t(n);
    buildWindowTable(t.data(), n, FftWindow::Cosine);
    EXPECT_DOUBLE_EQ(t[0], 0.0);
    EXPECT_DOUBLE_EQ(t[99], 0.0);
    EXPECT_DOUBLE_EQ(t[5], 1.12 * 0.5);
    EXPECT_DOUBLE_EQ(t[94], 1.12 * 0.5);
    EXPECT_DOUBLE_EQ(t[8], 1.12 * (1 - std::cos(std::numbers::pi * 8 / 10)) / 2);
    EXPECT_DOUBLE_EQ(t[9], 1.12);
    EXPECT_DOUBLE_EQ(t[90], 1.12);
    EXPECT_DOUBLE_EQ(t[50], 1.12);
}

// With each window's gain, a full-scale sine centred on a bin reads as the
// rectangular window's 2^30.
class WindowGainLevel : public ::testing::TestWithParam<FftWindow> {};

TEST_P(WindowGainLevel, FullScaleSineReadsAsTwoToThirty)
{
    const int m = 10, n = 1 << m, bin = 100;
    std::vector<double> win(n), x(n);
    buildWindowTable(win.data(), n, GetParam());
    for (int i = 0; i < n; ++i)
        x[i] = 32768.0 * std::sin(2 * std::numbers::pi * bin * i / n) * win[i];
    RealFft(x.data(), m);
    const double p = 4 * (x[bin] * x[bin] + x[n - bin] * x[n - bin]);
    EXPECT_NEAR(p / std::ldexp(1.0, 30), 1.0, 0.02) << windowSettingsLabel(GetParam());
}

INSTANTIATE_TEST_SUITE_P(OfferedWindows, WindowGainLevel,
                         ::testing::Values(FftWindow::Rectangular, FftWindow::Parzen, FftWindow::Hanning, FftWindow::Hamming,
                                           FftWindow::Cosine));

TEST(FftWindow, BinFrequency)
{
    EXPECT_DOUBLE_EQ(BinFrequency(512, 384000, 0), 0.0);
    EXPECT_DOUBLE_EQ(BinFrequency(512, 384000, 1), 750.0);
    EXPECT_DOUBLE_EQ(BinFrequency(512, 384000, 256), 192000.0);
    EXPECT_DOUBLE_EQ(BinFrequency(512, 384000, 511), -750.0);
}

}  // namespace
