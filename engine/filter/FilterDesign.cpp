#include "filter/FilterDesign.h"

#include "filter/PolynomialRoots.h"

#include "core/NumberText.h"

#include <kelmerr/kelmerr.h>
#include <kelmsp/kelmsp.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Complex = std::complex<double>;

// The value of π with which the library prewarps and transforms.
constexpr double kLibraryPi = 3.1415927410125732;

const char* const kIncreaseOrder8 =
    "Filter cut-off frequency not allowed. Increase cut-off frequency or decrease filter order.";
const char* const kDecreaseOrder8 =
    "Filter cut-off frequency not allowed. Decrease cut-off frequency or decrease filter order.";
const char* const kIncrease = "Filter cut-off frequency not allowed. Increase cut-off frequency.";
const char* const kDecrease = "Filter cut-off frequency not allowed. Decrease cut-off frequency.";
const char* const kTooNarrow = "Filter bandwidth too narrow. Increase the bandwidth.";

bool outside(double hz, double nyquistHz)
{
    return hz > nyquistHz || hz < 1;
}

// The range checks of the relative edges, by order; "" when they pass.
std::string rangeMessage(int order, double f)
{
    if (order == 8) {
        if (f < 0.01814)
            return kIncreaseOrder8;
        if (f > 0.9819)
            return kDecreaseOrder8;
    } else if (order < 8) {
        if (f < 0.00907)
            return kIncrease;
        if (f > 0.9909)
            return kDecrease;
    }
    return {};
}

std::string digitsOnly(const std::string& text, const char* keep)
{
    std::string out;
    for (char c : text)
        if (std::strchr(keep, c))
            out += c;
    return out;
}

// Zeros, poles (in z) and gain of b(z^-1)/a(z^-1), with b[0] and a[0] not 0.
struct Zpk {
    std::vector<Complex> zeros, poles;
    double gain = 1;
};

bool zpkOf(const std::vector<double>& b, const std::vector<double>& a, Zpk& out)
{
    if (b.empty() || a.empty() || b[0] == 0 || a[0] == 0 || !filterPolynomialRootsInZ(b, out.zeros) ||
        !filterPolynomialRootsInZ(a, out.poles))
        return false;
    out.gain = b[0] / a[0];
    return true;
}

// The roots in z of D(w) − r σ N(w) (w = z^-1, N = D reversed) and its
// constant coefficient.
Complex mapRoot(const Complex& r, const std::vector<double>& D, int sigma, std::vector<Complex>& out)
{
    const std::size_t K = D.size() - 1;
    std::vector<Complex> q(K + 1);
    for (std::size_t j = 0; j <= K; ++j)
        q[j] = D[j] - r * static_cast<double>(sigma) * D[K - j];
    // Σ q[j] z^(K−j) = 0.
    if (K == 1) {
        out.push_back(-q[1] / q[0]);
    } else {
        const Complex disc = std::sqrt(q[1] * q[1] - 4.0 * q[0] * q[2]);
        // The root of larger size from the stable formula, the other from the product.
        const Complex s = (q[1].real() * disc.real() + q[1].imag() * disc.imag()) >= 0 ? q[1] + disc : q[1] - disc;
        const Complex z1 = -s / (2.0 * q[0]);
        const Complex z2 = z1 != Complex(0) ? q[2] / (q[0] * z1) : Complex(0);
        out.push_back(z1);
        out.push_back(z2);
    }
    return q[0];
}

// Applies z^-1 → σ N(z^-1)/D(z^-1) to the roots: each root becomes K roots;
// the factors of D left over where b or a has fewer roots than the order
// become roots of their own.
bool transformZpk(const Zpk& in, const std::vector<double>& D, int sigma, Zpk& out)
{
    const std::size_t M = std::max(in.zeros.size(), in.poles.size());
    Complex gain = in.gain;
    out = Zpk{};
    for (const Complex& z : in.zeros)
        gain *= mapRoot(z, D, sigma, out.zeros);
    for (const Complex& p : in.poles)
        gain /= mapRoot(p, D, sigma, out.poles);
    std::vector<Complex> dRoots;
    mapRoot(Complex(0), D, 1, dRoots);  // roots of D itself
    for (std::size_t i = in.zeros.size(); i < M; ++i)
        out.zeros.insert(out.zeros.end(), dRoots.begin(), dRoots.end());
    for (std::size_t i = in.poles.size(); i < M; ++i)
        out.poles.insert(out.poles.end(), dRoots.begin(), dRoots.end());
    // Conjugate partners exactly conjugate.
    makeConjugateSymmetric(out.zeros);
    makeConjugateSymmetric(out.poles);
    out.gain = gain.real();
    return std::isfinite(out.gain);
}

