// An IIR filter as a cascade of second-order sections.
//
// A high-order filter run from its transfer function b(z)/a(z) is at the mercy
// of its coefficients' rounding: narrow or low filters have poles so close to
// one another and to the unit circle that the rounded polynomial describes a
// different, sometimes unstable, filter. Run as second-order sections built
// from the poles and zeros themselves, the same filter stays exact.
#pragma once

#include <complex>
#include <functional>
#include <string>
#include <vector>

// b0 + b1 z^-1 + b2 z^-2 over 1 + a1 z^-1 + a2 z^-2.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0;
    double a1 = 0, a2 = 0;
};

class SosCascade {
public:
    // Poles this close to the unit circle (or outside it) are refused.
    static constexpr double kStabilityMargin = 1e-6;

    SosCascade() = default;
    explicit SosCascade(std::vector<Biquad> sections) : m_sections(std::move(sections)) {}

    // Sections from the zeros and poles in z (complex ones in conjugate pairs)
    // and the gain: H(z) = gain · Π(1 − z_i z^-1) / Π(1 − p_j z^-1). Poles are
    // paired with their nearest zeros; the sections with the poles nearest to
    // the unit circle come last, the gain goes to the first. Empty when a
    // complex root has no conjugate partner.
    static SosCascade fromZerosPoles(const std::vector<std::complex<double>>& zeros,
                                     const std::vector<std::complex<double>>& poles, double gain);
    // Factors b(z^-1)/a(z^-1) (ascending powers of z^-1, a[0] ≠ 0) into
    // sections through the roots of both polynomials. Empty when they cannot
    // be found.
    static SosCascade fromTransferFunction(const std::vector<double>& b, const std::vector<double>& a);

    const std::vector<Biquad>& sections() const { return m_sections; }
    bool empty() const { return m_sections.empty(); }
    int order() const;

    // The largest pole radius.
    double largestPoleRadius() const;
    // Every coefficient finite and every pole inside the margin.
    bool stable() const;

    // H at the angular frequency ω (radians per sample).
    std::complex<double> response(double omega) const;

private:
    std::vector<Biquad> m_sections;
};

// b(e^{-jω}) / a(e^{-jω}) of a transfer function (0 when a is 0 there).
std::complex<double> transferFunctionResponse(const std::vector<double>& b, const std::vector<double>& a, double omega);

// The largest difference in dB between the cascade's magnitude and that of
// `reference` (H at ω) at `points` frequencies spread over 0..π, counted
// where either lies above `floorDb` below the larger one's peak (far down in
// the stopband rounding decides). Infinite when there is no finite peak.
double largestResponseDifferenceDb(const SosCascade& sections, const std::function<std::complex<double>(double)>& reference,
                                   int points, double floorDb);
// The same against a transfer function b(z^-1)/a(z^-1).
double largestResponseDifferenceDb(const SosCascade& sections, const std::vector<double>& b,
                                   const std::vector<double>& a, int points = 2048, double floorDb = -40);
