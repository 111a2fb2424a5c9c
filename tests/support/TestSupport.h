// Helpers shared by the tests: a temporary folder, byte fixtures, the folder
// of real recordings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vestest {

// A fresh folder under $TMPDIR, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(std::string_view name) const { return m_path + "/" + std::string(name); }

private:
    std::string m_path;
};

using Bytes = std::vector<std::uint8_t>;

// Builds byte fixtures: appends little-endian numbers and text.
class ByteWriter {
public:
    ByteWriter& tag(std::string_view fourcc);
    ByteWriter& u8(std::uint8_t v);
    ByteWriter& u16(std::uint16_t v);
    ByteWriter& u32(std::uint32_t v);
    ByteWriter& bytes(const Bytes& b);
    ByteWriter& fill(std::size_t n, std::uint8_t v);
    // A sub-chunk: id, length, payload, and a pad byte after an odd payload when asked.
    ByteWriter& chunk(std::string_view id, const Bytes& payload, bool pad = false);
    const Bytes& data() const { return m_data; }
    std::size_t size() const { return m_data.size(); }

private:
    Bytes m_data;
};

// A `fmt ` payload of 16 bytes for PCM.
Bytes pcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);
// A whole RIFF WAVE form around the given sub-chunks (already encoded).
Bytes riffWave(const Bytes& subChunks);

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);
bool fileExists(const std::string& path);

// The folder of real recordings beside the project, or "" when it is absent.
std::string sharedDataDir();
// Every *.wav / *.WAV file below the shared data folder, sorted.
std::vector<std::string> sharedRecordings();
// The inputs that once crashed the program (the shared crashes folder, its
// README aside), sorted; empty when the folder is absent.
std::vector<std::string> sharedCrashInputs();

// Switches the process to a German locale, whose decimal separator is a comma,
// for its lifetime (as a desktop program does at start-up). The locale is
// compiled into a temporary folder when the system lacks it; active() is false
// when that is impossible (tests then skip).
class DecimalCommaLocale {
public:
    DecimalCommaLocale();
    ~DecimalCommaLocale();
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;
    bool active() const { return m_active; }

private:
    bool m_active = false;
    std::string m_previous;
};

}  // namespace vestest