std::vector<double> toStd(const KelmVectorDouble& v)
{
    std::vector<double> out(static_cast<std::size_t>(v.length()));
    for (int i = 0; i < v.length(); ++i)
        out[static_cast<std::size_t>(i)] = v[i];
    return out;
}

// The all-pass of each band's transformation from the prototype edge fOld,
// as the library forms it: D with D[0] = 1, and the sign σ.
void mappingFor(FilterBand band, double fOld, double f1, double f2, std::vector<double>& D, int& sigma)
{
    const double pi = kLibraryPi, theta = fOld * pi;
    switch (band) {
    case FilterBand::LowPass: {
        const double wn = f1 * pi;
        D = {1, -(std::sin((theta - wn) / 2) / std::sin((theta + wn) / 2))};
        sigma = 1;
        break;
    }
    case FilterBand::HighPass: {
        const double A = (1 - fOld) * pi, B = (1 - f1) * pi;
        D = {1, std::cos((A + B) / 2) / std::cos((A - B) / 2)};
        sigma = -1;
        break;
    }
    case FilterBand::BandPass:
    case FilterBand::BandStop: {
        const double A = (1 - f1) * pi, B = (1 - f2) * pi;
        const double h = (B - A) / 2;
        const double c = std::cos((A + B) / 2) / std::cos(h);
        if (band == FilterBand::BandPass) {
            const double k = std::tan(theta / 2) / std::tan(h);
            D = {1, 2 * k * c / (k - 1), (k + 1) / (k - 1)};
            sigma = -1;
        } else {
            const double k = std::tan(theta / 2) * std::tan(h);
            D = {1, 2 * c / (1 - k), (1 + k) / (1 - k)};
            sigma = 1;
        }
        break;
    }
    case FilterBand::None:
        break;
    }
}

FilterDesignResult fail(std::string message)
{
    FilterDesignResult r;
    r.message = std::move(message);
    return r;
}

const char* const kNoRoots = "The filter cannot be split into second-order sections: its coefficients have no usable roots.";
const char* const kUnstable = "The filter is unstable: a pole lies on or outside the unit circle.";
const char* const kUnusable =
    "The filter is numerically unusable: its sections differ from its coefficients by more than 1 dB.";

FilterDesignResult accepted(SosCascade sections)
{
    FilterDesignResult r;
    r.ok = true;
    r.sections = std::move(sections);
    return r;
}

// Sections factored from a definition file's coefficients: stable, and
// following the difference equation they came from.
FilterDesignResult checkedFactoring(SosCascade sections, const FilterRecord& record)
{
    if (sections.empty())
        return fail(kNoRoots);
    if (!sections.stable())
        return fail(kUnstable);
    const std::vector<double> a(record.A.begin(), record.A.begin() + record.order + 1);
    const std::vector<double> b(record.B.begin(), record.B.begin() + record.order + 1);
    if (largestResponseDifferenceDb(sections, b, a) > 1.0)
        return fail(kUnusable);
    return accepted(std::move(sections));
}

// The transformed filter evaluated without expanding it: the prototype at the
// frequency the all-pass maps ω to, H(e^{jω}) = P(σ N(w)/D(w)), w = e^{−jω}.
Complex mappedPrototypeResponse(const std::vector<double>& b, const std::vector<double>& a,
                                const std::vector<double>& D, int sigma, double omega)
{
    const Complex w = std::polar(1.0, -omega);
    Complex d(0), n(0), wk(1);
    const std::size_t K = D.size() - 1;
    for (std::size_t k = 0; k <= K; ++k, wk *= w) {
        d += D[k] * wk;
        n += D[K - k] * wk;
    }
    const Complex x = static_cast<double>(sigma) * n / d;
    auto eval = [&x](const std::vector<double>& c) {
        Complex sum(0), xk(1);
        for (double v : c) {
            sum += v * xk;
            xk *= x;
        }
        return sum;
    };
    const Complex den = eval(a);
    return den == Complex(0) ? Complex(0) : eval(b) / den;
}

