#include "display/FftWindow.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double windowGain(FftWindow window)
{
    switch (window) {
    case FftWindow::Parzen:
    case FftWindow::Hanning: return 2.0;
    case FftWindow::Hamming: return 1.852;
    case FftWindow::Cosine: return 1.12;
    default: return 1.0;
    }
}

void ApplyWindow(double* buffer, int n, FftWindow window)
{
    const int code = fftWindowCode(window);
    if (buffer == nullptr || n < 2 || code < fftWindowCode(FftWindow::Parzen) || code > fftWindowCode(FftWindow::Blackman))
        return;
    const double last = n - 1;
    const double c = last / 2.0;
    const double welchHalf = (n + 1) / 2.0;
    for (int i = 0; i < n; ++i) {
        double w = 1.0;
        switch (window) {
        case FftWindow::Parzen: w = 1.0 - std::fabs((i - c) / c); break;
        case FftWindow::Hanning: w = (1.0 - std::cos(6.283 * i / last)) / 2.0; break;
        case FftWindow::Welch: {
            const double r = (i - c) / welchHalf;
            w = 1.0 - r * r;
            break;
        }
        case FftWindow::Hamming: w = 0.54 - 0.46 * std::cos(6.283 * i / last); break;
        case FftWindow::Blackman:
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

void buildWindowTable(double* table, int n, FftWindow window)
{
    if (table == nullptr || n <= 0)
        return;
    std::fill(table, table + n, windowGain(window));
    if (window == FftWindow::Cosine)
        CosineTaper(table, n, 1);
    else
        ApplyWindow(table, n, window);
}

const char* windowSettingsLabel(FftWindow window)
{
    switch (window) {
    case FftWindow::Parzen: return "Parzen";
    case FftWindow::Hanning: return "Hanning";
    case FftWindow::Hamming: return "Hamming";
    case FftWindow::Cosine: return "Cosine";
    default: return "Rectangular";
    }
}

const char* windowTitleLabel(FftWindow window)
{
    switch (window) {
    case FftWindow::Parzen: return ", Parzen window";
    case FftWindow::Hanning: return ", Hanning window";
    case FftWindow::Hamming: return ", Hamming window";
    case FftWindow::Cosine: return ", Cosine window";
    default: return "";
    }
}
