// The rows of high-speed playback: each a converted recording with its
// playback frequency and repeat count, shared with the playback worker while
// it plays (a row removed from the list meanwhile lives on until the worker
// lets it go; its temporary file goes with its last owner).
#pragma once

#include "soundio/Daq12BitConverter.h"
#include "soundio/PlayList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class IDaqCard;

struct HspPlayEntry {
    std::string path;                     // the recording's full path
    std::string name;                     // shown in the first column
    std::shared_ptr<DaqTempFile> file;    // the converted words
    std::int32_t repeat = 1;              // at least 1
    std::int16_t channels = 1;
    std::int64_t fileRateHz = 0;          // the recording's sampling frequency
    std::int64_t realTimeRateHz = 0;      // file rate x time expansion
    std::int64_t convertedBytes = 0;
    std::int64_t points = 0;              // words of every channel
    std::int64_t playbackRateHz = 0;
    std::int32_t bytesPerPoint = 2;

    // Frames / playback frequency, µs (0 without a frequency).
    std::int64_t durationUs() const;
    std::int64_t frames() const { return channels > 0 ? points / channels : 0; }
};

// The ten frequencies of the "Sampl. freq" list, as shown and in Hz.
struct HspFrequencyChoice {
    const char* text;
    std::int64_t hz;
};
const std::vector<HspFrequencyChoice>& hspFrequencyChoices();

// The text of the "Sampl. freq" field in Hz: a listed text gives its
// frequency; other text its leading integer, x 1000 when "kHz" follows it and
// x 1000000 when "MHz" does; an empty text 0 (each file's own frequency);
// -1 when the text gives no frequency above 0.
std::int64_t parseHspFrequency(std::string_view text);

// Column texts: " %d Hz" below 100000 Hz, " %d kHz" up to 99999999 Hz, then
// " %d MHz"; the duration in seconds with three decimals; " %d ".
std::string hspRateText(std::int64_t hz);
std::string hspDurationText(std::int64_t us);
std::string hspRepeatText(std::int32_t repeat);

// Whether the card can play the entry (its frequency within the card's
// range, its channels on the card's outputs): empty when it can, else the
// system's text.
std::string checkHspEntryForCard(const HspPlayEntry& entry, const IDaqCard& card);

// "Playing %s" or "Playing %s %d of %d times"; "Play of %s aborted due of
// error (NI:%d)!".
std::string hspPlayingText(const HspPlayEntry& entry, int repetition);
std::string hspAbortedText(const HspPlayEntry& entry, int status);

struct HspEntryResult {
    std::shared_ptr<HspPlayEntry> entry;  // null when the recording could not be converted
    std::string error;
    std::vector<std::string> warnings;
};

// Converts the recording at `path` into an entry with its own real-time
// frequency and one repetition; the name is the last part of the path.
HspEntryResult makeHspEntry(const std::string& path, const DaqConvertOptions& options = {});

// Sets the entry's playback frequency (0 or less: its real-time frequency)
// and repeat count (at least 1).
void setHspPlayback(HspPlayEntry& entry, std::int64_t rateHz, std::int32_t repeat);

// The list file line of an entry.
PlayListLine hspListLine(const HspPlayEntry& entry);
