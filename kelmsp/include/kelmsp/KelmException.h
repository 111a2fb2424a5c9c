// The exception thrown when the error component's stop switch is on for the
// severity of a reported message (kelm_erset). With the default switches no
// routine of the library throws.
#pragma once

#include <kelmerr/kelmerr.h>
#include <kelmsp/KelmExport.h>

#include <exception>

class KELMSP_API KelmException : public std::exception {
 public:
  static constexpr int kTexts = 4;
  static constexpr int kIntegers = 4;
  enum TextSlot { kRoutine = 0, kMessage = 1, kParameter1 = 2, kParameter2 = 3 };

  // Severity, code, texts and integers all zero.
  KelmException();
  // From a reported message: the routine, the message text, the two text
  // parameters and the four integer parameters.
  explicit KelmException(const KelmErrorRecord& record);
  KelmException(const KelmException& other);
  KelmException& operator=(const KelmException& other);
  ~KelmException() override;

  KelmErrorSeverity getSeverity() const { return m_severity; }
  int getCode() const { return m_code; }
  // Text i (0..3; see TextSlot), or nullptr when it is not set.
  const char* getText(int i) const;
  // Integer i (0..3).
  int getInteger(int i) const;
  const char* what() const noexcept override;

 private:
  void copyFrom(const KelmException& other);
  void release();

  KelmErrorSeverity m_severity;
  int m_code;
  char* m_texts[kTexts];
  int m_integers[kIntegers];
};
