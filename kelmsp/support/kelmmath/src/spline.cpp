// Least-squares splines in B-spline form.
#include <kelmmath/KelmNumeric.h>

#include <vector>

namespace {

void reportSpline(const char* why) {
  kelm_e1stl(1, why);
  kelm_ermes(KELM_TERMINAL, 100005);
}

// Index of the knot interval [t[i], t[i+1]) used for x, limited to the
// intervals of the break range so that points outside continue the end pieces.
template <class T>
int interval(const std::vector<T>& t, int order, int ncoef, T x) {
  int lo = order - 1, hi = ncoef - 1;
  if (x <= t[std::size_t(lo)]) return lo;
  if (x >= t[std::size_t(hi)]) return hi;
  while (hi - lo > 1) {
    const int mid = (lo + hi) / 2;
    if (x < t[std::size_t(mid)])
      hi = mid;
    else
      lo = mid;
  }
  return lo;
}

// Values of the order non-zero B-splines at x on interval i (Cox-de Boor).
template <class T>
void basis(const std::vector<T>& t, int order, int i, T x, std::vector<T>& b) {
  b.assign(std::size_t(order), T(0));
  b[0] = T(1);
  std::vector<T> left(static_cast<std::size_t>(order)), right(static_cast<std::size_t>(order));
  for (int j = 1; j < order; ++j) {
    left[std::size_t(j)] = x - t[std::size_t(i + 1 - j)];
    right[std::size_t(j)] = t[std::size_t(i + j)] - x;
    T saved = T(0);
    for (int r = 0; r < j; ++r) {
      const T denom = right[std::size_t(r + 1)] + left[std::size_t(j - r)];
      const T temp = denom != T(0) ? b[std::size_t(r)] / denom : T(0);
      b[std::size_t(r)] = saved + right[std::size_t(r + 1)] * temp;
      saved = left[std::size_t(j - r)] * temp;
    }
    b[std::size_t(j)] = saved;
  }
}

}  // namespace

template <class T>
int KelmSpline<T>::LSFit(const KelmVector<T>& x, const KelmVector<T>& y, int order, const KelmVector<T>& breaks) {
  m_order = 0;
  m_knots = KelmVector<T>();
  m_coefficients = KelmVector<T>();
  if (x.length() != y.length()) {
    kelm_detail::reportSizeMismatch(x.length(), y.length());
    return 1;
  }
  if (order < 1) return reportSpline("the order must be at least 1"), 1;
  const int nb = breaks.length();
  if (nb < 2) return reportSpline("at least two break points are needed"), 1;
  const T* br = breaks.array();
  for (int i = 1; i < nb; ++i) {
    if (!(br[i] > br[i - 1])) return reportSpline("the break points must increase"), 1;
  }
  for (const T& v : x) {
    if (v < br[0] || v > br[nb - 1]) return reportSpline("a point lies outside the break points"), 1;
  }
  const int ncoef = nb - 2 + order;
  std::vector<T> t;
  t.reserve(std::size_t(ncoef + order));
  for (int i = 0; i < order - 1; ++i) t.push_back(br[0]);
  for (int i = 0; i < nb; ++i) t.push_back(br[i]);
  for (int i = 0; i < order - 1; ++i) t.push_back(br[nb - 1]);

  KelmMatrixGeneral<T> a(x.length(), ncoef);
  std::vector<T> b;
  T* ad = a.array();
  for (int r = 0; r < x.length(); ++r) {
    const int i = interval(t, order, ncoef, x.array()[r]);
    basis(t, order, i, x.array()[r], b);
    for (int j = 0; j < order; ++j) ad[r + std::size_t(i - order + 1 + j) * std::size_t(x.length())] = b[std::size_t(j)];
  }
  KelmVector<T> c = solve(a, y);
  if (c.length() != ncoef) return 1;
  m_order = order;
  m_knots = KelmVector<T>(int(t.size()), t.data());
  m_coefficients = c;
  return 0;
}

template <class T>
T KelmSpline<T>::operator()(T point) const {
  if (m_coefficients.empty()) return T(0);
  const std::vector<T> t(m_knots.begin(), m_knots.end());
  const int ncoef = m_coefficients.length();
  const int i = interval(t, m_order, ncoef, point);
  std::vector<T> b;
  basis(t, m_order, i, point, b);
  T s = T(0);
  for (int j = 0; j < m_order; ++j) s += b[std::size_t(j)] * m_coefficients.array()[i - m_order + 1 + j];
  return s;
}

template <class T>
KelmVector<T> KelmSpline<T>::operator()(const KelmVector<T>& points) const {
  KelmVector<T> out(points.length(), points.base());
  T* d = out.array();
  for (int k = 0; k < points.length(); ++k) d[k] = (*this)(points.array()[k]);
  return out;
}

template class KelmSpline<double>;
template class KelmSpline<float>;
