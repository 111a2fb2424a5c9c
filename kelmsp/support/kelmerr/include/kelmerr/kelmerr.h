// kelmerr: the error stack and messages of the kelmsp library.
//
// Every exported routine pushes its signature text on entry (kelm_e1psh) and
// pops it before returning (kelm_e1pop). A failed check fills the parameter
// block of the next message (kelm_error_param_ptr or the kelm_e1st* helpers)
// and reports kelm_ermes(severity, code). The caller reads the severity and
// code of the last message with kelm_n1rty(0) / kelm_n1rcd(0).
//
// The routine stack, the parameter block and the last message are per thread:
// two threads never see each other's errors. Entering an outermost routine
// (stack depth 0 -> 1) clears the thread's last message, so after a call the
// last message belongs to that call. The print and stop switches are
// process-wide.
#pragma once

#include <kelmerr/kelm_api.h>

enum KelmErrorSeverity {
  KELM_NO_ERROR = 0,
  KELM_NOTE = 1,
  KELM_ALERT = 2,
  KELM_WARNING = 3,
  KELM_FATAL = 4,
  KELM_TERMINAL = 5
};

inline constexpr int kKelmErrorIntSlots = 4;
inline constexpr int kKelmErrorRealSlots = 2;
inline constexpr int kKelmErrorTextSlots = 2;
inline constexpr int kKelmErrorTextLength = 64;

// Parameters of the next message. Texts are NUL-terminated and cut to fit.
struct KelmErrorParams {
  int i[kKelmErrorIntSlots];
  double r[kKelmErrorRealSlots];
  char l[kKelmErrorTextSlots][kKelmErrorTextLength];
};

// One reported message.
struct KelmErrorRecord {
  int severity;           // KelmErrorSeverity, 0 when there is none
  int code;               // 0 when there is none
  char routine[256];      // routine on top of the stack when reported ("" at top level)
  char message[512];      // the composed message text
  KelmErrorParams params; // the parameters it was reported with
};

// Routine stack.
KELM_API void kelm_e1psh(const char* routine);
KELM_API void kelm_e1pop(const char* routine);
KELM_API int kelm_e1lev();  // current depth of this thread's stack

// Message parameters (slots are 1-based in the helpers).
KELM_API KelmErrorParams* kelm_error_param_ptr();
KELM_API void kelm_e1sti(int slot, int value);
KELM_API void kelm_e1str(int slot, double value);
KELM_API void kelm_e1stl(int slot, const char* text);

// Report: composes the message, records it as the thread's last message,
// prints it when the print switch of its severity is on and stops when the
// stop switch is on. Resets the parameter block afterwards.
KELM_API void kelm_ermes(int severity, int code);

// Severity type and code of this thread's last message (0 when none).
// Only level 0 (the most recent message) is kept; other values read the same.
KELM_API int kelm_n1rty(int level);
KELM_API int kelm_n1rcd(int level);
// Full record of the last message, or nullptr when there is none.
KELM_API const KelmErrorRecord* kelm_error_last();
// Forget this thread's last message.
KELM_API void kelm_error_clear();

// Print and stop switches per severity 1..5 (severity 0 sets all five).
// print/stop: 1 on, 0 off, any other value leaves the switch unchanged.
// Defaults: printing on for severities 3 to 5, stopping off everywhere.
KELM_API void kelm_erset(int severity, int print, int stop);
KELM_API int kelm_erprint(int severity);
KELM_API int kelm_erstop(int severity);

// Where printed messages go. nullptr restores the default (standard error).
using KelmErrorSink = void (*)(const KelmErrorRecord& record, const char* line, void* user);
KELM_API void kelm_set_error_sink(KelmErrorSink sink, void* user);

// What "stop" does. nullptr restores the default, which aborts the process;
// the kelmsp library installs a handler that throws KelmException.
using KelmStopHandler = void (*)(const KelmErrorRecord& record);
KELM_API void kelm_set_stop_handler(KelmStopHandler handler);

// The message template of a code (placeholders %(i1)..%(i4), %(r1), %(r2),
// %(l1), %(l2)), or nullptr for an unknown code.
KELM_API const char* kelm_error_template(int code);
// Name of a severity ("NOTE", "ALERT", "WARNING", "FATAL", "TERMINAL").
KELM_API const char* kelm_severity_name(int severity);
