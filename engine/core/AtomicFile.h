// Whole-file helpers and a writer that replaces a file only when everything
// was written: the data go to a temporary file in the target's folder, which
// is flushed to disk and renamed over the target on commit. A failed or
// abandoned write leaves the old file untouched and no partial file behind.
#pragma once

#include <cstdio>
#include <string>

namespace vkit {

// Reads a whole (small) file; false when it cannot be read or is larger than maxBytes.
bool readWholeFile(const std::string& path, std::string& out, std::size_t maxBytes);
// Creates a folder and its parents (mode 0755); true when it exists afterwards.
bool makeDirectories(const std::string& path);
// Writes `data` to `path` through AtomicFileWriter; on failure `error` gets the reason.
bool writeFileAtomically(const std::string& path, const std::string& data, std::string* error = nullptr);

class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();  // abandons an uncommitted file
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file beside `target`. False with error() set on failure.
    bool open(const std::string& target);
    FILE* stream() const { return m_stream; }
    const std::string& tempPath() const { return m_tempPath; }
    const std::string& target() const { return m_target; }

    // Flushes, syncs and renames over the target. False (and the temporary
    // file removed) when any write failed or the stream reports an error.
    bool commit();
    // Removes the temporary file; the target is not touched.
    void abandon();

    // The system's text for the last failure, empty when none.
    const std::string& error() const { return m_error; }

private:
    FILE* m_stream = nullptr;
    std::string m_target;
    std::string m_tempPath;
    std::string m_error;
};

}  // namespace vkit
