#include <kelmsp/KelmException.h>

#include <cstring>

namespace {

char* duplicate(const char* text) {
  if (!text) return nullptr;
  const std::size_t n = std::strlen(text);
  char* copy = new char[n + 1];
  std::memcpy(copy, text, n + 1);
  return copy;
}

// The library's "stop": the message leaves the routine as a KelmException.
[[noreturn]] void throwKelmException(const KelmErrorRecord& record) { throw KelmException(record); }

const bool kStopHandlerInstalled = (kelm_set_stop_handler(&throwKelmException), true);

}  // namespace

KelmException::KelmException() : m_severity(KELM_NO_ERROR), m_code(0), m_texts{}, m_integers{} {}

KelmException::KelmException(const KelmErrorRecord& record)
    : m_severity(static_cast<KelmErrorSeverity>(record.severity)), m_code(record.code), m_texts{}, m_integers{} {
  (void)kStopHandlerInstalled;
  m_texts[kRoutine] = duplicate(record.routine);
  m_texts[kMessage] = duplicate(record.message);
  m_texts[kParameter1] = duplicate(record.params.l[0]);
  m_texts[kParameter2] = duplicate(record.params.l[1]);
  for (int i = 0; i < kIntegers; ++i) m_integers[i] = record.params.i[i];
}

KelmException::KelmException(const KelmException& other)
    : std::exception(other), m_severity(KELM_NO_ERROR), m_code(0), m_texts{}, m_integers{} {
  copyFrom(other);
}

KelmException& KelmException::operator=(const KelmException& other) {
  if (this != &other) {
    release();
    copyFrom(other);
  }
  return *this;
}

KelmException::~KelmException() { release(); }

void KelmException::copyFrom(const KelmException& other) {
  m_severity = other.m_severity;
  m_code = other.m_code;
  for (int i = 0; i < kTexts; ++i) m_texts[i] = duplicate(other.m_texts[i]);
  for (int i = 0; i < kIntegers; ++i) m_integers[i] = other.m_integers[i];
}

void KelmException::release() {
  for (char*& t : m_texts) {
    delete[] t;
    t = nullptr;
  }
}

const char* KelmException::getText(int i) const { return i >= 0 && i < kTexts ? m_texts[i] : nullptr; }

int KelmException::getInteger(int i) const { return i >= 0 && i < kIntegers ? m_integers[i] : 0; }

const char* KelmException::what() const noexcept {
  return m_texts[kMessage] ? m_texts[kMessage] : "kelmsp error";
}
