// The program log: a size-limited text file in the temporary folder that the
// utility classes, readers and workers write their errors, warnings,
// information and trace lines into.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace vkit {

class LoggCls {
public:
    static constexpr std::int64_t kDefaultSizeLimit = 320000;

    LoggCls();
    ~LoggCls();
    LoggCls(const LoggCls&) = delete;
    LoggCls& operator=(const LoggCls&) = delete;

    // The log of this process: $TMPDIR/<program file name>.log, trace level
    // from "<program path>.vtrace".
    static LoggCls& instance();

    // Appends one entry: "\r\n<level> <local time>\r\n<message>\r\n".
    void writeEntry(std::string_view levelText, std::string_view message);
    void error(std::string_view message) { writeEntry("Error", message); }
    void warning(std::string_view message) { writeEntry("Warn", message); }
    void information(std::string_view message) { writeEntry("Info", message); }
    // Written only when level is below the trace level.
    void trace(int level, std::string_view message);
    // message, "\r\n", "Windows Error#<code>: " and the system's text for the code.
    void systemError(int code, std::string_view message);
    void lastSystemError(std::string_view message);  // uses errno

    void setSizeLimit(std::int64_t bytes);
    std::int64_t sizeLimit() const;
    void setTraceLevel(int level);
    int traceLevel() const;

    // Where the log goes; closes the open file. Used by tests and by hosts
    // that want the log elsewhere.
    void setPath(const std::string& path);
    std::string path() const;

    // The trace level stored in "<programPath>.vtrace" (first characters read
    // as a decimal number), 0 when there is no such file.
    static int readTraceLevelFile(const std::string& programPath);

private:
    bool openLocked();
    void closeLocked();

    mutable std::mutex m_mutex;
    std::string m_path;
    int m_fd = -1;
    std::int64_t m_sizeLimit = kDefaultSizeLimit;
    int m_traceLevel = 0;
};

// The system's text for an errno value.
std::string systemErrorText(int code);
// Path of the running program (from /proc/self/exe), empty when unknown.
std::string programPath();
// $TMPDIR or /tmp, without a trailing slash.
std::string tempFolder();

inline LoggCls& Logg() { return LoggCls::instance(); }

}  // namespace vkit
