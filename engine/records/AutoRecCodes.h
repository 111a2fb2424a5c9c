// The codes the automatic recording settings store (VesAutoRecParms), as
// their numbers in the settings file. The recording engine and its dialogs
// use them by name only.
#pragma once

#include <cstdint>

namespace autorec {

// What starts a recording (Trigger).
enum class TriggerType : std::int32_t { Level = 0, Spectrum = 1, External = 2, Continuous = 9 };

// How the recordings are named (FileSwitch): all into one file, or one file
// per recording named by sequence number, date and time.
enum class FileNaming : std::int32_t {
    SingleFile = 0,
    Sequence = 1,
    DateSequence = 2,
    DateTime = 3,
    Time = 4,
    TimeMillis = 5,
};

// The mark set at the start of each recording (FileMarks).
enum class MarkType : std::int32_t { None = 0, Sequence = 1, Time = 2, TimeMillis = 3, RelativeTime = 4 };

// The channels whose sound triggers (TrigChans).
enum class TriggerChannels : std::int32_t { Both = 0, Left = 1, Right = 2 };

// One file per recording: every naming but the single file (a stored code
// below the known ones counts as the single file, one beyond them as the last).
constexpr bool isPerFile(FileNaming n)
{
    return n >= FileNaming::Sequence;
}

// Whether sound of channel `channel` (0 = left) triggers: Left and Right are
// the channels' numbers counted from 1.
constexpr bool channelTriggers(TriggerChannels chans, int channel)
{
    return chans == TriggerChannels::Both || static_cast<int>(chans) == channel + 1;
}

}  // namespace autorec
