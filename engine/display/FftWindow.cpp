#include "display/FftWindow.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double WindowGain(int code)
{
    switch (code) {
    case fftwin::kParzen:
    case fftwin::kHanning: return 2.0;
    case fftwin::kHamming: return 1.852;
    case fftwin::kCosine: return 1.12;
    default: return 1.0;
    }
}

void ApplyWindow(double* buffer, int n, int code)
{
    if (buffer == nullptr || n < 2 || code < fftwin::kParzen || code > fftwin::kBlackman)
        return;
    const double last = n - 1;
    const double c = last / 2.0;
    const double welchHalf = (n + 1) / 2.0;
    for (int i = 0; i < n; ++i) {
        double w = 1.0;
        switch (code) {
        case fftwin::kParzen: w = 1.0 - std::fabs((i - c) / c); break;
        case fftwin::kHanning: w = (1.0 - std::cos(6.283 * i / last)) / 2.0; break;
        case fftwin::kWelch: {
            const double r = (i - c) / welchHalf;
            w = 1.0 - r * r;
            break;
        }
        case fftwin::kHamming: w = 0.54 - 0.46 * std::cos(6.283 * i / last); break;
        case fftwin::kBlackman:
            w = 0.42 - 0.5 * std::cos(6.283 * i / last) + 0.08 * std::cos(12.566 * i / last);
            break;
        default: break;
        }
        buffer[i] *= w;
    }
}

void CosineTaper(double* buffer, int n, int tenths)
{
    if (buffer == nullptr || n < 2 || tenths <= 0)
        return;
    const int taper = std::min(static_cast<int>(static_cast<long long>(n) * tenths / 10), n / 2);
    for (int i = 0; i <= taper - 2; ++i) {
        const double f = (1.0 - std::cos(std::numbers::pi * i / taper)) / 2.0;
        buffer[i] *= f;
        buffer[n - 1 - i] *= f;
    }
}

double BinFrequency(int n, double rate, int i)
{
    if (n <= 0)
        return 0.0;
    if (i <= n / 2)
        return i * rate / n;
    return -rate * (n - i) / n;
}

void BuildWindowTable(double* table, int n, int code)
{
    if (table == nullptr || n <= 0)
        return;
    std::fill(table, table + n, WindowGain(code));
    if (code == fftwin::kCosine)
        CosineTaper(table, n, 1);
    else
        ApplyWindow(table, n, code);
}

const char* WindowSettingsLabel(int code)
{
    switch (code) {
    case fftwin::kParzen: return "Parzen";
    case fftwin::kHanning: return "Hanning";
    case fftwin::kHamming: return "Hamming";
    case fftwin::kCosine: return "Cosine";
    default: return "Rectangular";
    }
}

const char* WindowTitleLabel(int code)
{
    switch (code) {
    case fftwin::kParzen: return ", Parzen window";
    case fftwin::kHanning: return ", Hanning window";
    case fftwin::kHamming: return ", Hamming window";
    case fftwin::kCosine: return ", Cosine window";
    default: return "";
    }
}
