#include "common/KelmRoutine.h"

#include <cmath>

namespace kelm_detail {

std::string singleRoutineText(const char* doubleText) {
  std::string s(doubleText);
  const struct {
    const char* from;
    const char* to;
  } swaps[] = {{"Double", "Float"}, {"Dcomplex", "Fcomplex"}, {"double", "float"}};
  for (const auto& sw : swaps) {
    const std::string from(sw.from), to(sw.to);
    for (std::size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size())) {
      s.replace(pos, from.size(), to);
    }
  }
  return s;
}

void reportError(int code, std::initializer_list<const char*> texts, std::initializer_list<int> ints,
                 std::initializer_list<double> reals, int severity) {
  int slot = 1;
  for (const char* t : texts) kelm_e1stl(slot++, t);
  slot = 1;
  for (int i : ints) kelm_e1sti(slot++, i);
  slot = 1;
  for (double r : reals) kelm_e1str(slot++, r);
  kelm_ermes(severity, code);
}

int fastLength(long long n) {
  if (n <= 1) return 1;
  long long best = -1;
  // Powers of 5, then of 3, then the smallest power of 2 that reaches n.
  for (long long p5 = 1;; p5 *= 5) {
    for (long long p53 = p5;; p53 *= 3) {
      long long v = p53;
      while (v < n) v *= 2;
      if (best < 0 || v < best) best = v;
      if (v == n || p53 >= n) break;
    }
    if (best == n || p5 >= n) break;
  }
  return static_cast<int>(best);
}

template <class R>
KelmVector<R> hannWindow(int n) {
  KelmVector<R> w(n);
  R* d = w.array();
  const double twoPi = 6.2831854820251465;
  for (int k = 0; k < n; ++k) {
    const R beta = R(twoPi * (k + (n - 1) / 2.0) / (n - 1));
    d[k] = R(0.5) + R(0.5) * std::cos(beta);
  }
  return w;
}

template KelmVector<double> hannWindow<double>(int);
template KelmVector<float> hannWindow<float>(int);

}  // namespace kelm_detail
