// Option values of the kelmsp routines.
#pragma once

enum KelmFilterDesignOption {
  KELM_LOW_PASS = 0,
  KELM_HIGH_PASS = 1,
  KELM_BAND_PASS = 2,
  KELM_BAND_STOP = 3
};

enum KelmIIRFilterOption {
  KELM_BUTTERWORTH = 0,
  KELM_CHEBYSHEV = 1,          // passband ripple
  KELM_INVERSE_CHEBYSHEV = 2,  // stopband attenuation
  KELM_ELLIPTIC = 3
};

enum KelmFIRFilterOption {
  KELM_FIR_PERIODIC = 0,  // circular filtering
  KELM_FIR_FULL = 1       // full linear convolution
};

enum KelmFIRWindowOption {
  KELM_WINDOW_RECTANGULAR = 0,
  KELM_WINDOW_TRIANGULAR = 1,
  KELM_WINDOW_HANN = 2,
  KELM_WINDOW_HAMMING = 3,
  KELM_WINDOW_KAISER = 4,          // shape parameter
  KELM_WINDOW_BLACKMAN = 5,
  KELM_WINDOW_DOLPH_CHEBYSHEV = 6  // main-lobe parameter in (0, 1), odd length
};
