// Helpers of the IIR design tests: the stored scipy results
// (reference/reference_iir.txt, written by make_reference_iir.py) and
// responses evaluated independently of the library.
#pragma once

#include <gtest/gtest.h>
#include <kelmsp/kelmsp.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kelm_iir_test {

inline const std::map<std::string, std::vector<double>>& referenceTable() {
  static const std::map<std::string, std::vector<double>> table = [] {
    std::map<std::string, std::vector<double>> t;
    const std::string path = std::string(KELMSP_REFERENCE_DIR) + "/reference_iir.txt";
    std::ifstream in(path);
    std::string line, name;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      if (line[0] == '@') {
        std::istringstream head(line.substr(1));
        head >> name;
        t[name];
        continue;
      }
      t[name].push_back(std::stod(line));
    }
    return t;
  }();
  return table;
}

inline const std::vector<double>& iirRef(const std::string& name) {
  static const std::vector<double> none;
  const auto& t = referenceTable();
  auto it = t.find(name);
  EXPECT_NE(it, t.end()) << "no reference vector " << name << " (reference_iir.txt missing or stale)";
  return it == t.end() ? none : it->second;
}

inline std::vector<std::complex<double>> refComplex(const std::string& name) {
  const std::vector<double>& v = iirRef(name);
  std::vector<std::complex<double>> out;
  for (std::size_t i = 0; i + 1 < v.size(); i += 2) out.emplace_back(v[i], v[i + 1]);
  return out;
}

// Rows of a stored table with the given number of columns.
inline std::vector<std::vector<double>> refRows(const std::string& name, std::size_t columns) {
  const std::vector<double>& v = iirRef(name);
  std::vector<std::vector<double>> rows;
  for (std::size_t i = 0; i + columns <= v.size(); i += columns)
    rows.emplace_back(v.begin() + i, v.begin() + i + columns);
  return rows;
}

template <class T>
std::vector<double> coefficients(const KelmVector<T>& v) {
  std::vector<double> out;
  for (const T& x : v) out.push_back(double(x));
  return out;
}

// B/A at z^-1 = exp(-i pi f) with the true pi, b and a ascending in z^-1.
inline std::complex<double> response(const std::vector<double>& b, const std::vector<double>& a, double f,
                                     double pi = M_PI) {
  const std::complex<double> x = std::polar(1.0, -pi * f);
  auto horner = [&x](const std::vector<double>& p) {
    std::complex<double> s = 0;
    for (std::size_t i = p.size(); i-- > 0;) s = s * x + p[i];
    return s;
  };
  return horner(b) / horner(a);
}

template <class T>
std::complex<double> response(const KelmIIRFilter<T>& filter, double f, double pi = M_PI) {
  return response(coefficients(filter.B()), coefficients(filter.A()), f, pi);
}

// The library's own frequency convention (its pi, 3.1415927410125732), in
// which its designs put their edges.
inline constexpr double kLibraryPi = 3.1415927410125732;

template <class T>
double gainAt(const KelmIIRFilter<T>& filter, double f) {
  return std::abs(response(filter, f, kLibraryPi));
}

}  // namespace kelm_iir_test