// Designed sections: stable, and following the transformed prototype. (The
// expanded difference equation of a narrow or low design is itself off by
// many decibels near its edges, so it cannot serve as the yardstick.)
FilterDesignResult checkedDesign(SosCascade sections, const std::vector<double>& pb, const std::vector<double>& pa,
                                 const std::vector<double>& D, int sigma)
{
    if (sections.empty())
        return fail(kNoRoots);
    if (!sections.stable())
        return fail(kUnstable);
    const auto reference = [&](double omega) { return mappedPrototypeResponse(pb, pa, D, sigma, omega); };
    if (largestResponseDifferenceDb(sections, reference, 4096, -60) > 1.0)
        return fail(kUnusable);
    return accepted(std::move(sections));
}

}  // namespace

double filterNyquistHz(std::uint32_t rateHz, std::int32_t timeExp25)
{
    const double te = timeExp25 > 0 ? timeExp25 : 1000;
    return static_cast<double>(rateHz) * te / 2000.0;
}

std::string filterCheckMessage(const FilterRecord& r, double N)
{
    if (r.order <= 0)
        return "Ilegal filter order!";
    if (r.type == FilterType::UserDefined)
        return {};
    std::string msg;
    switch (r.band) {
    case FilterBand::LowPass:
    case FilterBand::HighPass: {
        const double fc = r.band == FilterBand::LowPass ? r.lowPassHz : r.highPassHz;
        if (outside(fc, N))
            return "Illegal cut-off frequency!";
        return rangeMessage(r.order, fc / N);
    }
    case FilterBand::BandPass: {
        const double fl = r.bandPassLowHz, fu = r.bandPassHighHz;
        if (outside(fl, N))
            msg = "Illegal lower cut-off frequency!";
        else if (outside(fu, N))
            msg = "Illegal upper cut-off frequency!";
        else if (!(fl < fu))
            msg = "Lower cut-off frequency greater than upper!";
        else if ((fu - fl) / N < 0.00907)
            msg = kTooNarrow;
        // The range checks run in any case; a failing one replaces the message.
        const double lo = std::min(fl, fu) / N, hi = std::max(fl, fu) / N;
        if (r.order == 8) {
            if (lo < 0.01814)
                msg = kIncreaseOrder8;
            else if (hi > 0.9819)
                msg = kDecreaseOrder8;
        } else if (r.order < 8) {
            if (lo < 0.00907)
                msg = kIncrease;
            if (hi > 0.9909)
                msg = kDecrease;
        }
        return msg;
    }
    case FilterBand::BandStop: {
        const double fl = r.bandStopLowHz, fu = r.bandStopHighHz;
        if (outside(fl, N))
            return "Illegal lower cut-off frequency!";
        if (outside(fu, N))
            return "Illegal upper cut-off frequency!";
        if (!(fl < fu))
            return "Low bandstop frequency greater than high!";
        if ((fu - fl) / N < 0.01814)
            return kTooNarrow;
        msg = rangeMessage(r.order, fl / N);
        return msg.empty() ? rangeMessage(r.order, fu / N) : msg;
    }
    case FilterBand::None:
        break;
    }
    return "Filter range type not selected!!";
}

bool rippleFromText(const std::string& text, std::int32_t& tenthsDb)
{
    const std::string digits = digitsOnly(text, "0123456789.");
    double v = 0;
    if (digits.empty() || !vkit::parseDouble(digits, v) || !(v < 1e6))
        return false;
    tenthsDb = static_cast<std::int32_t>(std::trunc(v * 10 + 0.5));
    return true;
}

bool stopbandFromText(const std::string& text, std::int32_t& db)
{
    const std::string digits = digitsOnly(text, "-0123456789");
    std::int64_t v = 0;
    if (digits.empty() || !vkit::parseInt64(digits, v) || v < -1000 || v > 1000)
        return false;
    db = static_cast<std::int32_t>(v);
    return true;
}

