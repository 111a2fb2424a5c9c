// How kelmsp is called: filter and transform a synthetic bat call.
//
// A 3 ms downward FM sweep (80 -> 30 kHz) sampled at 250 kHz, with a 5 kHz
// hum and noise, is cleaned with an FIR and an IIR filter (coefficients given
// here; the design routines are not needed for that), measured with an
// averaged periodogram and split with a wavelet transform. The last step
// shows how errors are read from the error component.
#include <kelmsp/kelmsp.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr double kRateHz = 250000.0;

KelmVectorDouble syntheticCall(int n) {
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(0.0, 0.05);
  KelmVectorDouble x(n);
  const double durationSec = n / kRateHz;
  for (int i = 0; i < n; ++i) {
    const double t = i / kRateHz;
    // Instantaneous frequency falls linearly from 80 to 30 kHz.
    const double phase = 2 * M_PI * (80000.0 * t - 0.5 * 50000.0 / durationSec * t * t);
    const double envelope = std::sin(M_PI * t / durationSec);
    x[i] = envelope * std::sin(phase) + 0.3 * std::sin(2 * M_PI * 5000.0 * t) + noise(gen);
  }
  return x;
}

// Frequency (kHz) of the largest bin of a one-sided spectrum, f normalised to 1 = Nyquist.
double peakKHz(const KelmVectorDouble& p, const KelmVectorDouble& f) {
  int best = 0;
  for (int k = 1; k < p.length(); ++k) best = p[k] > p[best] ? k : best;
  return f[best] * kRateHz / 2 / 1000.0;
}

double energy(const KelmVectorDouble& v) {
  double e = 0;
  for (double s : v) e += s * s;
  return e;
}

}  // namespace

int main() {
  // The error component prints to standard error by default; here we read codes ourselves.
  kelm_erset(0, 0, 0);

  const KelmVectorDouble call = syntheticCall(750);
  KelmVectorDouble f;
  const KelmVectorDouble raw = spectrum(call, 256, f);  // Hann window, half overlap
  std::printf("raw signal: %d samples, spectral peak at %.1f kHz\n", call.length(), peakKHz(raw, f));

  // First-order high-pass against the hum, cut-off about 15 kHz:
  // y[n] = 0.8398 (x[n] - x[n-1]) + 0.6796 y[n-1].
  const KelmIIRFilterDouble highPass(KelmVectorDouble{0.8398, -0.8398}, KelmVectorDouble{1.0, -0.6796});
  const KelmVectorDouble withoutHum = highPass(call, 1);  // zero phase: no delay of the call
  const KelmVectorDouble cleaned = spectrum(withoutHum, 256, f);
  std::printf("after zero-phase high-pass: peak at %.1f kHz, energy %.1f -> %.1f\n", peakKHz(cleaned, f),
              energy(call), energy(withoutHum));

  // Light smoothing with a 5-tap FIR filter, aligned on its centre (delay n/2).
  const KelmFIRFilterDouble smooth(KelmVectorDouble{0.1, 0.2, 0.4, 0.2, 0.1});
  const KelmVectorDouble smoothed = smooth(withoutHum);
  KelmVectorDouble fz;
  const KelmVectorDcomplex h = smooth.frequencyResponseZ(8, fz);
  std::printf("smoothing filter gain:");
  for (int k = 0; k < h.length(); ++k) std::printf(" %.0f kHz: %.2f", fz[k] * kRateHz / 2000.0, abs(h[k]));
  std::printf("\n");

  // Spectrogram: the sweep's peak moves down from segment to segment.
  const KelmMatrixGeneralDouble sg = spectrogram(smoothed, 128, 64, f);
  std::printf("spectrogram %d x %d, peak per segment (kHz):", sg.rowDim(), sg.columnDim());
  for (int j = 0; j < sg.rowDim(); ++j) std::printf(" %.0f", peakKHz(sg.getRow(j), f));
  std::printf("\n");

  // Three-stage wavelet transform with the Daubechies 4-tap filter and back.
  const double s3 = std::sqrt(3.0);
  const KelmFIRFilterDouble db4(KelmVectorDouble{(1 + s3) / 8, (3 + s3) / 8, (3 - s3) / 8, (1 - s3) / 8});
  KelmWaveletDouble wavelet;
  wavelet.forward(db4, smoothed, 3);
  for (int i = 1; i <= wavelet.QMFStages(); ++i) {
    std::printf("wavelet stage %d: %d detail coefficients, energy %.2f\n", i, wavelet.coefs(i).length(),
                energy(wavelet.coefs(i)));
  }
  const KelmVectorDouble back = wavelet.backward(db4);
  double worst = 0;
  for (int i = 0; i < back.length(); ++i) worst = std::fmax(worst, std::fabs(back[i] - smoothed[i]));
  std::printf("reconstruction error %.2e\n", worst);

  // A failing call returns an empty result; the error component tells why.
  const KelmVectorDouble bad = smooth(KelmVectorDouble{1.0, 2.0});
  const KelmErrorRecord* err = kelm_error_last();
  std::printf("filtering 2 samples with 5 taps: %d samples, error %d: %s\n", bad.length(), kelm_n1rcd(0),
              err ? err->message : "");
  return kelm_n1rcd(0) == 200233 && worst < 1e-9 ? 0 : 1;
}
