// Elliptic integrals and Jacobi elliptic functions used by the elliptic
// design and the order estimation. Not exported; none of them pushes a
// routine text, so their reports carry the calling routine's.
//
// Parameters close to 1 lose their distance to 1 when stored (1 - 1e-17 is
// 1 in double, 1 - 1e-8 is 1 in float), yet the elliptic design needs
// exactly those for sharp filters. The routines therefore take the
// complementary parameter mc = 1 - m alongside m where it matters; callers
// form it from the complementary modulus, never as 1 - m.
#pragma once

#include "common/KelmRoutine.h"

namespace kelm_detail {

template <class T>
struct JacobiValues {
  T sn;
  T cn;
  T dn;
};

// sn, cn and dn of u for the parameter m in [0, 1] with mc = 1 - m, by
// descending Landen steps (at most 25; more report the warning 200236 and
// the values are computed all the same). For mc = 0 the results are
// tanh u and 1/cosh u.
template <class T>
JacobiValues<T> jacobiElliptic(T u, T m, T mc);

// The incomplete integral of the first kind F(arctan x) for the
// complementary modulus kc (Landen-Gauss iteration). kc = 0 reports 200239,
// no convergence in 20 passes 200240; both give 0.
template <class T>
T ellipticArgument(T x, T kc);

// The modulus whose quarter periods have the ratio K'/K = r (nome
// q = exp(-pi r)). No convergence in 19 terms reports 200240 and gives 0.
template <class T>
T modulusFromPeriodRatio(T r);

// Carlson's R_F(x, y, z) by duplication, without checks (the arguments are
// non-negative and at most one is zero).
template <class T>
T carlsonRF(T x, T y, T z);

// K for the complementary parameter mc = 1 - m, mc in (0, 1]: R_F(0, mc, 1),
// or 0.5 ln(16/mc) where mc is below the precision's epsilon. mc = 0 gives
// infinity.
template <class T>
T completeEllipticK(T mc);

}  // namespace kelm_detail
