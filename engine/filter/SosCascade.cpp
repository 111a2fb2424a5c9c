#include "filter/SosCascade.h"

#include "filter/PolynomialRoots.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

using Complex = std::complex<double>;

// A real factor of at most two roots: a conjugate pair, or one or two real roots.
struct RootGroup {
    Complex first;
    Complex second;
    int count = 0;  // 1 or 2
    double radius() const { return std::max(std::abs(first), count > 1 ? std::abs(second) : 0.0); }
    // c0 + c1 x + c2 x^2 for Π(1 − r x).
    void coefficients(double& c1, double& c2) const
    {
        if (count == 1) {
            c1 = -first.real();
            c2 = 0;
        } else {
            c1 = -(first + second).real();
            c2 = (first * second).real();
        }
    }
};

bool isReal(const Complex& r) { return r.imag() == 0.0; }

// Conjugate pairs as one group each; real roots paired in order of size
// (largest first, so that a lone one is the smallest).
bool groupRoots(std::vector<Complex> roots, std::vector<RootGroup>& groups)
{
    std::vector<Complex> reals, upper, lower;
    for (const Complex& r : roots)
        (isReal(r) ? reals : r.imag() > 0 ? upper : lower).push_back(r);
    if (upper.size() != lower.size())
        return false;
    for (const Complex& u : upper) {
        auto it = std::find(lower.begin(), lower.end(), std::conj(u));
        if (it == lower.end())
            return false;
        lower.erase(it);
        groups.push_back({u, std::conj(u), 2});
    }
    std::sort(reals.begin(), reals.end(), [](const Complex& a, const Complex& b) { return std::abs(a) > std::abs(b); });
    for (std::size_t i = 0; i < reals.size(); i += 2) {
        if (i + 1 < reals.size())
            groups.push_back({reals[i], reals[i + 1], 2});
        else
            groups.push_back({reals[i], Complex(0), 1});
    }
    return true;
}

double distance(const RootGroup& a, const RootGroup& b)
{
    return std::abs(a.first - b.first);
}

}  // namespace

SosCascade SosCascade::fromZerosPoles(const std::vector<Complex>& zeros, const std::vector<Complex>& poles, double gain)
{
    std::vector<RootGroup> zg, pg;
    if (!groupRoots(zeros, zg) || !groupRoots(poles, pg))
        return {};
    // Poles nearest the unit circle choose their zeros first.
    std::sort(pg.begin(), pg.end(), [](const RootGroup& a, const RootGroup& b) { return a.radius() > b.radius(); });
    std::vector<Biquad> sections;
    for (const RootGroup& p : pg) {
        Biquad s;
        p.coefficients(s.a1, s.a2);
        if (!zg.empty()) {
            auto best = std::min_element(zg.begin(), zg.end(), [&](const RootGroup& a, const RootGroup& b) {
                // A pair of poles takes a pair of zeros when there is one.
                if ((a.count == p.count) != (b.count == p.count))
                    return a.count == p.count;
                return distance(a, p) < distance(b, p);
            });
            best->coefficients(s.b1, s.b2);
            zg.erase(best);
        }
        sections.push_back(s);
    }
    // Zeros left over (more zeros than poles) get sections of their own.
    for (const RootGroup& z : zg) {
        Biquad s;
        z.coefficients(s.b1, s.b2);
        sections.push_back(s);
    }
    if (sections.empty())
        sections.push_back(Biquad{});
    std::reverse(sections.begin(), sections.end());
    Biquad& front = sections.front();
    front.b0 *= gain;
    front.b1 *= gain;
    front.b2 *= gain;
    return SosCascade(std::move(sections));
}

SosCascade SosCascade::fromTransferFunction(const std::vector<double>& b, const std::vector<double>& a)
{
    if (a.empty() || b.empty() || a[0] == 0)
        return {};
    std::vector<Complex> zeros, poles;
    if (!filterPolynomialRootsInZ(b, zeros) || !filterPolynomialRootsInZ(a, poles))
        return {};
    // Leading zero coefficients of b are a pure delay z^-k: sections with b0 = 0.
    std::size_t delay = 0;
    while (delay < b.size() && b[delay] == 0)
        ++delay;
    SosCascade s = fromZerosPoles(zeros, poles, b[delay] / a[0]);
    if (s.empty())
        return s;
    std::vector<Biquad> sections = s.sections();
    for (std::size_t d = 0; d < delay; d += 2) {
        Biquad shift;
        shift.b0 = 0;
        (d + 1 < delay ? shift.b2 : shift.b1) = 1;
        sections.push_back(shift);
    }
    return SosCascade(std::move(sections));
}

