// Pairing of roots by reciprocals and by conjugates.
#include <kelmsp/KelmPolynomial.h>

#include "common/KelmInternal.h"

#include <vector>

using kelm_detail::reportError;

namespace {

// Each member of the smaller group (the first when both are equal) followed
// by the nearest unused member of the other group to target(member); the
// unpaired members of the larger group follow in their order.
template <class T, class Target>
KelmVector<KelmComplex<T>> pairGroups(const std::vector<KelmComplex<T>>& first,
                                      const std::vector<KelmComplex<T>>& second, Target target) {
  const bool firstLeads = first.size() <= second.size();
  const std::vector<KelmComplex<T>>& lead = firstLeads ? first : second;
  const std::vector<KelmComplex<T>>& other = firstLeads ? second : first;
  std::vector<bool> used(other.size(), false);
  KelmVector<KelmComplex<T>> out(int(first.size() + second.size()));
  KelmComplex<T>* d = out.array();
  int pos = 0;
  for (const KelmComplex<T>& u : lead) {
    d[pos++] = u;
    std::size_t best = other.size();
    T bestDistance = T(0);
    bool haveTarget = false;
    KelmComplex<T> want;
    haveTarget = target(u, want);
    for (std::size_t j = 0; j < other.size(); ++j) {
      if (used[j]) continue;
      const T dist = haveTarget ? kelm_detail::magnitude(other[j] - want) : T(0);
      if (best == other.size() || dist < bestDistance) {
        best = j;
        bestDistance = dist;
      }
    }
    if (best < other.size()) {
      used[best] = true;
      d[pos++] = other[best];
    }
  }
  for (std::size_t j = 0; j < other.size(); ++j)
    if (!used[j]) d[pos++] = other[j];
  return out;
}

}  // namespace

template <class T>
KelmVector<KelmComplex<T>> pairInv(const KelmVector<KelmComplex<T>>& z) {
  KELM_ROUTINE("pairInv(const KelmVectorDcomplex&)");
  if (z.empty()) return reportError(200117, {"z"}), KelmVector<KelmComplex<T>>();
  std::vector<KelmComplex<T>> inner, outer;
  for (const KelmComplex<T>& v : z) (kelm_detail::magnitude(v) < T(1) ? inner : outer).push_back(v);
  if (inner.empty() || outer.empty()) return z;
  return pairGroups<T>(inner, outer, [](const KelmComplex<T>& u, KelmComplex<T>& want) {
    if (u == KelmComplex<T>(0)) return false;  // no finite reciprocal: take the first free root
    want = KelmComplex<T>(1) / u;
    return true;
  });
}

template <class T>
KelmVector<KelmComplex<T>> pairConj(const KelmVector<KelmComplex<T>>& z) {
  KELM_ROUTINE("pairConj(const KelmVectorDcomplex&)");
  if (z.empty()) return reportError(200117, {"z"}), KelmVector<KelmComplex<T>>();
  const T eps = T(2.220446e-16);
  int complexCount = 0;
  for (const KelmComplex<T>& v : z)
    if (std::fabs(v.imag()) >= eps) ++complexCount;
  if (complexCount == 0) return z;
  if (complexCount % 2 != 0) return reportError(200116, {}, {complexCount}), KelmVector<KelmComplex<T>>();
  std::vector<KelmComplex<T>> lower, upper;
  for (const KelmComplex<T>& v : z) (v.imag() < T(0) ? lower : upper).push_back(v);
  return pairGroups<T>(lower, upper, [](const KelmComplex<T>& u, KelmComplex<T>& want) {
    want = conjg(u);
    return true;
  });
}

template KelmVector<KelmDcomplex> pairInv(const KelmVector<KelmDcomplex>&);
template KelmVector<KelmFcomplex> pairInv(const KelmVector<KelmFcomplex>&);
template KelmVector<KelmDcomplex> pairConj(const KelmVector<KelmDcomplex>&);
template KelmVector<KelmFcomplex> pairConj(const KelmVector<KelmFcomplex>&);
