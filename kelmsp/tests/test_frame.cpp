// The library frame: complex scalars, reference counting, the exception and
// the filter objects.
#include <kelmsp/kelmsp.h>

#include <gtest/gtest.h>

#include "KelmTestSupport.h"

using namespace kelm_test;

namespace {

// --- Complex scalars ---

struct ComplexCase {
  const char* what;
  KelmDcomplex got;
  KelmDcomplex want;
};

class ComplexOperators : public ::testing::TestWithParam<ComplexCase> {};

TEST_P(ComplexOperators, Result) {
  EXPECT_NEAR(GetParam().got.real(), GetParam().want.real(), 1e-15) << GetParam().what;
  EXPECT_NEAR(GetParam().got.imag(), GetParam().want.imag(), 1e-15) << GetParam().what;
}

const KelmDcomplex c12(1, 2);
KelmDcomplex compound(KelmDcomplex c, int op) {
  switch (op) {
    case 0: return c += 3.0;
    case 1: return c -= 3;
    case 2: return c *= 2;
    case 3: return c /= 2.0;
    case 4: return c *= KelmDcomplex(0, 1);
    case 5: return c /= KelmDcomplex(1, 2);
    case 6: return c = 7.0;
    default: return c -= KelmDcomplex(1, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kelm, ComplexOperators,
    ::testing::Values(ComplexCase{"complex - real", c12 - 3.0, {-2, 2}},
                      ComplexCase{"real - complex", 3.0 - c12, {2, -2}},
                      ComplexCase{"complex * int", c12 * 2, {2, 4}},
                      ComplexCase{"int + complex", 2 + c12, {3, 2}},
                      ComplexCase{"real / complex", 5.0 / c12, {1, -2}},
                      ComplexCase{"complex * complex", c12 * KelmDcomplex(3, -1), {5, 5}},
                      ComplexCase{"complex / complex", KelmDcomplex(5, 5) / KelmDcomplex(3, -1), {1, 2}},
                      ComplexCase{"unary minus", -c12, {-1, -2}},
                      ComplexCase{"+= real acts on the real part", compound(c12, 0), {4, 2}},
                      ComplexCase{"-= int acts on the real part", compound(c12, 1), {-2, 2}},
                      ComplexCase{"*= int scales both parts", compound(c12, 2), {2, 4}},
                      ComplexCase{"/= real divides both parts", compound(c12, 3), {0.5, 1}},
                      ComplexCase{"*= complex", compound(c12, 4), {-2, 1}},
                      ComplexCase{"/= complex", compound(c12, 5), {1, 0}},
                      ComplexCase{"assigning a real clears the imaginary part", compound(c12, 6), {7, 0}},
                      ComplexCase{"-= complex", compound(c12, 7), {0, 1}},
                      ComplexCase{"conjg", conjg(c12), {1, -2}}));

TEST(ComplexScalars, PartsComparisonAndFloatTwin) {
  EXPECT_EQ(real(c12), 1);
  EXPECT_EQ(imag(c12), 2);
  EXPECT_TRUE(c12 != KelmDcomplex(1, -2));
  EXPECT_EQ(KelmDcomplex(), KelmDcomplex(0, 0));
  EXPECT_EQ(abs(KelmDcomplex(3, 4)), 5);
  const KelmFcomplex f = KelmFcomplex(1, 2) * 2.0 - 1;  // float twin takes int and double operands
  EXPECT_EQ(f, KelmFcomplex(1, 4));
  // Huge parts divide without overflow.
  const KelmDcomplex big = KelmDcomplex(1e300, 1e300) / KelmDcomplex(1e300, 1e300);
  EXPECT_NEAR(big.real(), 1, 1e-15);
  EXPECT_NEAR(big.imag(), 0, 1e-15);
}

// --- Reference counting and the exception ---

TEST(ReferenceCounting, CopiesShareOneCounter) {
  ReferenceCount a;
  EXPECT_TRUE(a.unique());
  {
    ReferenceCount b(a);
    ReferenceCount c;
    c = b;
    EXPECT_EQ(a.count(), 3);
    EXPECT_FALSE(a.unique());
    const ReferenceCount& same = c;
    c = same;  // self-assignment keeps the counter
    EXPECT_EQ(a.count(), 3);
  }
  EXPECT_TRUE(a.unique());
}

class KelmExceptionTest : public ErrorCapture {};

TEST_F(KelmExceptionTest, DefaultIsZeroAndCopiesOwnTheirTexts) {
  const KelmException empty;
  EXPECT_EQ(empty.getCode(), 0);
  EXPECT_EQ(empty.getSeverity(), KELM_NO_ERROR);
  EXPECT_EQ(empty.getText(KelmException::kMessage), nullptr);
  KelmErrorRecord r{};
  r.severity = KELM_TERMINAL;
  r.code = 200110;
  std::snprintf(r.message, sizeof r.message, "%s", "fp must lie in the range (0,1).");
  std::snprintf(r.params.l[0], sizeof r.params.l[0], "%s", "fp");
  r.params.i[1] = 9;
  KelmException copy;
  {
    const KelmException original(r);
    copy = original;
    const KelmException second(original);
    EXPECT_STREQ(second.what(), "fp must lie in the range (0,1).");
  }
  EXPECT_EQ(copy.getCode(), 200110);
  EXPECT_EQ(copy.getSeverity(), KELM_TERMINAL);
  EXPECT_STREQ(copy.getText(KelmException::kParameter1), "fp");
  EXPECT_EQ(copy.getInteger(1), 9);
}

TEST_F(KelmExceptionTest, StopSwitchThrowsAndUnwindsTheRoutineStack) {
  kelm_erset(KELM_TERMINAL, 0, 1);
  try {
    (void)convolution(KelmVectorDouble(), vec<double>({1}), 0);
    FAIL() << "no exception";
  } catch (const KelmException& e) {
    EXPECT_EQ(e.getCode(), 200253);
    EXPECT_EQ(e.getSeverity(), KELM_TERMINAL);
    EXPECT_STREQ(e.getText(KelmException::kRoutine),
                 "convolution(const KelmVectorDouble&, const KelmVectorDouble&, const int)");
  }
  EXPECT_EQ(kelm_e1lev(), 0);
  kelm_erset(KELM_TERMINAL, 1, 0);
}

// --- Filter objects ---

template <class T>
class FilterObjects : public TypedErrorCapture<T> {};
TYPED_TEST_SUITE(FilterObjects, RealTypes);

TYPED_TEST(FilterObjects, ConstructionDefinitionAndCopies) {
  using T = TypeParam;
  EXPECT_FALSE(KelmFIRFilter<T>().defined());
  EXPECT_FALSE(KelmFIRFilter<T>(KelmVector<T>()).defined());
  const T coefficients[] = {T(0.25), T(0.5), T(0.25)};
  KelmFIRFilter<T> fir(3, coefficients);
  EXPECT_TRUE(fir.defined());
  EXPECT_FALSE(KelmFIRFilter<T>(0, coefficients).defined());
  const KelmFIRFilter<T>& sameFir = fir;
  fir = sameFir;  // self-assignment keeps the coefficients
  EXPECT_EQ(values(fir.B()), (std::vector<double>{0.25, 0.5, 0.25}));
  // B() is a copy: changing it leaves the filter alone.
  KelmVector<T> b = fir.B();
  b[0] = T(9);
  EXPECT_EQ(fir.B()[0], T(0.25));

  const KelmIIRFilter<T> fromFir(fir);
  EXPECT_TRUE(fromFir.defined());
  EXPECT_EQ(values(fromFir.A()), (std::vector<double>{1}));
  const KelmIIRFilter<T> fromEmpty{KelmFIRFilter<T>()};
  EXPECT_FALSE(fromEmpty.defined());
  EXPECT_TRUE(fromEmpty.A().empty());

  EXPECT_FALSE(KelmIIRFilter<T>(vec<T>({1}), KelmVector<T>()).defined());
  const T num[] = {T(1), T(1)}, den[] = {T(1), T(-0.5)};
  KelmIIRFilter<T> iir(2, num, 2, den);
  EXPECT_TRUE(iir.defined());
  const KelmIIRFilter<T>& sameIir = iir;
  iir = sameIir;
  EXPECT_EQ(values(iir.A()), (std::vector<double>{1, -0.5}));
  KelmIIRFilter<T> assigned;
  assigned = iir;
  EXPECT_EQ(values(assigned.B()), (std::vector<double>{1, 1}));
  const KelmIIRFilter<T> undefinedSource(vec<T>({1}), KelmVector<T>());
  const KelmIIRFilter<T> copyOfUndefined(undefinedSource);
  EXPECT_FALSE(copyOfUndefined.defined());
  EXPECT_TRUE(copyOfUndefined.B().empty());
  this->expectNoErrors();
}

}  // namespace
