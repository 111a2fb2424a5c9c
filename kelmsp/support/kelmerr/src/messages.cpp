// Message templates of every error code of the kelmsp library and of its
// support components. Placeholders: %(i1)..%(i4) integer slots, %(r1) %(r2)
// real slots, %(l1) %(l2) text slots (an empty text slot reads "the argument").
#include <kelmerr/kelmerr.h>

#include <algorithm>
#include <iterator>

namespace {

struct MessageEntry {
  int code;
  const char* text;
};

// Sorted by code.
constexpr MessageEntry kMessages[] = {
    // Jury's recursion.
    {8019, "A reduced value of Jury's recursion exceeds %(r1); the polynomial equation is singular or too "
           "ill-conditioned to solve."},
    // Support component: vectors and matrices.
    {100001, "The operands have different sizes (%(i1) and %(i2))."},
    {100002, "The index range %(i1) .. %(i2) with stride %(i3) does not lie inside the object."},
    {100003, "The position %(i1) does not lie inside the object or directly after its end."},
    {100004, "The inserted row or column has %(i1) values where %(i2) are needed."},
    {100005, "The spline fit is not possible: %(l1)."},
    // Library.
    {200100, "The length of %(l1) must be at least %(i1)."},
    {200101, "The window length must equal the segment length %(i1)."},
    {200102, "The segment length must be greater than %(i1)."},
    {200103, "The overlap %(i1) must lie between 0 and %(i2)."},
    {200104, "2 to the power %(i1) exceeds the length of the signal; use fewer stages."},
    {200105, "The filter is not defined."},
    {200106, "The two channels must have the same length (%(i1) and %(i2))."},
    {200107, "%(l1) must not be zero."},
    {200108, "%(l1) has the wrong number of values."},
    {200109, "%(l1) must be positive."},
    {200110, "%(l1) must lie in the range %(l2)."},
    {200111, "%(l1) must be greater than %(l2)."},
    {200112, "%(l1) and %(l2) must have the same length."},
    {200113, "The arguments must not be negative."},
    {200114, "The sum of any two arguments must not be below %(r1)."},
    {200115, "The arguments must not exceed %(r1)."},
    {200116, "The complex roots do not come in conjugate pairs (%(i1) roots have a non-zero imaginary part)."},
    {200117, "%(l1) must not be empty."},
    {200118, "%(l1) must be greater than %(i1)."},
    {200119, "The window length must be odd."},
    {200120, "This window needs a parameter; use the form with a parameter."},
    {200212, "The argument of the Bessel function exceeds %(r1); the value is set to 0."},
    {200213, "The filter length must be odd."},
    {200214, "%(l1) must be at least %(i1)."},
    {200215, "The filter type must be 1, 2 or 3."},
    {200216, "The number of band edges must be even."},
    {200217, "Between 2 and 20 band edges are needed."},
    {200218, "The iteration limit must lie between 1 and 25."},
    {200219, "Every band edge must lie between 0 and 1."},
    {200220, "The Remez exchange did not converge in %(i1) iterations."},
    {200223, "This form designs low-pass and high-pass filters only."},
    {200224, "A high-pass filter needs an odd length."},
    {200225, "A band-stop filter needs an odd length."},
    {200226, "The signal and noise correlations must have the same length."},
    {200227, "%(l1) must be odd."},
    {200228, "The frequencies must be strictly increasing."},
    {200229, "An even-length symmetric filter cannot have a non-zero response at the frequency 1."},
    {200230, "An odd-length antisymmetric filter cannot have a non-zero response at the frequencies 0 and 1."},
    {200231, "An even-length antisymmetric filter cannot have a non-zero response at the frequency 0."},
    {200232, "Full and periodic filtering cannot be combined."},
    {200233, "The signal (%(i1) samples) is shorter than the filter (%(i2) coefficients)."},
    {200234, "The delay %(i1) exceeds the filter length %(i2)."},
    {200235, "The delay %(i1) must not be negative."},
    {200236, "The descending Landen transformation did not converge in 25 steps; the elliptic functions may be "
              "inaccurate."},
    {200239, "The complementary modulus must not be zero."},
    {200240, "The elliptic iteration did not converge."},
    {200241, "The response length %(i1) must exceed the number of coefficients %(i2)."},
    {200242, "The frequency response holds too few values."},
    {200243, "The impulse response is too short for the requested orders."},
    {200244, "The denominator is zero at a point; the response there is not finite."},
    {200246, "This form transforms to band-pass and band-stop filters only."},
    {200247, "Every frequency must lie in the range (0, 1)."},
    {200248, "The lower band edge must be below the upper band edge."},
    {200249, "This form transforms to low-pass and high-pass filters only."},
    {200250, "The mapping polynomial is not stable."},
    {200251, "The spectral factorisation did not converge in 30 passes."},
    {200252, "The greatest common divisor of the two polynomials does not divide the right-hand side."},
    {200253, "A polynomial or vector operand is empty."},
    {200254, "The lower band edge must be below the upper band edge."},
    {200255, "The correlation is shorter than the filter length."},
    {200256, "The frequencies must lie between 0 and 1."},
    {200257, "No wavelet transform has been computed yet."},
    {200258, "The stage %(i1) does not lie between 1 and %(i2)."},
    {200259, "The recursion met a zero prediction error power at order %(i1); the system is singular."},
};

}  // namespace

const char* kelm_error_template(int code) {
  auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), code,
                             [](const MessageEntry& e, int c) { return e.code < c; });
  if (it == std::end(kMessages) || it->code != code) return nullptr;
  return it->text;
}

const char* kelm_severity_name(int severity) {
  switch (severity) {
    case KELM_NOTE: return "NOTE";
    case KELM_ALERT: return "ALERT";
    case KELM_WARNING: return "WARNING";
    case KELM_FATAL: return "FATAL";
    case KELM_TERMINAL: return "TERMINAL";
    default: return "UNKNOWN";
  }
}
