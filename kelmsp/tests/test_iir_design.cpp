// IIR low-pass designs against their defining properties and against scipy,
// order estimation, elliptic integrals, and the design errors.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "KelmTestSupport.h"
#include "test_iir_reference.h"

using namespace kelm_test;
using namespace kelm_iir_test;

namespace {

const char* const kTypeNames[] = {"Butterworth", "Chebyshev", "InverseChebyshev", "Elliptic"};

std::string tag(double v) {
  std::string s = std::to_string(v);
  s.erase(s.find_last_not_of('0') + 1);
  for (char& c : s)
    if (c == '.') c = 'p';
  return s;
}

struct Spec {
  double fp, rp, rs;
};
const Spec kSpecs[] = {{0.3, 0.05, 0.01}, {0.6, 0.2, 0.001}, {0.1, 0.01, 0.0001}};

struct DesignCase {
  KelmIIRFilterOption type;
  int n;
  Spec spec;
};

std::vector<DesignCase> designCases() {
  std::vector<DesignCase> cases;
  for (int t = 0; t < 4; ++t)
    for (int n = 1; n <= 10; ++n)
      for (const Spec& s : kSpecs) cases.push_back({KelmIIRFilterOption(t), n, s});
  return cases;
}

std::string designName(const ::testing::TestParamInfo<DesignCase>& param) {
  const DesignCase& c = param.param;
  return std::string(kTypeNames[c.type]) + "_n" + std::to_string(c.n) + "_fp" + tag(c.spec.fp);
}

KelmIIRFilterDouble design(const DesignCase& c) {
  return IIRFilterDesign(c.type, c.n, c.spec.fp, c.type == KELM_INVERSE_CHEBYSHEV ? c.spec.rs : c.spec.rp,
                         c.spec.rs);
}

// Gains on an evenly spaced grid of [from, to] in the library's frequency convention.
std::vector<double> gains(const KelmIIRFilterDouble& h, double from, double to, int points) {
  std::vector<double> g;
  for (int i = 0; i < points; ++i) g.push_back(gainAt(h, from + (to - from) * i / (points - 1)));
  return g;
}

int crossings(const std::vector<double>& g, double level) {
  int count = 0;
  for (std::size_t i = 1; i < g.size(); ++i) count += (g[i - 1] - level) * (g[i] - level) < 0 ? 1 : 0;
  return count;
}

// The largest rise from one grid point to the next (<= 0 when monotone).
double largestRise(const std::vector<double>& g) {
  double rise = -1;
  for (std::size_t i = 1; i < g.size(); ++i) rise = std::fmax(rise, g[i] - g[i - 1]);
  return rise;
}

// The designs place their edges and section angles with single-precision pi
// (relative error 2.8e-8): gains move by up to about 1e-7 from their ideal
// values (flat passbands ripple by as much, edges shift by as much). The
// coefficients of a tenth-order filter with its poles close to z = 1 cost
// about 1e-6 more (scipy's own transfer function does no better there).
constexpr double kPiTol = 3e-6;

// --- Defining properties of every design, orders 1..10 ---

class IIRDesignProperties : public ErrorCapture, public ::testing::WithParamInterface<DesignCase> {};

TEST_P(IIRDesignProperties, MeetTheirDefinition) {
  const DesignCase& c = GetParam();
  const double fp = c.spec.fp, rp = c.spec.rp, rs = c.spec.rs;
  const KelmIIRFilterDouble h = design(c);
  expectNoErrors();
  ASSERT_TRUE(h.defined());
  ASSERT_EQ(h.B().length(), c.n + 1);
  ASSERT_EQ(h.A().length(), c.n + 1);
  EXPECT_EQ(h.A()[0], 1.0);

  // Poles strictly inside the unit circle: the roots of z^n A(1/z).
  const KelmVectorDcomplex poles = zerosPolynomial(reverse(h.A()));
  ASSERT_EQ(poles.length(), c.n);
  for (const KelmDcomplex& p : poles) EXPECT_LT(abs(p), 1.0 - 1e-6);

  const std::vector<double> pass = gains(h, 0, fp, 2001);
  const std::vector<double> stop = gains(h, fp, 0.999, 2001);
  const bool even = c.n % 2 == 0;
  const double tol = kPiTol;
  switch (c.type) {
    case KELM_BUTTERWORTH:
      // Maximally flat and monotone, 3 dB down at fp.
      EXPECT_NEAR(pass.front(), 1.0, tol);
      EXPECT_NEAR(pass.back(), std::sqrt(0.5), tol);
      EXPECT_LE(largestRise(pass), tol);
      EXPECT_LE(largestRise(stop), tol);
      break;
    case KELM_CHEBYSHEV:
    case KELM_ELLIPTIC:
      // Equiripple passband between 1 - rp and 1: n + 1 alternations on [0, fp],
      // so n crossings of the middle level; 1 - rp at zero frequency for even n.
      EXPECT_NEAR(pass.front(), even ? 1 - rp : 1.0, tol);
      EXPECT_NEAR(pass.back(), 1 - rp, tol);
      for (double g : pass) {
        EXPECT_LE(g, 1 + tol);
        EXPECT_GE(g, 1 - rp - tol);
      }
      EXPECT_EQ(crossings(pass, 1 - rp / 2), c.n);
      if (c.type == KELM_CHEBYSHEV) {
        EXPECT_LE(largestRise(stop), tol);
      }
      break;
    case KELM_INVERSE_CHEBYSHEV:
      // Flat passband with gain 1 at zero frequency, stopband from fp at or below rs.
      EXPECT_NEAR(pass.front(), 1.0, tol);
      EXPECT_NEAR(pass.back(), rs, tol * rs);
      EXPECT_LE(largestRise(pass), tol);
      for (double g : stop) EXPECT_LE(g, rs * (1 + tol));
      break;
  }
  // At the Nyquist frequency (z = -1): the zeros of Butterworth and Chebyshev
  // filters; rs for even and 0 for odd inverse Chebyshev and elliptic filters.
  const bool stopRipples = c.type == KELM_INVERSE_CHEBYSHEV || c.type == KELM_ELLIPTIC;
  EXPECT_NEAR(std::abs(response(h, 1.0)), stopRipples && even ? rs : 0.0, tol * rs);
}

INSTANTIATE_TEST_SUITE_P(AllTypesOrders1To10, IIRDesignProperties, ::testing::ValuesIn(designCases()), designName);

// --- The same designs against scipy's butter, cheby1, cheby2 and ellip ---

// Every stored case: the response at the stored grid within the tolerance
// that single-precision pi explains (see make_reference_iir.py).
class IIRDesignScipy : public ErrorCapture {};

TEST_F(IIRDesignScipy, ResponsesAgree) {
  const std::vector<double>& grid = iirRef("design.grid");
  const auto cases = refRows("design.cases", 5);
  ASSERT_EQ(cases.size(), 120u);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    const auto type = KelmIIRFilterOption(int(c[0]));
    const int n = int(c[1]);
    SCOPED_TRACE(std::string(kTypeNames[type]) + " n=" + std::to_string(n) + " fp=" + tag(c[2]));
    const KelmIIRFilterDouble h = IIRFilterDesign(type, n, c[2], type == KELM_INVERSE_CHEBYSHEV ? c[4] : c[3], c[4]);
    const auto want = refComplex("design." + std::to_string(i) + ".H");
    const double tol = iirRef("design." + std::to_string(i) + ".tol")[0];
    ASSERT_EQ(want.size(), grid.size());
    double worst = 0;
    for (std::size_t k = 0; k < grid.size(); ++k) worst = std::fmax(worst, std::abs(response(h, grid[k]) - want[k]));
    EXPECT_LE(worst, tol);
  }
  expectNoErrors();
}

