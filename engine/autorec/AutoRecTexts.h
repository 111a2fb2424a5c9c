// Texts and small conversions of automatic recording that the engine, the
// dialogs and the command line share.
#pragma once

#include "autorec/AutoRecTypes.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace autorec {

// The names of the file numberings (0..5) and mark types (0..4), by position.
const char* fileNamingName(int naming);
const char* markTypeName(int type);

// Threshold coupling of the dialogs, both in hundredths:
// percent = round(10^(-|dB|/2000) * 10000); dB = (int)(2000 * log10(percent / 10000) - 0.5).
// A percent of 10000 (from 0 dB) is given as 9999, the field's top.
std::int32_t thresholdDbToPercent(std::int32_t dbHundredths);
std::int32_t thresholdPercentToDb(std::int32_t percentHundredths);

// The level threshold the trigger compares magnitudes with:
// (int)(full scale * percent / 10000 + 0.5) / 2, full scale by sample width
// (8: 256, 16: 65535, 24: 8388607, 32: 2147483647).
std::int64_t levelThreshold(int bits, std::int32_t percentHundredths);

// A wall-clock time broken down in the local zone, with milliseconds.
struct LocalTime {
    std::tm tm{};
    int millis = 0;
};
LocalTime localTimeOf(std::int64_t unixMicros);
std::int64_t nowUnixMicros();

// The file name of a recording, without extension: `base` followed by
// Sequence "#<seq>", DateSequence "_YYYYMMDD#<seq as %02d>", DateTime
// "_YYYYMMDD_hhmmss", Time "_hhmmss", TimeMillis "_hhmmss_mmm". SingleFile
// (and a code beyond the known ones) gives `base`.
std::string recordingFileName(const std::string& base, FileNaming naming, std::int64_t sequence, const LocalTime& t);
// `name` with "." + extension appended unless it already ends in a sound
// file's extension (wav, vprd, vprdp, raw, dat, or `extension`).
std::string withExtension(const std::string& name, const std::string& extension);
// The first path not in use: `path` itself, else "<stem>(2).<ext>", "(3)"...
std::string unusedPath(const std::string& path);

// Mark texts: Sequence "#<n>", Time "hhmmss", TimeMillis "hhmmss_mmm",
// RelativeTime the stream time of the recording's first byte: "%d ms" below
// 2000 ms, "%2.2f s" below 20000 ms, "%2.1f s" below 200000 ms, "%d s" above.
// Empty for None (and a code beyond the known ones).
std::string markText(MarkType type, std::int64_t number, const LocalTime& t, std::int64_t streamMillis);
// "Recorded <date> <time>" in UTC.
std::string markComment(std::int64_t unixMicros);

// The recorded-time text of the status window from real-time microseconds:
// above 10 s "%d s recorded", above 0.5 s "%2.2f s recorded", from 10001 µs
// "%d ms recorded", up to 500 µs "%d µs recorded" (UTF-8), else "%2.2f ms recorded".
std::string recordedTimeText(std::int64_t micros);
// A free-space amount: "%d kb" up to 1024000 bytes, "%1.2f Mb", "%1.1f Mb",
// "%d Mb", "%1.2f Gb", "%1.1f Gb", "%d Gb" (Mb 2^20, Gb 2^30 bytes).
std::string diskSizeText(std::int64_t bytes);
// Free bytes of the file system holding `path` (its folder when the file
// does not exist yet), -1 when unknown. 64-bit throughout.
std::int64_t freeDiskBytes(const std::string& path);
// Space is short at the dialog's opening: together below 4194304 bytes or
// either below 2097152 (an unknown amount, -1, counts as 2147483647).
bool diskSpaceShort(std::int64_t outputFree, std::int64_t workFree);
// The status window's periodic check: stop when the output's free space is
// below the bytes still to come before the next check (rate x interval,
// twice, for safety) plus 131072, or the work folder has at most 131071 left.
bool diskSpaceLow(std::int64_t outputFree, std::int64_t workFree, std::int64_t bytesPerSecond, int intervalMs);

// Bytes of `ms` milliseconds of real time: frames = x·r·ms / 10^6 (x time
// expansion in thousandths), whole frames, 64-bit.
std::int64_t realMillisToBytes(const SoundFormat& format, std::int32_t timeExp25, std::int64_t ms);
// Real-time microseconds of `bytes` of sound.
std::int64_t bytesToRealMicros(const SoundFormat& format, std::int32_t timeExp25, std::int64_t bytes);

}  // namespace autorec
