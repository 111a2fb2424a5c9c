// Frequency transformations, mapping polynomials and the bilinear
// transformation of IIR filters: against scipy's high-pass, band-pass and
// band-stop designs, by the band edges they produce, and their errors.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "KelmTestSupport.h"
#include "test_iir_reference.h"

using namespace kelm_test;
using namespace kelm_iir_test;

namespace {

const char* const kTypeNames[] = {"Butterworth", "Chebyshev", "InverseChebyshev", "Elliptic"};

template <class T>
KelmIIRFilter<T> prototype(KelmIIRFilterOption type, int n, double rp, double rs) {
  return IIRFilterDesign(type, n, T(0.5), T(type == KELM_INVERSE_CHEBYSHEV ? rs : rp), T(rs));
}

// The gain every prototype has at its edge 0.5.
double edgeGain(KelmIIRFilterOption type, double rp, double rs) {
  switch (type) {
    case KELM_BUTTERWORTH: return std::sqrt(0.5);
    case KELM_INVERSE_CHEBYSHEV: return rs;
    default: return 1 - rp;
  }
}

template <class T>
void transform(KelmIIRFilter<T>& h, int option, double f1, double f2) {
  if (option < 2)
    h.frequencyTransformation(KelmFilterDesignOption(option), T(0.5), T(f1));
  else
    h.frequencyTransformation(KelmFilterDesignOption(option), T(0.5), T(f1), T(f2));
}

class IIRTransformations : public ErrorCapture {};

// Every stored case (four types, orders 2 and 3; low-pass, high-pass,
// band-pass and band-stop) against scipy's design of the same filter, within
// the tolerance that single-precision pi explains. The table holds the band
// 0.2-0.7 and the band-stop 0.1-0.6, whose widths equal the prototype edge
// 0.5 and 1 - 0.5: there a mapping held with its last coefficient at 1
// divides by zero.
TEST_F(IIRTransformations, AgreeWithScipyAndPutTheEdgesWhereAsked) {
  const std::vector<double>& grid = iirRef("design.grid");
  const auto cases = refRows("transform.cases", 7);
  ASSERT_EQ(cases.size(), 48u);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    const auto type = KelmIIRFilterOption(int(c[0]));
    const int n = int(c[1]), option = int(c[4]);
    const double rp = c[2], rs = c[3], f1 = c[5], f2 = c[6];
    SCOPED_TRACE(std::string(kTypeNames[type]) + " n=" + std::to_string(n) + " option " + std::to_string(option) +
                 " edges " + std::to_string(f1) + " " + std::to_string(f2));
    KelmIIRFilterDouble h = prototype<double>(type, n, rp, rs);
    transform(h, option, f1, f2);
    const int order = option < 2 ? n : 2 * n;
    ASSERT_EQ(h.A().length(), order + 1);
    ASSERT_EQ(h.B().length(), order + 1);

    const auto want = refComplex("transform." + std::to_string(i) + ".H");
    const double tol = iirRef("transform." + std::to_string(i) + ".tol")[0];
    double worst = 0;
    for (std::size_t k = 0; k < grid.size(); ++k) worst = std::fmax(worst, std::abs(response(h, grid[k]) - want[k]));
    EXPECT_LE(worst, tol);

    // The prototype's edge gain at every new edge (within the shift of about
    // 1e-7 that the single-precision pi leaves in the mapping).
    const double g = edgeGain(type, rp, rs);
    EXPECT_NEAR(gainAt(h, f1), g, 1e-5);
    if (option >= 2) {
      EXPECT_NEAR(gainAt(h, f2), g, 1e-5);
    }
    for (const KelmDcomplex& p : zerosPolynomial(reverse(h.A()))) EXPECT_LT(abs(p), 1.0);
  }
  expectNoErrors();
}

// The main program's road: a failed design gives an undefined filter, and
// the transformation after it must not look like a success.
TEST_F(IIRTransformations, OfAFailedDesignReportTheUndefinedFilter) {
  KelmIIRFilterDouble h = IIRFilterDesign(KELM_ELLIPTIC, 0, 0.5, 0.1, 0.01);
  EXPECT_EQ(kelm_n1rcd(0), 200109);
  h.frequencyTransformation(KELM_BAND_PASS, 0.5, 0.2, 0.4);
  EXPECT_EQ(kelm_n1rcd(0), 200105);
  h.frequencyTransformation(KELM_HIGH_PASS, 0.5, 0.2);
  EXPECT_EQ(kelm_n1rcd(0), 200105);
  EXPECT_FALSE(h.defined());
  EXPECT_TRUE(h.A().empty());
}

