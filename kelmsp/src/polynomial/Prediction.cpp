// Linear prediction: Levinson-Durbin recursion, its inverses and symmetric
// Toeplitz systems.
#include <kelmsp/KelmPolynomial.h>

#include "common/KelmInternal.h"

#include <cmath>

using kelm_detail::reportError;

template <class T>
void levinsonDurbin(const KelmVector<T>& r, KelmVector<T>& e, KelmMatrixGeneral<T>& A, KelmVector<T>& k) {
  KELM_ROUTINE(
      "levinsonDurbin(const KelmVectorDouble&, KelmVectorDouble&, KelmMatrixGeneralDouble&, KelmVectorDouble&)");
  e = KelmVector<T>();
  A = KelmMatrixGeneral<T>();
  k = KelmVector<T>();
  if (r.empty()) return reportError(200100, {"r"}, {2});
  const T* rr = r.array();
  if (rr[0] == T(0)) return reportError(200107, {"r(0)"});
  const int p = r.length() - 1;
  KelmVector<T> ev(p + 1), kv(p + 1);
  KelmMatrixGeneral<T> Am(p + 1, p + 1);
  T* ed = ev.array();
  T* kd = kv.array();
  T* a = Am.array();
  const int n = p + 1;
  auto at = [a, n](int row, int col) -> T& { return a[row + col * n]; };
  ed[0] = rr[0];
  at(0, 0) = T(1);
  for (int i = 0; i < p; ++i) {
    if (ed[i] == T(0)) return reportError(200259, {}, {i});
    T acc = T(0);
    for (int j = 0; j <= i; ++j) acc += at(j, i) * rr[i + 1 - j];
    const T ki = -acc / ed[i];
    kd[i + 1] = ki;
    ed[i + 1] = ed[i] * (T(1) - ki * ki);
    for (int j = 0; j <= i + 1; ++j) {
      const T prev = j <= i ? at(j, i) : T(0);
      const T mirror = i + 1 - j <= i ? at(i + 1 - j, i) : T(0);
      at(j, i + 1) = prev + ki * mirror;
    }
  }
  e = ev;
  A = Am;
  k = kv;
}

template <class T>
void levinsonAC(KelmVector<T>& r, const KelmVector<T>& e, const KelmMatrixGeneral<T>& A) {
  KELM_ROUTINE("levinsonAC(KelmVectorDouble&, const KelmVectorDouble&, const KelmMatrixGeneralDouble&)");
  r = KelmVector<T>();
  if (e.empty()) return reportError(200100, {"alpha"}, {2});
  const int p = e.length() - 1;
  if (A.rowDim() != p + 1 || A.columnDim() != p + 1) return reportError(200108, {"A"});
  const T* a = A.array();
  const int n = p + 1;
  auto at = [a, n](int row, int col) { return a[row + col * n]; };
  KelmVector<T> out(p + 1);
  T* rr = out.array();
  rr[0] = e.array()[0];
  if (p >= 1) rr[1] = -e.array()[0] * at(1, 1);
  for (int f = 1; f <= p - 1; ++f) {
    T acc = e.array()[f] * at(f + 1, f + 1);
    for (int j = 1; j <= f; ++j) acc += at(j, f) * rr[f + 1 - j];
    rr[f + 1] = -acc;
  }
  r = out;
}

template <class T>
void juryRC(std::type_identity_t<T> ep, const KelmVector<T>& a, KelmVector<T>& e, KelmMatrixGeneral<T>& A,
            KelmVector<T>& k) {
  KELM_ROUTINE(
      "juryRC(const double, const KelmVectorDouble&, KelmVectorDouble&, KelmMatrixGeneralDouble&, "
      "KelmVectorDouble&)");
  e = KelmVector<T>();
  A = KelmMatrixGeneral<T>();
  k = KelmVector<T>();
  if (a.empty()) return reportError(200100, {"a"}, {1});
  if (a.array()[0] == T(0)) return reportError(200107, {"a(0)"});
  const int p = a.length() - 1;
  const int n = p + 1;
  KelmVector<T> ev(n), kv(n);
  KelmMatrixGeneral<T> Am(n, n);
  T* m = Am.array();
  auto at = [m, n](int row, int col) -> T& { return m[row + col * n]; };
  for (int j = 0; j <= p; ++j) at(j, p) = a.array()[j] / a.array()[0];
  ev.array()[p] = ep;
  // Step down: A_(i-1) = (A_i - k_i reversed(A_i)) / (1 - k_i^2), e_(i-1) = e_i / (1 - k_i^2).
  for (int i = p; i >= 1; --i) {
    const T ki = at(i, i);
    const T den = T(1) - ki * ki;
    if (den == T(0)) return reportError(200259, {}, {i});
    kv.array()[i] = ki;
    for (int j = 0; j <= i - 1; ++j) at(j, i - 1) = (at(j, i) - ki * at(i - j, i)) / den;
    ev.array()[i - 1] = ev.array()[i] / den;
  }
  e = ev;
  A = Am;
  k = kv;
}

template <class T>
KelmVector<T> toeplitzSolve(const KelmVector<T>& r, const KelmVector<T>& y) {
  KELM_ROUTINE("toeplitzSolve(const KelmVectorDouble&, const KelmVectorDouble&)");
  if (r.empty()) return reportError(200100, {"r"}, {1}), KelmVector<T>();
  if (y.length() != r.length()) return reportError(200112, {"b", "r"}), KelmVector<T>();
  const T* rr = r.array();
  if (rr[0] == T(0)) return reportError(200107, {"r(0)"}), KelmVector<T>();
  const int n = r.length();
  KelmVector<T> xv(n), av(n), tmp(n);
  T* x = xv.array();
  T* a = av.array();
  T* t = tmp.array();
  a[0] = T(1);
  T err = rr[0];
  x[0] = y.array()[0] / rr[0];
  for (int m = 1; m < n; ++m) {
    // Predictor of order m.
    T acc = T(0);
    for (int j = 0; j < m; ++j) acc += a[j] * rr[m - j];
    const T km = -acc / err;
    for (int j = 0; j <= m; ++j) t[j] = a[j] + km * (m - j < m ? a[m - j] : T(0));
    for (int j = 0; j <= m; ++j) a[j] = t[j];
    err *= T(1) - km * km;
    if (err == T(0)) return reportError(200259, {}, {m}), KelmVector<T>();
    // Solution of order m + 1: x + mu reversed(a).
    T dot = T(0);
    for (int j = 0; j < m; ++j) dot += x[j] * rr[m - j];
    const T mu = (y.array()[m] - dot) / err;
    for (int j = 0; j < m; ++j) x[j] += mu * a[m - j];
    x[m] = mu;
  }
  return xv;
}

#define KELM_INSTANTIATE_PREDICTION(T)                                                                      \
  template void levinsonDurbin(const KelmVector<T>&, KelmVector<T>&, KelmMatrixGeneral<T>&, KelmVector<T>&); \
  template void levinsonAC(KelmVector<T>&, const KelmVector<T>&, const KelmMatrixGeneral<T>&);               \
  template void juryRC(std::type_identity_t<T>, const KelmVector<T>&, KelmVector<T>&, KelmMatrixGeneral<T>&, \
                       KelmVector<T>&);                                                                      \
  template KelmVector<T> toeplitzSolve(const KelmVector<T>&, const KelmVector<T>&);
KELM_INSTANTIATE_PREDICTION(double)
KELM_INSTANTIATE_PREDICTION(float)
