// The error stack, message parameters, last message and switches.
#include <kelmerr/kelmerr.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct ThreadState {
  std::vector<std::string> stack;
  KelmErrorParams params{};
  KelmErrorRecord last{};
  bool hasLast = false;
};

ThreadState& state() {
  thread_local ThreadState s;
  return s;
}

bool validSeverity(int severity) { return severity >= KELM_NOTE && severity <= KELM_TERMINAL; }

// Index 0 unused. Printing defaults on for warnings and worse.
std::atomic<int> gPrint[6] = {0, 0, 0, 1, 1, 1};
std::atomic<int> gStop[6] = {0, 0, 0, 0, 0, 0};

std::mutex gHookMutex;
KelmErrorSink gSink = nullptr;
void* gSinkUser = nullptr;
KelmStopHandler gStopHandler = nullptr;

void copyText(char* dst, std::size_t size, const char* src) {
  if (size == 0) return;
  if (!src) src = "";
  std::size_t n = std::strlen(src);
  if (n >= size) n = size - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

std::string formatReal(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// Replaces the placeholders of a message template by the parameters.
std::string compose(const char* tmpl, const KelmErrorParams& p) {
  std::string out;
  for (const char* c = tmpl; *c; ++c) {
    if (c[0] == '%' && c[1] == '(' && c[2] && c[3] && c[4] == ')') {
      const char kind = c[2];
      const int slot = c[3] - '1';
      bool done = true;
      if (kind == 'i' && slot >= 0 && slot < kKelmErrorIntSlots) {
        out += std::to_string(p.i[slot]);
      } else if (kind == 'r' && slot >= 0 && slot < kKelmErrorRealSlots) {
        out += formatReal(p.r[slot]);
      } else if (kind == 'l' && slot >= 0 && slot < kKelmErrorTextSlots) {
        out += p.l[slot][0] ? p.l[slot] : "the argument";
      } else {
        done = false;
      }
      if (done) {
        c += 4;
        continue;
      }
    }
    out += *c;
  }
  if (out.compare(0, 12, "the argument") == 0) out[0] = 'T';
  return out;
}

void defaultSink(const KelmErrorRecord&, const char* line, void*) { std::fprintf(stderr, "%s\n", line); }

[[noreturn]] void defaultStop(const KelmErrorRecord&) { std::abort(); }

}  // namespace

void kelm_e1psh(const char* routine) {
  ThreadState& s = state();
  if (s.stack.empty()) {
    s.hasLast = false;
    s.last = KelmErrorRecord{};
  }
  s.stack.emplace_back(routine ? routine : "");
}

void kelm_e1pop(const char* routine) {
  ThreadState& s = state();
  if (s.stack.empty()) return;
  const std::string name = routine ? routine : "";
  // Normally the top entry; if an inner routine failed to pop, unwind to the match.
  for (std::size_t i = s.stack.size(); i-- > 0;) {
    if (s.stack[i] == name) {
      s.stack.resize(i);
      return;
    }
  }
  s.stack.pop_back();
}

int kelm_e1lev() { return static_cast<int>(state().stack.size()); }

KelmErrorParams* kelm_error_param_ptr() { return &state().params; }

void kelm_e1sti(int slot, int value) {
  if (slot >= 1 && slot <= kKelmErrorIntSlots) state().params.i[slot - 1] = value;
}

void kelm_e1str(int slot, double value) {
  if (slot >= 1 && slot <= kKelmErrorRealSlots) state().params.r[slot - 1] = value;
}

void kelm_e1stl(int slot, const char* text) {
  if (slot >= 1 && slot <= kKelmErrorTextSlots) copyText(state().params.l[slot - 1], kKelmErrorTextLength, text);
}

void kelm_ermes(int severity, int code) {
  ThreadState& s = state();
  if (!validSeverity(severity)) severity = KELM_TERMINAL;
  KelmErrorParams& p = s.params;
  for (auto& text : p.l) text[kKelmErrorTextLength - 1] = '\0';

  KelmErrorRecord rec{};
  rec.severity = severity;
  rec.code = code;
  copyText(rec.routine, sizeof rec.routine, s.stack.empty() ? "" : s.stack.back().c_str());
  const char* tmpl = kelm_error_template(code);
  const std::string msg = tmpl ? compose(tmpl, p) : std::string("Unknown error code.");
  copyText(rec.message, sizeof rec.message, msg.c_str());
  rec.params = p;
  s.last = rec;
  s.hasLast = true;
  s.params = KelmErrorParams{};

  const bool print = gPrint[severity].load(std::memory_order_relaxed) != 0;
  const bool stop = gStop[severity].load(std::memory_order_relaxed) != 0;
  if (!print && !stop) return;

  KelmErrorSink sink;
  void* user;
  KelmStopHandler stopHandler;
  {
    std::lock_guard<std::mutex> lock(gHookMutex);
    sink = gSink ? gSink : defaultSink;
    user = gSinkUser;
    stopHandler = gStopHandler ? gStopHandler : defaultStop;
  }
  if (print) {
    std::string line = "*** ";
    line += kelm_severity_name(severity);
    line += " ERROR ";
    line += std::to_string(code);
    if (rec.routine[0]) {
      line += " from ";
      line += rec.routine;
    }
    line += ": ";
    line += rec.message;
    sink(rec, line.c_str(), user);
  }
  if (stop) stopHandler(rec);
}

int kelm_n1rty(int) {
  const ThreadState& s = state();
  return s.hasLast ? s.last.severity : 0;
}

int kelm_n1rcd(int) {
  const ThreadState& s = state();
  return s.hasLast ? s.last.code : 0;
}

const KelmErrorRecord* kelm_error_last() {
  const ThreadState& s = state();
  return s.hasLast ? &s.last : nullptr;
}

void kelm_error_clear() {
  ThreadState& s = state();
  s.hasLast = false;
  s.last = KelmErrorRecord{};
}

void kelm_erset(int severity, int print, int stop) {
  const int first = severity == 0 ? KELM_NOTE : severity;
  const int last = severity == 0 ? KELM_TERMINAL : severity;
  if (!validSeverity(first) || !validSeverity(last)) return;
  for (int sv = first; sv <= last; ++sv) {
    if (print == 0 || print == 1) gPrint[sv].store(print);
    if (stop == 0 || stop == 1) gStop[sv].store(stop);
  }
}

int kelm_erprint(int severity) { return validSeverity(severity) ? gPrint[severity].load() : 0; }

int kelm_erstop(int severity) { return validSeverity(severity) ? gStop[severity].load() : 0; }

void kelm_set_error_sink(KelmErrorSink sink, void* user) {
  std::lock_guard<std::mutex> lock(gHookMutex);
  gSink = sink;
  gSinkUser = user;
}

void kelm_set_stop_handler(KelmStopHandler handler) {
  std::lock_guard<std::mutex> lock(gHookMutex);
  gStopHandler = handler;
}
