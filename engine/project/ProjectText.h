// The parts of a season project read from outside text: start times from
// GUANO timestamps, detector headers and file names, site and detector from
// GUANO fields or folder levels, and the night a recording belongs to.
// Everything here takes any bytes and never throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class GuanoRecord;

// A local wall-clock time as the recording's clock gave it. Offsets to UTC
// are not applied: a night is the night at the detector's place.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int millis = 0;
    bool operator==(const LocalTime&) const = default;
};

bool validLocalTime(const LocalTime& t);

// "YYYY-MM-DDTHH:MM:SS[.fff][Z|±HH[:MM]]", a space in place of the 'T' and
// "YYYY-MM-DD HH:MM" accepted (the forms recorders write into GUANO).
std::optional<LocalTime> parseIsoTimestamp(std::string_view text);
// The first "YYYYMMDD_HHMMSS" (or '-' / 'T' between them) in a file name,
// digits not part of a longer number; the date must be a real one.
std::optional<LocalTime> parseNameTimestamp(std::string_view fileName);
// A recording record's date and time texts: "YYYY-MM-DD", "YYYYMMDD" or
// "DD.MM.YYYY", and "HH:MM[:SS]".
std::optional<LocalTime> parseHeaderTimestamp(std::string_view date, std::string_view time);
LocalTime localTimeOfEpoch(std::int64_t seconds);

// "YYYY-MM-DD HH:MM:SS.mmm".
std::string formatLocalTime(const LocalTime& t);
// The night a time belongs to: nights run from local noon to noon and are
// named by the date of their evening ("YYYY-MM-DD").
std::string nightOf(const LocalTime& t);

// Where a recording's start time came from, best first.
enum class StartSource { Guano, Header, Name, FileTime, None };
const char* startSourceName(StartSource s);

// The folder `level` levels below the root of a path relative to it (level 1:
// the first folder; the file name itself is never a level), or "" when the
// path is not that deep.
std::string folderLevel(std::string_view relativePath, int level);

// Site and detector from GUANO: "Site Name" (or "Site", "Loc Name");
// detector "Serial" (else "Model"). Values cleaned by cleanLabel.
std::string guanoSite(const GuanoRecord& guano);
std::string guanoDetector(const GuanoRecord& guano);

// A label fit to be a table's key: control characters dropped, white space
// collapsed, at most 120 bytes (cut at a character boundary).
std::string cleanLabel(std::string_view text);