template <class T>
class IIRTransformTwins : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(IIRTransformTwins, RealTypes);

// Moving the edge to where it already is leaves the filter as it was: the
// mapping (1, 0) is z^-1 itself, and its zero coefficient must not be dropped
// (without it every filter would collapse to its gain at zero frequency).
TYPED_TEST(IIRTransformTwins, IdentityMappingsKeepTheFilter) {
  using T = TypeParam;
  const KelmIIRFilter<T> original = prototype<T>(KELM_ELLIPTIC, 4, 0.1, 0.01);
  KelmIIRFilter<T> same = original;
  same.frequencyTransformation(KELM_LOW_PASS, T(0.5), T(0.5));
  expectClose(same.B(), values(original.B()), 1e-15);
  expectClose(same.A(), values(original.A()), 1e-15);

  KelmIIRFilter<T> viaD = original;
  viaD.frequencyTransformation(KelmVector<T>{T(1), T(0)});
  expectClose(viaD.A(), values(original.A()), 1e-15);

  // The mapping designed for the single edge 0.5 is the identity up to the
  // single-precision pi (its last coefficient is about -2e-8, which moves
  // frequencies by as much).
  KelmIIRFilter<T> designed = original;
  designed.frequencyTransformation(frequencyTransformationDesign(KelmVector<T>{T(0.5)}, 0));
  ASSERT_EQ(designed.A().length(), 5);
  for (double f = 0.02; f < 1; f += 0.05)
    EXPECT_NEAR(std::abs(response(designed, f) - response(original, f)), 0.0, 1e-5) << f;
  this->expectNoErrors();
}

// The single-precision twin transforms like the double one.
TYPED_TEST(IIRTransformTwins, MatchTheDoubleTransformations) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 2e-4 : 1e-12;
  const double edges[][3] = {{0, 0.3, 0}, {1, 0.3, 0}, {2, 0.2, 0.7}, {2, 0.3, 0.45}, {3, 0.25, 0.6}};
  for (const auto& e : edges) {
    KelmIIRFilter<T> h = prototype<T>(KELM_CHEBYSHEV, 3, 0.1, 0.01);
    KelmIIRFilterDouble d = prototype<double>(KELM_CHEBYSHEV, 3, 0.1, 0.01);
    transform(h, int(e[0]), e[1], e[2]);
    transform(d, int(e[0]), e[1], e[2]);
    for (double f = 0.01; f < 1; f += 0.02)
      ASSERT_NEAR(std::abs(response(h, f) - response(d, f)), 0.0, tol) << "option " << e[0] << " f=" << f;
  }
  this->expectNoErrors();
}

// A narrow low-pass has a numerator of tiny coefficients (here all below
// 1e-11); the transformation keeps them all, so moving its edge gives the
// filter designed directly at the new edge. (The direct form of a filter
// with its poles this close to z = 1 holds its response to about 1e-4;
// cutting the numerator to its first coefficient would leave a gain of 1/64
// at zero frequency.)
TEST_F(IIRTransformations, NarrowFiltersKeepTheirNumerator) {
  KelmIIRFilterDouble h = IIRFilterDesign(KELM_BUTTERWORTH, 6, 0.005, 0.0, 0.0);
  ASSERT_LT(maxval(abs(h.B())), 1e-11);
  h.frequencyTransformation(KELM_LOW_PASS, 0.005, 0.008);
  const KelmIIRFilterDouble direct = IIRFilterDesign(KELM_BUTTERWORTH, 6, 0.008, 0.0, 0.0);
  ASSERT_EQ(h.B().length(), 7);
  EXPECT_NEAR(std::abs(response(h, 0.0)), 1.0, 1e-3);
  for (double f : {0.004, 0.008, 0.016, 0.1, 0.5, 0.9})
    EXPECT_NEAR(std::abs(response(h, f) - response(direct, f)), 0.0, 1e-3) << f;
  expectNoErrors();
}

