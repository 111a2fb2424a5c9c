// General dense matrices (column-major) with row and column bases.
//
// Copies share the element array but behave as independent values, like
// vectors. Row and column indices of the members subtract the bases.
#pragma once

#include <kelmerr/kelm_api.h>
#include <kelmerr/kelmerr.h>
#include <kelmmath/KelmVector.h>

#include <cassert>

template <class T>
class KELM_API KelmMatrixGeneral {
 public:
  using value_type = T;

  KelmMatrixGeneral() noexcept = default;
  // rows x columns zeroed elements.
  KelmMatrixGeneral(int rows, int columns, int rowBase = 0, int columnBase = 0)
      : m_data(rows > 0 && columns > 0 ? std::size_t(rows) * std::size_t(columns) : 0),
        m_rows(rows > 0 && columns > 0 ? rows : 0),
        m_columns(rows > 0 && columns > 0 ? columns : 0),
        m_rowBase(rowBase),
        m_columnBase(columnBase) {}

  int rowDim() const noexcept { return m_rows; }
  int columnDim() const noexcept { return m_columns; }
  int rowBase() const noexcept { return m_rowBase; }
  int columnBase() const noexcept { return m_columnBase; }
  void setBases(int rowBase, int columnBase) noexcept {
    m_rowBase = rowBase;
    m_columnBase = columnBase;
  }
  bool empty() const noexcept { return m_rows == 0; }

  // Column-major elements: (i, j) is array()[i + j * rowDim()] without bases.
  const T* array() const noexcept { return m_data.data(); }
  T* array() { return m_data.mutableData(); }

  const T& operator()(int i, int j) const noexcept {
    assert(validRow(i) && validColumn(j));
    return m_data.data()[index(i, j)];
  }
  T& operator()(int i, int j) {
    assert(validRow(i) && validColumn(j));
    return m_data.mutableData()[index(i, j)];
  }

  int useCount() const noexcept { return m_data.useCount(); }

  KelmVector<T> getRow(int i) const {
    if (!validRow(i)) return outside(i, i, 1), KelmVector<T>();
    KelmVector<T> v(m_columns, m_columnBase);
    T* d = v.array();
    for (int j = 0; j < m_columns; ++j) d[j] = array()[(i - m_rowBase) + std::size_t(j) * m_rows];
    return v;
  }
  KelmVector<T> getColumn(int j) const {
    if (!validColumn(j)) return outside(j, j, 1), KelmVector<T>();
    KelmVector<T> v(m_rows, m_rowBase);
    T* d = v.array();
    const T* s = array() + std::size_t(j - m_columnBase) * m_rows;
    for (int i = 0; i < m_rows; ++i) d[i] = s[i];
    return v;
  }
  // A vector of the wrong length reports 100001 and leaves the matrix unchanged.
  void setRow(int i, const KelmVector<T>& v) {
    if (!validRow(i)) return outside(i, i, 1);
    if (v.length() != m_columns) return kelm_detail::reportSizeMismatch(m_columns, v.length());
    T* d = array();
    for (int j = 0; j < m_columns; ++j) d[(i - m_rowBase) + std::size_t(j) * m_rows] = v.array()[j];
  }
  void setColumn(int j, const KelmVector<T>& v) {
    if (!validColumn(j)) return outside(j, j, 1);
    if (v.length() != m_rows) return kelm_detail::reportSizeMismatch(m_rows, v.length());
    T* d = array() + std::size_t(j - m_columnBase) * m_rows;
    for (int i = 0; i < m_rows; ++i) d[i] = v.array()[i];
  }

  // Rows r1..r2 and columns c1..c2 (indices with the bases).
  KelmMatrixGeneral getSection(int r1, int r2, int c1, int c2) const {
    if (!validRow(r1) || !validRow(r2) || r2 < r1) return outside(r1, r2, 1), KelmMatrixGeneral();
    if (!validColumn(c1) || !validColumn(c2) || c2 < c1) return outside(c1, c2, 1), KelmMatrixGeneral();
    KelmMatrixGeneral out(r2 - r1 + 1, c2 - c1 + 1, m_rowBase, m_columnBase);
    T* d = out.array();
    for (int j = 0; j < out.m_columns; ++j)
      for (int i = 0; i < out.m_rows; ++i) d[i + std::size_t(j) * out.m_rows] = (*this)(r1 + i, c1 + j);
    return out;
  }