FilterDesignResult designFilter(FilterRecord& record, double nyquistHz)
{
    std::string message = filterCheckMessage(record, nyquistHz);
    if (!message.empty())
        return fail(message);
    if (record.order > FilterRecord::kMaxOrder)
        return fail("Ilegal filter order!");
    const int n = record.order;

    if (record.type == FilterType::UserDefined) {
        if (record.A[0] == 0)
            return fail("The filter's leading denominator coefficient A[0] is 0: it is not a filter.");
        const double a0 = record.A[0];
        for (int j = 0; j <= n; ++j) {
            record.A[static_cast<std::size_t>(j)] /= a0;
            record.B[static_cast<std::size_t>(j)] /= a0;
        }
        for (int j = 0; j <= n; ++j)
            if (!std::isfinite(record.A[static_cast<std::size_t>(j)]) || !std::isfinite(record.B[static_cast<std::size_t>(j)]))
                return fail("The filter's coefficients are not finite numbers.");
        const std::vector<double> a(record.A.begin(), record.A.begin() + n + 1);
        const std::vector<double> b(record.B.begin(), record.B.begin() + n + 1);
        return checkedFactoring(SosCascade::fromTransferFunction(b, a), record);
    }

    KelmIIRFilterOption option;
    double p1 = 0, p2 = 0;
    const double delta = 1 - std::pow(10.0, -record.rippleTenthDb / 200.0);
    const double g = std::pow(10.0, record.stopbandDb / 20.0);
    switch (record.type) {
    case FilterType::Butterworth:
        option = KELM_BUTTERWORTH;
        break;
    case FilterType::Chebyshev1:
        option = KELM_CHEBYSHEV;
        p1 = delta;
        break;
    case FilterType::InverseChebyshev:
        option = KELM_INVERSE_CHEBYSHEV;
        p1 = g;
        break;
    case FilterType::Elliptic:
        option = KELM_ELLIPTIC;
        p1 = delta;
        p2 = g;
        break;
    default:
        return fail("Filter type not selected!");
    }

    const bool twoEdges = record.band == FilterBand::BandPass || record.band == FilterBand::BandStop;
    const int prototypeOrder = twoEdges ? n / 2 : n;
    if (prototypeOrder < 1)
        return fail("Ilegal filter order!");
    double f1 = 0, f2 = 0;
    switch (record.band) {
    case FilterBand::LowPass: f1 = record.lowPassHz / nyquistHz; break;
    case FilterBand::HighPass: f1 = record.highPassHz / nyquistHz; break;
    case FilterBand::BandPass: f1 = record.bandPassLowHz / nyquistHz; f2 = record.bandPassHighHz / nyquistHz; break;
    case FilterBand::BandStop: f1 = record.bandStopLowHz / nyquistHz; f2 = record.bandStopHighHz / nyquistHz; break;
    case FilterBand::None: break;
    }

    // Printing and stopping off for every severity; the code is read below.
    for (int severity = 1; severity <= 5; ++severity)
        kelm_erset(severity, 0, 0);
    kelm_error_clear();
    // The difference equation, as the library designs it.
    KelmIIRFilterDouble filter = IIRFilterDesign(option, prototypeOrder, record.band == FilterBand::LowPass ? f1 : 0.5, p1, p2);
    KelmIIRFilterDouble prototype = IIRFilterDesign(option, prototypeOrder, 0.5, p1, p2);
    if (kelm_n1rcd(0) == 0) {
        if (record.band == FilterBand::HighPass)
            filter.frequencyTransformation(KELM_HIGH_PASS, 0.5, f1);
        else if (record.band == FilterBand::BandPass)
            filter.frequencyTransformation(KELM_BAND_PASS, 0.5, f1, f2);
        else if (record.band == FilterBand::BandStop)
            filter.frequencyTransformation(KELM_BAND_STOP, 0.5, f1, f2);
    }
    if (const int code = kelm_n1rcd(0); code != 0 || !filter.defined() || !prototype.defined()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Filter calculation error# %d.", code);
        return fail(buf);
    }
    const std::vector<double> a = toStd(filter.A()), b = toStd(filter.B());
    record.A.fill(0);
    record.B.fill(0);
    if (!a.empty() && a[0] != 0) {
        for (int j = 0; j <= n && j < static_cast<int>(a.size()); ++j)
            record.A[static_cast<std::size_t>(j)] = a[static_cast<std::size_t>(j)] / a[0];
        for (int j = 0; j <= n && j < static_cast<int>(b.size()); ++j)
            record.B[static_cast<std::size_t>(j)] = b[static_cast<std::size_t>(j)] / a[0];
    } else {
        for (int j = 0; j <= n && j < static_cast<int>(a.size()); ++j)
            record.A[static_cast<std::size_t>(j)] = a[static_cast<std::size_t>(j)];
        for (int j = 0; j <= n && j < static_cast<int>(b.size()); ++j)
            record.B[static_cast<std::size_t>(j)] = b[static_cast<std::size_t>(j)];
    }
    if (twoEdges)
        record.order = 2 * prototypeOrder;

    // The filter that runs: the prototype's roots, transformed one by one.
    Zpk proto, mapped;
    std::vector<double> D;
    int sigma = 1;
    mappingFor(record.band, 0.5, f1, f2, D, sigma);
    const std::vector<double> pb = toStd(prototype.B()), pa = toStd(prototype.A());
    if (D.empty() || !zpkOf(pb, pa, proto) || !transformZpk(proto, D, sigma, mapped))
        return fail(kNoRoots);
    return checkedDesign(SosCascade::fromZerosPoles(mapped.zeros, mapped.poles, mapped.gain), pb, pa, D, sigma);
}