// The single-precision twin designs the same filters within float precision;
// compared as responses where float coefficients can hold the filter (the
// narrowest passbands here, with poles close to z = 1, leave the gain near
// zero frequency to the last bits of a: a few 1e-4). The specification
// (0.01, 0.001) has k1^2 = 2e-8 in the elliptic design, which 1 - k1^2
// cannot hold in single precision.
template <class T>
class IIRDesignTwins : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(IIRDesignTwins, RealTypes);

TYPED_TEST(IIRDesignTwins, MatchTheDoubleDesigns) {
  using T = TypeParam;
  const double tol = sizeof(T) == sizeof(float) ? 5e-4 : 1e-12;
  const double specs[][2] = {{0.05, 0.01}, {0.01, 0.001}};  // rp, rs
  for (int t = 0; t < 4; ++t)
    for (int n = 1; n <= 6; ++n)
      for (double fp : {0.25, 0.5})
        for (const auto& s : specs) {
          const auto type = KelmIIRFilterOption(t);
          const double p1 = t == 2 ? s[1] : s[0];
          const KelmIIRFilter<T> h = IIRFilterDesign(type, n, T(fp), T(p1), T(s[1]));
          const KelmIIRFilterDouble d = IIRFilterDesign(type, n, fp, p1, s[1]);
          ASSERT_TRUE(h.defined());
          for (double f = 0.0; f < 1.0; f += 0.01)
            ASSERT_NEAR(std::abs(response(h, f) - response(d, f)), 0.0, tol)
                << kTypeNames[t] << " n=" << n << " fp=" << fp << " rs=" << s[1] << " f=" << f;
        }
  this->expectNoErrors();
}

