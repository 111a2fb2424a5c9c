// Helpers of the kelmsp tests: capturing reported errors, stored reference
// vectors, building and comparing vectors.
#pragma once

#include <gtest/gtest.h>
#include <kelmerr/kelmerr.h>
#include <kelmmath/kelmmath.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kelm_test {

// Every message reported on this thread while the fixture runs.
struct CapturedError {
  int severity;
  int code;
  std::string routine;
  std::string message;
  KelmErrorParams params;
  std::string text(int slot) const { return params.l[slot]; }
};

inline std::vector<CapturedError>& captured() {
  thread_local std::vector<CapturedError> errors;
  return errors;
}

inline void captureSink(const KelmErrorRecord& r, const char*, void*) {
  captured().push_back({r.severity, r.code, r.routine, r.message, r.params});
}

// Prints every severity into the capture, stops on none; restores the
// default switches and sink afterwards.
class ErrorCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    captured().clear();
    kelm_erset(0, 1, 0);
    kelm_set_error_sink(&captureSink, nullptr);
  }
  void TearDown() override {
    kelm_set_error_sink(nullptr, nullptr);
    kelm_erset(0, 0, 0);
    kelm_erset(KELM_WARNING, 1, 0);
    kelm_erset(KELM_FATAL, 1, 0);
    kelm_erset(KELM_TERMINAL, 1, 0);
    captured().clear();
  }
  static const std::vector<CapturedError>& errors() { return captured(); }
  static void clearErrors() { captured().clear(); }
  // The single error reported since the last clear (fails otherwise).
  static CapturedError onlyError() {
    EXPECT_EQ(captured().size(), 1u) << "expected exactly one reported error";
    return captured().empty() ? CapturedError{} : captured().front();
  }
  static void expectNoErrors() {
    EXPECT_TRUE(captured().empty()) << "unexpected error " << captured().front().code << ": "
                                    << captured().front().message;
  }
};

template <class T>
class TypedErrorCapture : public ErrorCapture {};

using RealTypes = ::testing::Types<float, double>;

// Tolerance for results computed in T, relative to the magnitude of the data.
template <class T>
constexpr double tolerance() {
  return sizeof(T) == sizeof(float) ? 2e-4 : 1e-10;
}

template <class T>
KelmVector<T> vec(std::initializer_list<double> values) {
  KelmVector<T> v(static_cast<int>(values.size()));
  int i = 0;
  for (double x : values) v[i++] = T(x);
  return v;
}

template <class T>
KelmVector<T> vec(const std::vector<double>& values) {
  KelmVector<T> v(static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) v[static_cast<int>(i)] = T(values[i]);
  return v;
}

// Complex vector from interleaved (re, im) values.
template <class T>
KelmVector<KelmComplex<T>> cvec(const std::vector<double>& interleaved) {
  KelmVector<KelmComplex<T>> v(static_cast<int>(interleaved.size() / 2));
  for (int i = 0; i < v.length(); ++i) v[i] = KelmComplex<T>(T(interleaved[2 * i]), T(interleaved[2 * i + 1]));
  return v;
}

template <class T>
std::vector<double> values(const KelmVector<T>& v) {
  std::vector<double> out;
  for (const T& x : v) out.push_back(double(x));
  return out;
}

template <class T>
std::vector<double> values(const KelmVector<KelmComplex<T>>& v) {
  std::vector<double> out;
  for (const auto& x : v) {
    out.push_back(double(x.real()));
    out.push_back(double(x.imag()));
  }
  return out;
}

// Element-wise comparison with an absolute tolerance scaled by the largest
// expected magnitude (at least 1).
inline void expectClose(const std::vector<double>& actual, const std::vector<double>& expected, double tol,
                        const std::string& what = "") {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  double scale = 1.0;
  for (double e : expected) scale = std::max(scale, std::fabs(e));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], tol * scale) << what << " at " << i;
  }
}

template <class V>
void expectClose(const V& actual, const std::vector<double>& expected, double tol, const std::string& what = "") {
  expectClose(values(actual), expected, tol, what);
}

// Stored reference vectors (reference/reference.txt).
class Reference {
 public:
  static const Reference& get() {
    static const Reference ref(std::string(KELMSP_REFERENCE_DIR) + "/reference.txt");
    return ref;
  }
  const std::vector<double>& operator[](const std::string& name) const {
    static const std::vector<double> none;
    auto it = m_vectors.find(name);
    EXPECT_NE(it, m_vectors.end()) << "no reference vector " << name;
    return it == m_vectors.end() ? none : it->second;
  }

 private:
  explicit Reference(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::string line, name;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      if (line[0] == '@') {
        std::istringstream head(line.substr(1));
        head >> name;
        m_vectors[name];
        continue;
      }
      m_vectors[name].push_back(std::stod(line));
    }
  }
  std::map<std::string, std::vector<double>> m_vectors;
};

inline const std::vector<double>& refData(const std::string& name) { return Reference::get()[name]; }

}  // namespace kelm_test