int SosCascade::order() const
{
    int n = 0;
    for (const Biquad& s : m_sections)
        n += std::max(s.a2 != 0 ? 2 : s.a1 != 0 ? 1 : 0, s.b2 != 0 ? 2 : s.b1 != 0 ? 1 : 0);
    return n;
}

double SosCascade::largestPoleRadius() const
{
    double r = 0;
    for (const Biquad& s : m_sections) {
        // Roots of z^2 + a1 z + a2.
        const double d = s.a1 * s.a1 - 4 * s.a2;
        if (d < 0) {
            r = std::max(r, std::sqrt(s.a2));
        } else {
            const double q = std::sqrt(d);
            r = std::max({r, std::fabs((-s.a1 + q) / 2), std::fabs((-s.a1 - q) / 2)});
        }
    }
    return r;
}

bool SosCascade::stable() const
{
    if (empty())
        return false;
    for (const Biquad& q : m_sections)
        for (double c : {q.b0, q.b1, q.b2, q.a1, q.a2})
            if (!std::isfinite(c))
                return false;
    return largestPoleRadius() < 1.0 - kStabilityMargin;
}

std::complex<double> SosCascade::response(double omega) const
{
    const Complex z1 = std::polar(1.0, -omega), z2 = z1 * z1;
    Complex h(1);
    for (const Biquad& s : m_sections) {
        const Complex den = 1.0 + s.a1 * z1 + s.a2 * z2;
        if (den == Complex(0))
            return Complex(0);
        h *= (s.b0 + s.b1 * z1 + s.b2 * z2) / den;
    }
    return h;
}

std::complex<double> transferFunctionResponse(const std::vector<double>& b, const std::vector<double>& a, double omega)
{
    using LComplex = std::complex<long double>;
    auto eval = [omega](const std::vector<double>& c) {
        LComplex sum(0);
        for (std::size_t k = 0; k < c.size(); ++k)
            sum += static_cast<long double>(c[k]) * std::polar(1.0L, -static_cast<long double>(omega) * static_cast<long double>(k));
        return sum;
    };
    const LComplex den = eval(a);
    if (den == LComplex(0))
        return Complex(0);
    const LComplex h = eval(b) / den;
    return Complex(static_cast<double>(h.real()), static_cast<double>(h.imag()));
}

double largestResponseDifferenceDb(const SosCascade& sections, const std::function<std::complex<double>(double)>& reference,
                                   int points, double floorDb)
{
    std::vector<double> sos(static_cast<std::size_t>(points)), ref(static_cast<std::size_t>(points));
    double peak = 0;
    for (int i = 0; i < points; ++i) {
        const double omega = M_PI * i / (points - 1);
        sos[static_cast<std::size_t>(i)] = std::abs(sections.response(omega));
        ref[static_cast<std::size_t>(i)] = std::abs(reference(omega));
        peak = std::max({peak, sos[static_cast<std::size_t>(i)], ref[static_cast<std::size_t>(i)]});
    }
    if (!(peak > 0) || !std::isfinite(peak))
        return INFINITY;
    const double floor = peak * std::pow(10.0, floorDb / 20);
    double worst = 0;
    for (std::size_t i = 0; i < sos.size(); ++i) {
        if (sos[i] < floor && ref[i] < floor)
            continue;
        const double d = 20 * std::log10(std::max(sos[i], 1e-300) / std::max(ref[i], 1e-300));
        worst = std::max(worst, std::fabs(d));
    }
    return worst;
}

double largestResponseDifferenceDb(const SosCascade& sections, const std::vector<double>& b,
                                   const std::vector<double>& a, int points, double floorDb)
{
    return largestResponseDifferenceDb(
        sections, [&](double omega) { return transferFunctionResponse(b, a, omega); }, points, floorDb);
}
