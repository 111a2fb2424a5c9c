#include "filter/PolynomialRoots.h"

#include <algorithm>
#include <cmath>

namespace {

using Real = long double;
using Complex = std::complex<Real>;

// p(x) and p'(x) by Horner's rule.
void evaluate(const std::vector<Real>& p, Complex x, Complex& value, Complex& derivative)
{
    value = Complex(p.back());
    derivative = Complex(0);
    for (std::size_t i = p.size() - 1; i-- > 0;) {
        derivative = derivative * x + value;
        value = value * x + p[i];
    }
}

}  // namespace

std::vector<std::complex<double>> polynomialRoots(const std::vector<double>& coefficients)
{
    for (double c : coefficients)
        if (!std::isfinite(c))
            return {};
    std::size_t last = coefficients.size();
    while (last > 0 && coefficients[last - 1] == 0)
        --last;
    if (last == 0)
        return {};
    std::size_t first = 0;
    while (coefficients[first] == 0)
        ++first;
    std::vector<std::complex<double>> roots(first, std::complex<double>(0));
    std::vector<Real> p(coefficients.begin() + static_cast<std::ptrdiff_t>(first),
                        coefficients.begin() + static_cast<std::ptrdiff_t>(last));
    const std::size_t n = p.size() - 1;
    if (n == 0)
        return roots;
    // Monic, so that the size of the roots is bounded by the coefficients.
    const Real lead = p[n];
    for (Real& c : p)
        c /= lead;
    if (n == 1) {
        roots.emplace_back(static_cast<double>(-p[0]), 0.0);
        return roots;
    }

    // Starting points on a circle of the roots' geometric mean radius,
    // rotated off the real axis.
    const Real radius = std::pow(std::fabs(p[0]) > 0 ? std::fabs(p[0]) : Real(1), Real(1) / static_cast<Real>(n));
    std::vector<Complex> z(n);
    for (std::size_t k = 0; k < n; ++k) {
        const Real angle = Real(2) * Real(M_PI) * (static_cast<Real>(k) + Real(0.25)) / static_cast<Real>(n) + Real(0.4);
        z[k] = std::polar(radius, angle);
    }
    bool settled = false;
    for (int iteration = 0; iteration < 800 && !settled; ++iteration) {
        settled = true;
        for (std::size_t k = 0; k < n; ++k) {
            Complex value, derivative;
            evaluate(p, z[k], value, derivative);
            if (value == Complex(0))
                continue;
            const Complex ratio = value / derivative;
            Complex sum(0);
            for (std::size_t j = 0; j < n; ++j)
                if (j != k)
                    sum += Real(1) / (z[k] - z[j]);
            const Complex step = ratio / (Real(1) - ratio * sum);
            if (!std::isfinite(step.real()) || !std::isfinite(step.imag()))
                continue;
            z[k] -= step;
            if (std::abs(step) > Real(1e-17) * std::max(Real(1), std::abs(z[k])))
                settled = false;
        }
    }
    // Polish each root on the polynomial alone.
    for (Complex& r : z) {
        for (int i = 0; i < 4; ++i) {
            Complex value, derivative;
            evaluate(p, r, value, derivative);
            if (derivative == Complex(0) || value == Complex(0))
                break;
            const Complex next = r - value / derivative;
            if (!std::isfinite(next.real()) || !std::isfinite(next.imag()))
                break;
            r = next;
        }
    }
    for (const Complex& r : z)
        if (!std::isfinite(r.real()) || !std::isfinite(r.imag()))
            return {};

    for (const Complex& r : z)
        roots.emplace_back(static_cast<double>(r.real()), static_cast<double>(r.imag()));
    makeConjugateSymmetric(roots);
    return roots;
}

void makeConjugateSymmetric(std::vector<std::complex<double>>& roots)
{
    using C = std::complex<double>;
    std::vector<C> out, complex;
    for (const C& r : roots) {
        if (std::fabs(r.imag()) <= 1e-5 * std::max(1.0, std::abs(r)))
            out.emplace_back(r.real(), 0.0);
        else
            complex.push_back(r);
    }
    // The farthest from the axis first: their partners are the least in doubt.
    std::sort(complex.begin(), complex.end(), [](const C& a, const C& b) { return std::fabs(a.imag()) > std::fabs(b.imag()); });
    std::vector<bool> used(complex.size(), false);
    std::vector<C> pairs;
    for (std::size_t i = 0; i < complex.size(); ++i) {
        if (used[i])
            continue;
        used[i] = true;
        std::size_t best = complex.size();
        double bestDistance = 0;
        for (std::size_t j = 0; j < complex.size(); ++j) {
            if (used[j] || (complex[j].imag() > 0) == (complex[i].imag() > 0))
                continue;
            const double d = std::abs(complex[j] - std::conj(complex[i]));
            if (best == complex.size() || d < bestDistance) {
                best = j;
                bestDistance = d;
            }
        }
        if (best == complex.size()) {
            out.emplace_back(complex[i].real(), 0.0);
            continue;
        }
        used[best] = true;
        C mean = (complex[i] + std::conj(complex[best])) / 2.0;
        if (mean.imag() < 0)
            mean = std::conj(mean);
        pairs.push_back(mean);
        pairs.push_back(std::conj(mean));
    }
    out.insert(out.end(), pairs.begin(), pairs.end());
    roots = std::move(out);
}

bool filterPolynomialRootsInZ(const std::vector<double>& c, std::vector<std::complex<double>>& roots)
{
    std::size_t n = c.size();
    while (n > 0 && c[n - 1] == 0)
        --n;
    std::size_t first = 0;
    while (first < n && c[first] == 0)
        ++first;
    roots.clear();
    if (first == n)
        return false;
    if (n - first == 1)
        return true;
    // Σ_{k=first}^{n-1} c_k z^(n-1-k), in ascending powers of z.
    const std::vector<double> poly(c.rbegin() + static_cast<std::ptrdiff_t>(c.size() - n),
                                   c.rend() - static_cast<std::ptrdiff_t>(first));
    roots = polynomialRoots(poly);
    return roots.size() == n - first - 1;
}
