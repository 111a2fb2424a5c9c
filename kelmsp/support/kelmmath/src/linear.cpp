// Linear systems and polynomial roots on Eigen.
#include <kelmmath/KelmNumeric.h>

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>

#include <complex>
#include <limits>

namespace {

template <class T>
struct EigenScalar {
  using type = T;
  static T to(const T& v) { return v; }
  static T from(const T& v) { return v; }
};
template <class T>
struct EigenScalar<KelmComplex<T>> {
  using type = std::complex<T>;
  static std::complex<T> to(const KelmComplex<T>& v) { return {v.real(), v.imag()}; }
  static KelmComplex<T> from(const std::complex<T>& v) { return {v.real(), v.imag()}; }
};

template <class T>
KelmVector<T> solveImpl(const KelmMatrixGeneral<T>& m, const KelmVector<T>& v) {
  using S = EigenScalar<T>;
  using E = typename S::type;
  if (m.empty() || m.rowDim() != v.length()) {
    kelm_detail::reportSizeMismatch(m.rowDim(), v.length());
    return KelmVector<T>();
  }
  const int rows = m.rowDim(), cols = m.columnDim();
  Eigen::Matrix<E, Eigen::Dynamic, Eigen::Dynamic> a(rows, cols);
  Eigen::Matrix<E, Eigen::Dynamic, 1> b(rows);
  for (int j = 0; j < cols; ++j)
    for (int i = 0; i < rows; ++i) a(i, j) = S::to(m.array()[i + std::size_t(j) * rows]);
  for (int i = 0; i < rows; ++i) b(i) = S::to(v.array()[i]);
  Eigen::Matrix<E, Eigen::Dynamic, 1> x;
  if (rows == cols) {
    Eigen::FullPivLU<decltype(a)> lu(a);
    if (lu.isInvertible()) {
      x = lu.solve(b);
    } else {
      x = a.completeOrthogonalDecomposition().solve(b);
    }
  } else {
    x = a.completeOrthogonalDecomposition().solve(b);
  }
  KelmVector<T> out(cols, m.columnBase());
  T* d = out.array();
  for (int j = 0; j < cols; ++j) d[j] = S::from(x(j));
  return out;
}

template <class R, class T>
KelmVector<KelmComplex<R>> zerosImpl(const KelmVector<T>& c) {
  using S = EigenScalar<T>;
  using E = std::complex<R>;
  int n = c.length() - 1;
  auto coef = [&](int i) { return E(S::to(c.array()[i])); };
  while (n > 0 && coef(n) == E(0)) --n;
  if (n <= 0) return KelmVector<KelmComplex<R>>();
  // Companion matrix of the monic polynomial.
  Eigen::Matrix<E, Eigen::Dynamic, Eigen::Dynamic> comp = Eigen::Matrix<E, Eigen::Dynamic, Eigen::Dynamic>::Zero(n, n);
  const E lead = coef(n);
  for (int i = 1; i < n; ++i) comp(i, i - 1) = E(1);
  for (int i = 0; i < n; ++i) comp(i, n - 1) = -coef(i) / lead;
  Eigen::ComplexEigenSolver<decltype(comp)> solver(comp, false);
  auto roots = solver.eigenvalues();
  KelmVector<KelmComplex<R>> out(n);
  KelmComplex<R>* d = out.array();
  for (int k = 0; k < n; ++k) {
    // Two Newton steps on the original polynomial, kept only when they improve it.
    E z = roots(k);
    auto eval = [&](E x, E& deriv) {
      E p = coef(n), dp = E(0);
      for (int i = n - 1; i >= 0; --i) {
        dp = dp * x + p;
        p = p * x + coef(i);
      }
      deriv = dp;
      return p;
    };
    for (int step = 0; step < 2; ++step) {
      E dp;
      const E p = eval(z, dp);
      if (dp == E(0)) break;
      const E next = z - p / dp;
      E dn;
      if (std::abs(eval(next, dn)) < std::abs(p))
        z = next;
      else
        break;
    }
    d[k] = KelmComplex<R>(z.real(), z.imag());
  }
  return out;
}

}  // namespace

KelmVectorDouble solve(const KelmMatrixGeneralDouble& m, const KelmVectorDouble& v) { return solveImpl(m, v); }
KelmVectorFloat solve(const KelmMatrixGeneralFloat& m, const KelmVectorFloat& v) { return solveImpl(m, v); }
KelmVectorDcomplex solve(const KelmMatrixGeneralDcomplex& m, const KelmVectorDcomplex& v) { return solveImpl(m, v); }
KelmVectorFcomplex solve(const KelmMatrixGeneralFcomplex& m, const KelmVectorFcomplex& v) { return solveImpl(m, v); }

KelmVectorDcomplex zerosPolynomial(const KelmVectorDouble& c) { return zerosImpl<double>(c); }
KelmVectorFcomplex zerosPolynomial(const KelmVectorFloat& c) { return zerosImpl<float>(c); }
KelmVectorDcomplex zerosPolynomial(const KelmVectorDcomplex& c) { return zerosImpl<double>(c); }
KelmVectorFcomplex zerosPolynomial(const KelmVectorFcomplex& c) { return zerosImpl<float>(c); }

double kelm_amach(int which) {
  using L = std::numeric_limits<double>;
  switch (which) {
    case 1: return L::min();
    case 2: return L::max();
    case 3: return L::epsilon() / 2;
    case 4: return L::epsilon();
    case 5: return 0.30102999566398119521;
    case 6: return L::quiet_NaN();
    case 7: return L::infinity();
    case 8: return -L::infinity();
    default: return 0.0;
  }
}

float kelm_samach(int which) {
  using L = std::numeric_limits<float>;
  switch (which) {
    case 1: return L::min();
    case 2: return L::max();
    case 3: return L::epsilon() / 2;
    case 4: return L::epsilon();
    case 5: return 0.30103f;
    case 6: return L::quiet_NaN();
    case 7: return L::infinity();
    case 8: return -L::infinity();
    default: return 0.0f;
  }
}
