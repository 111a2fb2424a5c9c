// Construction, copying and coefficient access of the filter objects. The
// filtering and response members are defined with their algorithms in
// src/filtering/ and instantiated there.
#include <kelmsp/KelmFilter.h>

template <class T>
KelmFIRFilter<T>::KelmFIRFilter() : m_defined(0) {}

template <class T>
KelmFIRFilter<T>::KelmFIRFilter(const KelmFIRFilter& other) : m_b(other.m_b), m_defined(other.m_defined) {}

template <class T>
KelmFIRFilter<T>::KelmFIRFilter(const Vector& b) : m_b(b), m_defined(b.length() > 0 ? 1 : 0) {
  m_b.setBase(0);
}

template <class T>
KelmFIRFilter<T>::KelmFIRFilter(int n, const T* coefficients)
    : m_b(n > 0 && coefficients ? Vector(n, coefficients) : Vector()), m_defined(m_b.length() > 0 ? 1 : 0) {}

template <class T>
KelmFIRFilter<T>& KelmFIRFilter<T>::operator=(const KelmFIRFilter& other) {
  if (this != &other) {
    m_b = other.m_b;
    m_defined = other.m_defined;
  }
  return *this;
}

template <class T>
KelmFIRFilter<T>::~KelmFIRFilter() = default;

template <class T>
KelmVector<T> KelmFIRFilter<T>::B() const {
  return m_b;
}

template <class T>
KelmIIRFilter<T>::KelmIIRFilter() : m_defined(0) {}

template <class T>
KelmIIRFilter<T>::KelmIIRFilter(const KelmIIRFilter& other) : m_defined(other.m_defined) {
  if (other.m_defined) {
    m_b = other.m_b;
    m_a = other.m_a;
  }
}

template <class T>
KelmIIRFilter<T>::KelmIIRFilter(const KelmFIRFilter<T>& fir) : m_b(fir.B()), m_a(Vector{T(1)}) {
  m_defined = m_b.length() > 0 ? 1 : 0;
  if (!m_defined) m_a = Vector();
}

template <class T>
KelmIIRFilter<T>::KelmIIRFilter(const Vector& b, const Vector& a)
    : m_b(b), m_a(a), m_defined(b.length() > 0 && a.length() > 0 ? 1 : 0) {
  m_b.setBase(0);
  m_a.setBase(0);
}

template <class T>
KelmIIRFilter<T>::KelmIIRFilter(int nb, const T* b, int na, const T* a) : m_defined(0) {
  if (nb > 0 && na > 0 && b && a) {
    m_b = Vector(nb, b);
    m_a = Vector(na, a);
    m_defined = 1;
  }
}

template <class T>
KelmIIRFilter<T>& KelmIIRFilter<T>::operator=(const KelmIIRFilter& other) {
  if (this != &other) {
    m_b = other.m_b;
    m_a = other.m_a;
    m_defined = other.m_defined;
  }
  return *this;
}

template <class T>
KelmIIRFilter<T>::~KelmIIRFilter() = default;

template <class T>
KelmVector<T> KelmIIRFilter<T>::B() const {
  return m_b;
}

template <class T>
KelmVector<T> KelmIIRFilter<T>::A() const {
  return m_a;
}

template class KelmFIRFilter<double>;
template class KelmFIRFilter<float>;
template class KelmIIRFilter<double>;
template class KelmIIRFilter<float>;
