// The window library shared by the spectrogram, the power spectrum and the
// pulse analysis.
//
// Window codes (the FftWindow field of the analysis parameters):
//   0 rectangular, 1 Parzen (triangle), 2 Hanning, 3 Welch, 4 Hamming,
//   5 Blackman, 6 and 7 rectangular, 8 cosine taper (a tenth of N at each end).
// The settings offer 1, 2, 4 and 8 by name and show every other code as
// "Rectangular". Any unknown code has gain 1 and no shape.
//
// A window table holds gain x shape. The gains keep the level of a full-scale
// sine at the rectangular window's reference (power 2^30 in 16-bit units), so
// levels read the same whichever window is chosen. The shapes use the
// constants 6.283 and 12.566 as they have always been, not 2 pi and 4 pi to
// full precision, so that levels match those of earlier versions.
#pragma once

// A window code. The stored field is an int and may hold any number; every
// function here takes such a number through fftWindowOf, and unknown codes
// stay unknown (they behave as the rectangular window).
enum class FftWindow : int {
    Rectangular = 0,
    Parzen = 1,  // triangle
    Hanning = 2,
    Welch = 3,
    Hamming = 4,
    Blackman = 5,
    Cosine = 8,  // cosine taper
};

constexpr FftWindow fftWindowOf(int code) { return static_cast<FftWindow>(code); }
constexpr int fftWindowCode(FftWindow window) { return static_cast<int>(window); }

// The amplitude correction of a window: Parzen 2.0, Hanning 2.0, Hamming
// 1.852, Cosine 1.12, every other code 1.0.
double windowGain(FftWindow window);

// Multiplies buffer[i] (i = 0 .. n-1) by the shape of window code 1 .. 5;
// other codes leave the buffer as it is, as does n < 2.
void ApplyWindow(double* buffer, int n, FftWindow window);

// The cosine taper: with L = n x tenths / 10 (at most n / 2), elements i and
// n-1-i are multiplied by (1 - cos(pi i / L)) / 2 for i = 0 .. L-2.
void CosineTaper(double* buffer, int n, int tenths);

// Frequency of FFT bin i for n points at the rate given: i x rate / n for
// i <= n/2, -rate x (n - i) / n above.
double BinFrequency(int n, double rate, int i);

// Fills table[0 .. n-1] with the window gain times the window shape.
void buildWindowTable(double* table, int n, FftWindow window);

// The window's name as the settings show it: "Parzen", "Hanning", "Hamming",
// "Cosine", or "Rectangular" for every other code.
const char* windowSettingsLabel(FftWindow window);
// The window's part of a plot title: ", Parzen window", ", Hanning window",
// ", Hamming window", ", Cosine window", or "" for the other codes.
const char* windowTitleLabel(FftWindow window);

// The same for a code as stored (VesAnaParms::m_fftWindow and the settings
// of the power spectrum and the pulse analysis).
inline double windowGain(int code) { return windowGain(fftWindowOf(code)); }
inline void ApplyWindow(double* buffer, int n, int code) { ApplyWindow(buffer, n, fftWindowOf(code)); }
inline void buildWindowTable(double* table, int n, int code) { buildWindowTable(table, n, fftWindowOf(code)); }
inline const char* windowSettingsLabel(int code) { return windowSettingsLabel(fftWindowOf(code)); }
inline const char* windowTitleLabel(int code) { return windowTitleLabel(fftWindowOf(code)); }
