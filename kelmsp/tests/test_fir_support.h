// Helpers of the FIR design tests: the stored reference vectors of
// reference/reference_fir.txt and frequency responses computed here, apart
// from the library.
#pragma once

#include <gtest/gtest.h>
#include <kelmmath/kelmmath.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kelm_fir_test {

inline const std::map<std::string, std::vector<double>>& firRefVectors() {
  static const std::map<std::string, std::vector<double>> vectors = [] {
    std::map<std::string, std::vector<double>> out;
    const std::string path = std::string(KELMSP_REFERENCE_DIR) + "/reference_fir.txt";
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::string line, current;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      if (line[0] == '@') {
        std::istringstream head(line.substr(1));
        head >> current;
        out[current];
        continue;
      }
      out[current].push_back(std::stod(line));
    }
    return out;
  }();
  return vectors;
}

inline const std::vector<double>& firRef(const std::string& name) {
  static const std::vector<double> none;
  auto it = firRefVectors().find(name);
  EXPECT_NE(it, firRefVectors().end()) << "no reference vector " << name;
  return it == firRefVectors().end() ? none : it->second;
}

// Vector "kind.part.i" of reference case i.
inline const std::vector<double>& firRef(const std::string& kind, const std::string& part, int i) {
  return firRef(kind + "." + part + "." + std::to_string(i));
}

// Number of reference cases of a kind (kind.case.0, kind.case.1, ...).
inline int firRefCount(const std::string& kind) {
  int n = 0;
  while (firRefVectors().count(kind + ".case." + std::to_string(n))) ++n;
  return n;
}

// H(e^jw) at the normalised frequency f (1 = half the sampling rate),
// w = pi f with the true pi.
template <class V>
std::complex<double> response(const V& h, double f) {
  std::complex<double> s = 0;
  const double w = M_PI * f;
  for (int k = 0; k < h.length(); ++k) s += double(h.array()[k]) * std::polar(1.0, -w * k);
  return s;
}

// The response with the linear phase of the filter's centre removed:
// real for symmetric filters, imaginary for antisymmetric ones.
template <class V>
std::complex<double> centredResponse(const V& h, double f) {
  return response(h, f) * std::polar(1.0, M_PI * f * (h.length() - 1) / 2.0);
}

}  // namespace kelm_fir_test
