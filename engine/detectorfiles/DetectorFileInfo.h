// What the file management of detector recordings knows about one file: the
// header test on its first 288 bytes (a 44-byte wave header followed by the
// detector header of up to 244 bytes), the header texts, and the recorded
// date and the date part of a new name made from the file time text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct DetectorFileInfo {
    static constexpr std::size_t kWaveHeaderSize = 44;
    static constexpr std::size_t kDetectorHeaderSize = 244;
    static constexpr std::size_t kExaminedSize = kWaveHeaderSize + kDetectorHeaderSize;  // 288

    std::string path;              // the full path of the file
    bool isDetectorFile = false;   // the header test passed and the detector file name is not empty
    std::string detectorFileName;  // header offset 164, 16 bytes
    std::string fileTime;          // header offset 180, 16 bytes
    std::string positionA;         // header offset 132, 32 bytes ("GPS Latitude" column)
    std::string positionB;         // header offset 100, 32 bytes ("GPS Longitude" column)
    std::string firmware;          // header offset 196, 48 bytes
    std::string recordedDate;      // from the file time
    // The file time exactly as stored (up to its first zero byte): the
    // renaming rule works on it; the texts above are made readable.
    std::string rawFileTime;
    std::uint32_t headerLength = 0;  // the header length in effect (176 may count as 244)
    // Why the file is not a detector recording ("" when it is one).
    std::string skipReason;

    // The file's name without its folder.
    std::string fileName() const;
};

// The header test on the first bytes of a file (fewer than 288 are zero-
// filled). Fills every field but `path`; a file that fails gets empty texts
// and the reason.
DetectorFileInfo examineDetectorHeader(const std::uint8_t* bytes, std::size_t size);

// Reads the first 288 bytes of `path` (never more, never writing) and runs the
// header test. A file that cannot be opened or is not a regular file is not
// a detector file, with the system's reason.
DetectorFileInfo readDetectorFileInfo(const std::string& path);

// The recorded date shown for a file time text ("YYMMDDhhmmss" gives
// "20YY-MM-DD hh:mm:ss", "YYMMDD hh:mm:ss" the same).
std::string detectorRecordedDate(const std::string& fileTime);

// The date part put before the name of a copy ("YYMMDDhhmmss" gives
// "20YY-MM-DD_hh_mm_ss_"). Made of letters, digits and "-_.+" only: any
// other byte of the header becomes "_".
std::string detectorDatePart(const std::string& fileTime);

// Header bytes as readable UTF-8 text: valid UTF-8 stays, other bytes are
// taken as Latin-1; control characters become "?".
std::string detectorDisplayText(const std::string& bytes);