// The general mapping keeps every coefficient of D: (1, 0, 0) maps z^-1 to
// z^-2, so the new response at f is the old one at 2f.
TEST_F(IIRTransformations, GeneralMappingUsesAllOfD) {
  const KelmIIRFilterDouble original = prototype<double>(KELM_CHEBYSHEV, 3, 0.1, 0.01);
  KelmIIRFilterDouble h = original;
  h.frequencyTransformation(KelmVectorDouble{1.0, 0.0, 0.0});
  ASSERT_EQ(h.A().length(), 7);
  for (double f = 0.0; f < 0.5; f += 0.03)
    EXPECT_NEAR(std::abs(response(h, f) - response(original, 2 * f)), 0.0, 1e-12) << f;
  expectNoErrors();
}

// --- Mapping polynomials from lists of frequencies ---

struct MappingCase {
  std::vector<double> phi;
  int reversed;
};

class IIRMappingDesign : public ErrorCapture, public ::testing::WithParamInterface<MappingCase> {};

// The transformed elliptic prototype has an edge (gain 1 - rp) at every
// frequency; the bands between them alternate, starting with a passband.
TEST_P(IIRMappingDesign, PutsAnEdgeAtEveryFrequency) {
  const MappingCase& c = GetParam();
  const int L = int(c.phi.size());
  const double rp = 0.1, rs = 0.01;
  const KelmVectorDouble D = frequencyTransformationDesign(vec<double>(c.phi), c.reversed);
  ASSERT_EQ(D.length(), L + 1);
  EXPECT_EQ(D[c.reversed ? L : 0], 1.0);
  KelmIIRFilterDouble h = prototype<double>(KELM_ELLIPTIC, 4, rp, rs);
  h.frequencyTransformation(D);
  expectNoErrors();
  ASSERT_EQ(h.A().length(), 4 * L + 1);
  for (double f : c.phi) EXPECT_NEAR(gainAt(h, f), 1 - rp, 1e-5) << f;
  std::vector<double> edges{0.0};
  edges.insert(edges.end(), c.phi.begin(), c.phi.end());
  edges.push_back(1.0);
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    const double middle = (edges[i] + edges[i + 1]) / 2, g = gainAt(h, middle);
    if (i % 2 == 0)
      EXPECT_GE(g, 1 - rp - 1e-6) << "passband around " << middle;
    else
      EXPECT_LE(g, rs * (1 + 1e-4)) << "stopband around " << middle;
  }
}

INSTANTIATE_TEST_SUITE_P(Lists, IIRMappingDesign,
                         ::testing::Values(MappingCase{{0.3}, 0}, MappingCase{{0.3, 0.6}, 0},
                                           MappingCase{{0.3, 0.6}, 1}, MappingCase{{0.2, 0.4, 0.7}, 0},
                                           MappingCase{{0.2, 0.4, 0.7}, 1}));

// --- Bilinear transformation ---

TEST_F(IIRTransformations, BilinearAgreesWithScipy) {
  for (int i = 0; i < 3; ++i) {
    const std::string key = "bilinear." + std::to_string(i);
    KelmIIRFilterDouble h(vec<double>(iirRef(key + ".b")), vec<double>(iirRef(key + ".a")));
    h.biLinearTransformation(int(iirRef(key + ".c")[0]));
    // Not normalised: compare b / a[0] and a / a[0].
    const double a0 = h.A()[0];
    expectClose(h.B() / a0, iirRef(key + ".bz"), 1e-14, key);
    expectClose(h.A() / a0, iirRef(key + ".az"), 1e-14, key);
  }
  expectNoErrors();
}

// --- Errors: reported once, the filter unchanged ---

struct TransformError {
  const char* name;
  std::function<void(KelmIIRFilterDouble&)> call;
  int code;
  const char* routine;
};

std::ostream& operator<<(std::ostream& os, const TransformError& e) { return os << e.name; }

const char* const kTwo =
    "KelmIIRFilterDouble::frequencyTransformation(KelmFilterDesignOption, const double, const double)";
const char* const kThree =
    "KelmIIRFilterDouble::frequencyTransformation(KelmFilterDesignOption, const double, const double, const double)";
const char* const kGeneral = "KelmIIRFilterDouble::frequencyTransformation(const KelmVectorDouble&)";