// --- Order estimation ---

class IIROrderScipy : public ErrorCapture {};

// The same order as scipy's buttord, cheb1ord, cheb2ord and ellipord.
TEST_F(IIROrderScipy, AgreesWithScipy) {
  const auto rows = refRows("order.cases", 6);
  ASSERT_EQ(rows.size(), 28u);
  for (const auto& r : rows)
    EXPECT_EQ(IIROrder(KelmIIRFilterOption(int(r[0])), r[1], r[2], r[3], r[4]), int(r[5]))
        << kTypeNames[int(r[0])] << " fp=" << r[1] << " fs=" << r[2] << " rp=" << r[3] << " rs=" << r[4];
  expectNoErrors();
}

struct OrderCase {
  KelmIIRFilterOption type;
  double fp, fs, rp, rs;
};

// Designs the filter of order n the way the estimate means it: inverse
// Chebyshev with its stopband edge at fs, Butterworth with its edge where
// the gain at fp is exactly 1 - rp.
KelmIIRFilterDouble designForOrder(const OrderCase& c, int n) {
  switch (c.type) {
    case KELM_INVERSE_CHEBYSHEV: return IIRFilterDesign(c.type, n, c.fs, c.rs, 0.0);
    case KELM_BUTTERWORTH: {
      const double ep = std::sqrt(1 / ((1 - c.rp) * (1 - c.rp)) - 1);
      const double w = std::tan(kLibraryPi * c.fp / 2) * std::pow(ep, -1.0 / n);
      return IIRFilterDesign(c.type, n, 2 * std::atan(w) / kLibraryPi, 0.0, 0.0);
    }
    default: return IIRFilterDesign(c.type, n, c.fp, c.rp, c.rs);
  }
}

// How far the design misses the specification (<= 0 when it meets it): the
// largest shortfall below 1 - rp on [0, fp] or excess above rs on [fs, 1).
double miss(const OrderCase& c, const KelmIIRFilterDouble& h) {
  double worst = -1;
  for (int i = 0; i <= 3000; ++i) {
    const double f = c.fp * i / 3000;
    worst = std::fmax(worst, (1 - c.rp) - gainAt(h, f));
  }
  for (int i = 0; i <= 3000; ++i) {
    const double f = c.fs + (0.999 - c.fs) * i / 3000;
    worst = std::fmax(worst, gainAt(h, f) - c.rs);
  }
  return worst;
}

