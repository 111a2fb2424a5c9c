// GUANO metadata: the `guan` sub-chunk of a wave file, UTF-8 text of
// "Key: value" lines. A key may carry namespaces before it, separated by '|'
// ("WA|Song Meter|Prefix"); keys without one belong to the common set (Make,
// Model, Timestamp, Length, Samplerate, TE, Species Manual ID, Note, ...).
//
// The record keeps every line in file order, unknown keys and duplicates
// included, so that writing it back loses nothing; lines that hold no key are
// kept verbatim. The first line "GUANO|Version: 1.0" is a field like any other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct GuanoField {
    std::string key;    // with its namespaces; empty for a line kept verbatim
    std::string value;  // trimmed; for a verbatim line the whole line
    bool operator==(const GuanoField&) const = default;
};

// How a record's bytes were read. GUANO is UTF-8, but a widely used analysis
// program writes notes in a legacy 8-bit code page; such a record is read as
// Windows-1252 rather than refused.
enum class GuanoEncoding { Utf8, Windows1252 };

class GuanoRecord {
public:
    static constexpr const char* kVersionKey = "GUANO|Version";
    // Lines longer than this are refused (a damaged or hostile chunk).
    static constexpr std::size_t kMaxLineBytes = 64 * 1024;

    // Parses chunk bytes (trailing NUL padding and a BOM ignored). On failure
    // returns false with a message naming the fault and leaves `out` empty:
    // a NUL byte inside, an over-long line. Bytes that are not valid UTF-8
    // are read as Windows-1252 (encoding() says so, and so does `warning`);
    // such a record gives back its original bytes from toBytes() as long as
    // its fields are unchanged. Duplicate keys are kept; `warning` names the
    // first one.
    static bool parse(const std::uint8_t* data, std::size_t size, GuanoRecord& out, std::string& error,
                      std::string* warning = nullptr);
    static bool parse(const std::vector<std::uint8_t>& bytes, GuanoRecord& out, std::string& error,
                      std::string* warning = nullptr)
    {
        return parse(bytes.data(), bytes.size(), out, error, warning);
    }

    // The chunk payload: one line per field, '\n' after each, version first
    // when the record has none; always UTF-8, except that a record read as
    // Windows-1252 and not changed since gives back the bytes it was read from.
    std::vector<std::uint8_t> toBytes() const;

    // The value of the first field with that key (exact match), or null.
    const std::string* find(std::string_view key) const;
    // Sets the first field with that key, or appends one.
    void set(std::string_view key, std::string value);
    // Removes every field with that key; true when one was there.
    bool remove(std::string_view key);
    std::optional<double> number(std::string_view key) const;

    std::vector<GuanoField>& fields() { return m_fields; }
    const std::vector<GuanoField>& fields() const { return m_fields; }
    bool empty() const { return m_fields.empty(); }
    GuanoEncoding encoding() const { return m_encoding; }

    // Updates the fields that describe a saved stretch of the recording:
    // Length (file seconds) when the length changed, Samplerate when present
    // and different, TE when different (added when not 1), Timestamp moved
    // on by `startRealSeconds` in its own notation, and Original Filename
    // added when the record has none and the context names one.
    struct SaveContext {
        double lengthSeconds = 0;
        bool lengthChanged = false;
        std::uint32_t samplerate = 0;
        double timeExpansion = 1;
        double startRealSeconds = 0;
        std::string originalFilename;
    };
    void applySave(const SaveContext& ctx);

    // The keys the program lets the user edit, in the order it shows them.
    static const std::vector<std::string>& editableKeys();

private:
    std::vector<GuanoField> m_fields;
    GuanoEncoding m_encoding = GuanoEncoding::Utf8;
    // For a record read as Windows-1252: the bytes and the fields read from them.
    std::vector<std::uint8_t> m_legacyBytes;
    std::vector<GuanoField> m_legacyFields;
};

// Windows-1252 text as UTF-8 (the five bytes that code page leaves unassigned
// become the C1 controls of the same number, as web browsers read them).
std::string windows1252ToUtf8(std::string_view text);

// A value as a person reads it and back: GUANO keeps a value on one line, so
// a multi-line note is written with "\n" for each line break (and "\\" for a
// backslash before an n).
std::string guanoValueForDisplay(std::string_view value);
std::string guanoValueFromDisplay(std::string_view text);

// The GUANO record of a recording the program makes: version, Make, Model,
// Firmware Version (the program's version), Timestamp (local time with its
// zone, "2024-06-02T22:53:40+02:00"), Samplerate, TE, Length (file seconds)
// and the sound device under "Vesperon|Device".
struct NewRecordingInfo {
    std::string make = "Vallomer";
    std::string model = "Vesperon";
    std::string version;
    std::int64_t unixSeconds = 0;
    int utcOffsetMinutes = 0;
    std::uint32_t samplerate = 0;
    double timeExpansion = 1;
    double lengthSeconds = 0;
    std::string device;
};
GuanoRecord guanoForNewRecording(const NewRecordingInfo& info);

// Shifts an ISO-8601 timestamp ("2024-06-02T22:53:40", a blank for 'T',
// fractional seconds, "Z", "+01:00" or "+0100" after it) by `seconds`, keeping
// its notation and zone. Empty when the text is not such a timestamp.
std::string shiftGuanoTimestamp(std::string_view text, double seconds);

// The time expansion factor of a Wildlife-Acoustics `wamd` chunk (tag 15),
// or 0 when it holds none.
int wamdTimeExpansion(const std::uint8_t* data, std::size_t size);