std::vector<TransformError> transformErrors() {
  return {
      {"TwoFrequencyFormBandPass", [](auto& h) { h.frequencyTransformation(KELM_BAND_PASS, 0.5, 0.3); }, 200249, kTwo},
      {"ThreeFrequencyFormHighPass", [](auto& h) { h.frequencyTransformation(KELM_HIGH_PASS, 0.5, 0.2, 0.3); }, 200246,
       kThree},
      {"NewEdgeZero", [](auto& h) { h.frequencyTransformation(KELM_LOW_PASS, 0.5, 0.0); }, 200247, kTwo},
      {"OldEdgeOne", [](auto& h) { h.frequencyTransformation(KELM_HIGH_PASS, 1.0, 0.3); }, 200247, kTwo},
      {"LowEdgeZero", [](auto& h) { h.frequencyTransformation(KELM_BAND_STOP, 0.5, 0.0, 0.3); }, 200247, kThree},
      {"EdgesEqual", [](auto& h) { h.frequencyTransformation(KELM_BAND_PASS, 0.5, 0.3, 0.3); }, 200248, kThree},
      {"EdgesReversed", [](auto& h) { h.frequencyTransformation(KELM_BAND_STOP, 0.5, 0.4, 0.3); }, 200248, kThree},
      // An edge moved to 1e-9 needs a pole at 1 - 6e-9: not a stable mapping.
      {"EdgeTooCloseToZero", [](auto& h) { h.frequencyTransformation(KELM_LOW_PASS, 0.5, 1e-9); }, 200250, kTwo},
      {"UnstableMapping", [](auto& h) { h.frequencyTransformation(KelmVectorDouble{0.5, 1.0}); }, 200250,
       kGeneral},
      {"EmptyMapping", [](auto& h) { h.frequencyTransformation(KelmVectorDouble()); }, 200253, kGeneral},
      {"FloatText",
       [](auto&) {
         KelmIIRFilterFloat f(KelmVectorFloat{1.f}, KelmVectorFloat{1.f, -0.5f});
         f.frequencyTransformation(KELM_BAND_PASS, 0.5f, 0.3f);
       },
       200249, "KelmIIRFilterFloat::frequencyTransformation(KelmFilterDesignOption, const float, const float)"},
  };
}

class IIRTransformErrors : public ErrorCapture, public ::testing::WithParamInterface<TransformError> {};

TEST_P(IIRTransformErrors, LeaveTheFilterUnchanged) {
  const TransformError& e = GetParam();
  KelmIIRFilterDouble h = prototype<double>(KELM_CHEBYSHEV, 2, 0.1, 0.01);
  const std::vector<double> b = values(h.B()), a = values(h.A());
  e.call(h);
  const CapturedError err = onlyError();
  EXPECT_EQ(err.code, e.code);
  EXPECT_EQ(err.severity, KELM_TERMINAL);
  EXPECT_EQ(err.routine, e.routine);
  EXPECT_EQ(values(h.B()), b);
  EXPECT_EQ(values(h.A()), a);
}

std::string transformErrorName(const ::testing::TestParamInfo<TransformError>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(Table, IIRTransformErrors, ::testing::ValuesIn(transformErrors()), transformErrorName);

// Every form on an undefined filter, and an empty list of frequencies.
TEST_F(IIRTransformations, UndefinedFilterAndEmptyListReport) {
  KelmIIRFilterDouble none;
  none.frequencyTransformation(KELM_LOW_PASS, 0.5, 0.3);
  none.frequencyTransformation(KELM_BAND_STOP, 0.5, 0.3, 0.4);
  none.frequencyTransformation(KelmVectorDouble{1.0, 0.2});
  none.biLinearTransformation(2);
  ASSERT_EQ(errors().size(), 4u);
  for (const auto& err : errors()) EXPECT_EQ(err.code, 200105);
  EXPECT_EQ(errors()[3].routine, "KelmIIRFilterDouble::biLinearTransformation(const int)");
  EXPECT_FALSE(none.defined());
  clearErrors();
  EXPECT_TRUE(frequencyTransformationDesign(KelmVectorDouble(), 0).empty());
  const CapturedError err = onlyError();
  EXPECT_EQ(err.code, 200117);
  EXPECT_EQ(err.text(0), "phi");
  EXPECT_EQ(err.routine, "frequencyTransformationDesign(const KelmVectorDouble&, const int)");
}

}  // namespace