class IIROrderMeetsSpec : public ErrorCapture, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(IIROrderMeetsSpec, AndOneOrderLessDoesNot) {
  const OrderCase& c = GetParam();
  const int n = IIROrder(c.type, c.fp, c.fs, c.rp, c.rs);
  ASSERT_GE(n, 1);
  ASSERT_LE(n, 16);
  EXPECT_LE(miss(c, designForOrder(c, n)), 1e-7) << "order " << n;
  if (n > 1) {
    EXPECT_GT(miss(c, designForOrder(c, n - 1)), 1e-6) << "order " << n - 1;
  }
  expectNoErrors();
}

std::vector<OrderCase> orderCases() {
  const double specs[][4] = {{0.2, 0.4, 0.05, 0.01}, {0.5, 0.8, 0.01, 0.01}, {0.1, 0.15, 0.2, 0.05},
                             {0.3, 0.35, 0.1, 0.01}, {0.7, 0.75, 0.02, 0.003}, {0.05, 0.5, 0.3, 0.2},
                             {0.45, 0.5, 0.05, 0.001}};
  std::vector<OrderCase> cases;
  for (int t = 0; t < 4; ++t)
    for (const auto& s : specs) {
      const OrderCase c{KelmIIRFilterOption(t), s[0], s[1], s[2], s[3]};
      // Butterworth filters of sharp specifications need orders beyond 16.
      if (t == 0 && s[1] - s[0] < 0.1) continue;
      cases.push_back(c);
    }
  return cases;
}

std::string orderName(const ::testing::TestParamInfo<OrderCase>& param) {
  const OrderCase& c = param.param;
  return std::string(kTypeNames[c.type]) + "_fp" + tag(c.fp) + "_fs" + tag(c.fs) + "_rs" + tag(c.rs);
}

INSTANTIATE_TEST_SUITE_P(Table, IIROrderMeetsSpec, ::testing::ValuesIn(orderCases()), orderName);

// --- Elliptic integrals ---

template <class T>
class IIREllipticIntegrals : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(IIREllipticIntegrals, RealTypes);

TYPED_TEST(IIREllipticIntegrals, AgreeWithScipy) {
  using T = TypeParam;
  const double rel = sizeof(T) == sizeof(float) ? 1e-6 : 1e-14;
  const std::vector<double>& m = iirRef("elk.m");
  const std::vector<double>& K = iirRef("elk.K");
  ASSERT_EQ(m.size(), K.size());
  for (std::size_t i = 0; i < m.size(); ++i) {
    if (T(m[i]) >= T(1)) continue;  // 1 - 1e-12 and closer are 1 in single precision
    // The float twin sees m rounded to float: compare with K of that m.
    const double want = sizeof(T) == sizeof(float) ? double(KelmElk(double(T(m[i])))) : K[i];
    EXPECT_NEAR(double(KelmElk(T(m[i]))), want, rel * want) << "m = " << m[i];
  }
  EXPECT_NEAR(double(KelmElk(T(0))), M_PI / 2, rel);
  const std::vector<double>& xyz = iirRef("elrf.xyz");
  const std::vector<double>& rf = iirRef("elrf.value");
  for (std::size_t i = 0; i < rf.size(); ++i) {
    const T x = T(xyz[3 * i]), y = T(xyz[3 * i + 1]), z = T(xyz[3 * i + 2]);
    EXPECT_NEAR(double(KelmElrf(x, y, z)), rf[i], 10 * rel * rf[i]) << "case " << i;
  }
  this->expectNoErrors();
}

// --- Errors of the design routines ---

struct DesignError {
  const char* name;
  std::function<double()> call;  // the result: 0 for an empty one
  int code;
  const char* routine;
  std::vector<std::string> texts;
  double real = 0;
};

std::ostream& operator<<(std::ostream& os, const DesignError& e) { return os << e.name; }

double definedOf(const KelmIIRFilterDouble& h) { return h.defined() ? 1 : 0; }
double definedOf(const KelmIIRFilterFloat& h) { return h.defined() ? 1 : 0; }