std::vector<double> normalisedMagnitudeResponse(const SosCascade& sections, int points)
{
    points = std::max(points, 2);
    std::vector<double> m(static_cast<std::size_t>(points));
    double peak = 0;
    for (int i = 0; i < points; ++i) {
        const double omega = M_PI * i / (points - 1);
        const double v = std::abs(sections.response(omega));
        m[static_cast<std::size_t>(i)] = std::isfinite(v) ? v : 0;
        peak = std::max(peak, m[static_cast<std::size_t>(i)]);
    }
    if (peak > 0)
        for (double& v : m)
            v /= peak;
    return m;
}

namespace {

// Prewarped analog frequency of an edge in Hz.
double warped(double hz, double nyquistHz)
{
    return std::tan(M_PI * hz / nyquistHz / 2);
}

int estimateOrder(KelmIIRFilterOption option, FilterBand band, const std::vector<double>& pass,
                  const std::vector<double>& stop, double nyquistHz, double rp, double rs)
{
    double selectivity = 0;  // prototype stop edge over pass edge, analog
    if (band == FilterBand::LowPass)
        selectivity = warped(stop[0], nyquistHz) / warped(pass[0], nyquistHz);
    else if (band == FilterBand::HighPass)
        selectivity = warped(pass[0], nyquistHz) / warped(stop[0], nyquistHz);
    else {
        const double p1 = warped(pass[0], nyquistHz), p2 = warped(pass[1], nyquistHz);
        const double w0 = p1 * p2, bw = p2 - p1;
        selectivity = INFINITY;
        for (double s : stop) {
            const double ws = warped(s, nyquistHz);
            const double lp = band == FilterBand::BandPass ? std::fabs(ws * ws - w0) / (ws * bw) : std::fabs(ws * bw / (w0 - ws * ws));
            selectivity = std::min(selectivity, lp);
        }
    }
    if (!(selectivity > 1) || !std::isfinite(selectivity))
        return 0;
    // The prototype's edges as digital frequencies: pass at 0.5 (analog 1).
    const double fs = 2 / M_PI * std::atan(selectivity);
    for (int severity = 1; severity <= 5; ++severity)
        kelm_erset(severity, 0, 0);
    kelm_error_clear();
    const int n = IIROrder<double>(option, 0.5, fs, rp, rs);
    if (kelm_n1rcd(0) != 0 || n <= 0)
        return 0;
    return band == FilterBand::BandPass || band == FilterBand::BandStop ? 2 * n : n;
}

}  // namespace

int estimateFilterOrder(const FilterRecord& record, const std::vector<double>& passEdgesHz,
                        const std::vector<double>& stopEdgesHz, double nyquistHz)
{
    if (passEdgesHz.empty() || stopEdgesHz.empty())
        return 0;
    const KelmIIRFilterOption option = record.type == FilterType::Chebyshev1 ? KELM_CHEBYSHEV
                                       : record.type == FilterType::Elliptic ? KELM_ELLIPTIC
                                       : record.type == FilterType::InverseChebyshev ? KELM_INVERSE_CHEBYSHEV
                                                                                      : KELM_BUTTERWORTH;
    const double rp = 1 - std::pow(10.0, -record.rippleTenthDb / 200.0);
    const double rs = std::pow(10.0, record.stopbandDb / 20.0);
    return estimateOrder(option, record.band, passEdgesHz, stopEdgesHz, nyquistHz, rp, rs);
}
