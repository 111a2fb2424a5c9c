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

namespace fftwin {
constexpr int kRectangular = 0;
constexpr int kParzen = 1;
constexpr int kHanning = 2;
constexpr int kWelch = 3;
constexpr int kHamming = 4;
constexpr int kBlackman = 5;
constexpr int kCosine = 8;
}  // namespace fftwin

// The amplitude correction of a window code: Parzen 2.0, Hanning 2.0,
// Hamming 1.852, Cosine 1.12, every other code 1.0.
double WindowGain(int code);

// Multiplies buffer[i] (i = 0 .. n-1) by the shape of window code 1 .. 5;
// other codes leave the buffer as it is, as does n < 2.
void ApplyWindow(double* buffer, int n, int code);

// The cosine taper: with L = n x tenths / 10 (at most n / 2), elements i and
// n-1-i are multiplied by (1 - cos(pi i / L)) / 2 for i = 0 .. L-2.
void CosineTaper(double* buffer, int n, int tenths);

// Frequency of FFT bin i for n points at the rate given: i x rate / n for
// i <= n/2, -rate x (n - i) / n above.
double BinFrequency(int n, double rate, int i);

// Fills table[0 .. n-1] with the window gain times the window shape.
void BuildWindowTable(double* table, int n, int code);

// The window's name as the settings show it: "Parzen", "Hanning", "Hamming",
// "Cosine", or "Rectangular" for every other code.
const char* WindowSettingsLabel(int code);
// The window's part of a plot title: ", Parzen window", ", Hanning window",
// ", Hamming window", ", Cosine window", or "" for the other codes.
const char* WindowTitleLabel(int code);