const char* const kDesign = "IIRFilterDesign(KelmIIRFilterOption, const int, const double, const double, const double)";
const char* const kOrder = "IIROrder(KelmIIRFilterOption, const double, const double, const double, const double)";
const char* const kElk = "KelmElk(const double)";
const char* const kElrf = "KelmElrf(const double, const double, const double)";
const double kNan = std::numeric_limits<double>::quiet_NaN();

std::vector<DesignError> designErrors() {
  return {
      {"OrderBelowOne", [] { return definedOf(IIRFilterDesign(KELM_BUTTERWORTH, 0, 0.3, 0.0, 0.0)); }, 200109,
       kDesign, {"n"}},
      {"EdgeAtOne", [] { return definedOf(IIRFilterDesign(KELM_CHEBYSHEV, 3, 1.0, 0.1, 0.0)); }, 200110, kDesign,
       {"fp", "(0,1)"}},
      {"EdgeNotANumber", [] { return definedOf(IIRFilterDesign(KELM_BUTTERWORTH, 3, kNan, 0.0, 0.0)); }, 200110,
       kDesign, {"fp", "(0,1)"}},
      {"ChebyshevRippleZero", [] { return definedOf(IIRFilterDesign(KELM_CHEBYSHEV, 3, 0.3, 0.0, 0.0)); }, 200110,
       kDesign, {"rp", "(0,1)"}},
      {"InverseChebyshevStopbandOne",
       [] { return definedOf(IIRFilterDesign(KELM_INVERSE_CHEBYSHEV, 3, 0.3, 1.0, 0.5)); }, 200110, kDesign,
       {"rs", "(0,1)"}},
      {"EllipticRippleFirst", [] { return definedOf(IIRFilterDesign(KELM_ELLIPTIC, 3, 0.3, 1.5, -1.0)); }, 200110,
       kDesign, {"rp", "(0,1)"}},
      {"EllipticStopbandNegative", [] { return definedOf(IIRFilterDesign(KELM_ELLIPTIC, 3, 0.3, 0.1, -1.0)); },
       200110, kDesign, {"rs", "(0,1)"}},
      // A stopband gain above the lowest passband gain specifies nothing.
      {"EllipticStopbandAbovePassband", [] { return definedOf(IIRFilterDesign(KELM_ELLIPTIC, 3, 0.3, 0.1, 0.95)); },
       200110, kDesign, {"rs", "(0,1-rp)"}},
      {"FloatText", [] { return definedOf(IIRFilterDesign(KELM_BUTTERWORTH, -1, 0.3f, 0.f, 0.f)); }, 200109,
       "IIRFilterDesign(KelmIIRFilterOption, const int, const float, const float, const float)", {"n"}},
      {"OrderStopEdgeEqualsPass", [] { return double(IIROrder(KELM_ELLIPTIC, 0.3, 0.3, 0.1, 0.01)); }, 200111,
       kOrder, {"fs", "fp"}},
      {"OrderStopEdgeOutside", [] { return double(IIROrder(KELM_CHEBYSHEV, 0.3, 1.2, 0.1, 0.01)); }, 200110, kOrder,
       {"fs", "(0, 1)"}},
      {"OrderRippleOutside", [] { return double(IIROrder(KELM_BUTTERWORTH, 0.3, 0.4, 0.0, 0.01)); }, 200110, kOrder,
       {"rp", "(0, 1)"}},
      {"OrderStopbandAbovePassband", [] { return double(IIROrder(KELM_CHEBYSHEV, 0.3, 0.4, 0.5, 0.6)); }, 200110,
       kOrder, {"rs", "(0, 1 - rp)"}},
      {"ElkOne", [] { return KelmElk(1.0); }, 200110, kElk, {"x", "[0, 1)"}},
      {"ElkNegative", [] { return KelmElk(-0.1); }, 200110, kElk, {"x", "[0, 1)"}},
      {"ElkFloatText", [] { return double(KelmElk(2.0f)); }, 200110, "KelmElk(const float)", {"x", "[0, 1)"}},
      {"ElrfNegative", [] { return KelmElrf(1.0, -1.0, 1.0); }, 200113, kElrf, {}},
      // NaN would never end the duplication; it is refused with the negative arguments.
      {"ElrfNotANumber", [] { return KelmElrf(kNan, 1.0, 1.0); }, 200113, kElrf, {}},
      {"ElrfTwoZeros", [] { return KelmElrf(0.0, 0.0, 1.0); }, 200114, kElrf, {}, DBL_MIN},
      {"ElrfInfinite", [] { return KelmElrf(1.0, 1.0, HUGE_VAL); }, 200115, kElrf, {}, DBL_MAX},
      {"ElrfFloatLimit", [] { return double(KelmElrf(0.f, 0.f, 1.f)); }, 200114,
       "KelmElrf(const float, const float, const float)", {}, double(FLT_MIN)},
  };
}