  // Inserts a row (of columnDim() values) before row position; position =
  // rowBase + rowDim appends. An empty matrix takes the row as its only row.
  KelmMatrixGeneral& rowInsert(const KelmVector<T>& v, int position) {
    const int p = position - m_rowBase;
    if (p < 0 || p > m_rows) return kelm_e1sti(1, position), kelm_ermes(KELM_TERMINAL, 100003), *this;
    const int cols = m_rows == 0 ? v.length() : m_columns;
    if (v.length() != cols || cols == 0) return badInsert(v.length(), cols);
    KelmMatrixGeneral out(m_rows + 1, cols, m_rowBase, m_columnBase);
    T* d = out.array();
    for (int j = 0; j < cols; ++j)
      for (int i = 0; i <= m_rows; ++i) {
        const std::size_t k = i + std::size_t(j) * out.m_rows;
        if (i < p)
          d[k] = array()[i + std::size_t(j) * m_rows];
        else if (i == p)
          d[k] = v.array()[j];
        else
          d[k] = array()[(i - 1) + std::size_t(j) * m_rows];
      }
    *this = out;
    return *this;
  }
  KelmMatrixGeneral& columnInsert(const KelmVector<T>& v, int position) {
    const int p = position - m_columnBase;
    if (p < 0 || p > m_columns) return kelm_e1sti(1, position), kelm_ermes(KELM_TERMINAL, 100003), *this;
    const int rows = m_columns == 0 ? v.length() : m_rows;
    if (v.length() != rows || rows == 0) return badInsert(v.length(), rows);
    KelmMatrixGeneral out(rows, m_columns + 1, m_rowBase, m_columnBase);
    T* d = out.array();
    for (int j = 0; j <= m_columns; ++j)
      for (int i = 0; i < rows; ++i) {
        const std::size_t k = i + std::size_t(j) * rows;
        if (j < p)
          d[k] = array()[i + std::size_t(j) * m_rows];
        else if (j == p)
          d[k] = v.array()[i];
        else
          d[k] = array()[i + std::size_t(j - 1) * m_rows];
      }
    *this = out;
    return *this;
  }

 private:
  bool validRow(int i) const noexcept { return i - m_rowBase >= 0 && i - m_rowBase < m_rows; }
  bool validColumn(int j) const noexcept { return j - m_columnBase >= 0 && j - m_columnBase < m_columns; }
  std::size_t index(int i, int j) const noexcept {
    return std::size_t(i - m_rowBase) + std::size_t(j - m_columnBase) * std::size_t(m_rows);
  }
  static void outside(int first, int last, int stride) {
    kelm_e1sti(1, first);
    kelm_e1sti(2, last);
    kelm_e1sti(3, stride);
    kelm_ermes(KELM_TERMINAL, 100002);
  }
  KelmMatrixGeneral& badInsert(int got, int need) {
    kelm_e1sti(1, got);
    kelm_e1sti(2, need);
    kelm_ermes(KELM_TERMINAL, 100004);
    return *this;
  }

  KelmSharedArray<T> m_data;
  int m_rows = 0;
  int m_columns = 0;
  int m_rowBase = 0;
  int m_columnBase = 0;
};

using KelmMatrixGeneralDouble = KelmMatrixGeneral<double>;
using KelmMatrixGeneralFloat = KelmMatrixGeneral<float>;
using KelmMatrixGeneralDcomplex = KelmMatrixGeneral<KelmDcomplex>;
using KelmMatrixGeneralFcomplex = KelmMatrixGeneral<KelmFcomplex>;

// Matrix times vector; sizes that do not fit report 100001 and give an empty vector.
template <class T>
KelmVector<T> product(const KelmMatrixGeneral<T>& m, const KelmVector<T>& v) {
  if (m.columnDim() != v.length() || m.empty()) {
    kelm_detail::reportSizeMismatch(m.columnDim(), v.length());
    return KelmVector<T>();
  }
  KelmVector<T> out(m.rowDim(), m.rowBase());
  T* d = out.array();
  const T* a = m.array();
  const T* x = v.array();
  for (int j = 0; j < m.columnDim(); ++j)
    for (int i = 0; i < m.rowDim(); ++i) d[i] += a[i + std::size_t(j) * m.rowDim()] * x[j];
  return out;
}

// Solution of m x = v: the exact solution of a square non-singular system and
// the least-squares solution (of least norm) otherwise. Sizes that do not fit
// report 100001 and give an empty vector.
KELM_API KelmVectorDouble solve(const KelmMatrixGeneralDouble& m, const KelmVectorDouble& v);
KELM_API KelmVectorFloat solve(const KelmMatrixGeneralFloat& m, const KelmVectorFloat& v);
KELM_API KelmVectorDcomplex solve(const KelmMatrixGeneralDcomplex& m, const KelmVectorDcomplex& v);
KELM_API KelmVectorFcomplex solve(const KelmMatrixGeneralFcomplex& m, const KelmVectorFcomplex& v);