class IIRDesignErrors : public ErrorCapture, public ::testing::WithParamInterface<DesignError> {};

TEST_P(IIRDesignErrors, ReportOnceAndReturnEmpty) {
  const DesignError& e = GetParam();
  EXPECT_EQ(e.call(), 0.0);
  const CapturedError err = onlyError();
  EXPECT_EQ(err.code, e.code);
  EXPECT_EQ(err.severity, KELM_TERMINAL);
  EXPECT_EQ(err.routine, e.routine);
  for (std::size_t i = 0; i < e.texts.size(); ++i) EXPECT_EQ(err.text(int(i)), e.texts[i]);
  if (e.real != 0) {
    EXPECT_EQ(err.params.r[0], e.real);
  }
  EXPECT_EQ(kelm_n1rcd(0), e.code);
}

std::string errorName(const ::testing::TestParamInfo<DesignError>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(Table, IIRDesignErrors, ::testing::ValuesIn(designErrors()), errorName);

// Parameters that an option does not use are not checked; an unknown option
// gives an undefined filter (order 0) with no message.
TEST_F(IIROrderScipy, UnusedParametersAreIgnored) {
  EXPECT_TRUE(IIRFilterDesign(KELM_BUTTERWORTH, 3, 0.3, 5.0, -2.0).defined());
  EXPECT_TRUE(IIRFilterDesign(KELM_CHEBYSHEV, 3, 0.3, 0.1, 0.0).defined());
  EXPECT_TRUE(IIRFilterDesign(KELM_INVERSE_CHEBYSHEV, 3, 0.3, 0.1, 7.0).defined());
  for (int option : {-1, 4}) {
    EXPECT_FALSE(IIRFilterDesign(static_cast<KelmIIRFilterOption>(option), 3, 0.3, 0.1, 0.1).defined());
    EXPECT_EQ(IIROrder(static_cast<KelmIIRFilterOption>(option), 0.3, 0.4, 0.1, 0.01), 0);
  }
  expectNoErrors();
}

// Edges that meet or pass the limits of the arithmetic: a transition band
// narrower than any Butterworth order can reach gives the largest int, a stopband edge
// within 3e-8 of 1 (where tan turns negative with the library's pi) order 1.
TEST_F(IIROrderScipy, OrderOfExtremeEdges) {
  EXPECT_EQ(IIROrder(KELM_BUTTERWORTH, 0.3, std::nextafter(0.3, 1.0), 0.1, 0.01), INT_MAX);
  EXPECT_EQ(IIROrder(KELM_CHEBYSHEV, 0.3, 0.99999999, 0.1, 0.01), 1);
  expectNoErrors();
}

// The first-order Butterworth filter in closed form, with the library's pi.
TEST_F(IIROrderScipy, FirstOrderButterworthClosedForm) {
  const KelmIIRFilterDouble h = IIRFilterDesign(KELM_BUTTERWORTH, 1, 0.5, 0.0, 0.0);
  const double w = std::tan(kLibraryPi / 4);
  expectClose(h.B(), {w / (w + 1), w / (w + 1)}, 1e-15);
  expectClose(h.A(), {1.0, (w - 1) / (w + 1)}, 1e-15);
  EXPECT_NE(h.A()[1], 0.0);  // the single-precision pi leaves tan(pi/4) just above 1
  expectNoErrors();
}

}  // namespace
