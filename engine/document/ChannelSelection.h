// Which channels an operation works on.
//
// A channel selection names the channels of an edit, a selection or a
// measurement with the numbers the recording files and settings use: 1 left,
// 2 right, 3 both. A mono document treats every selection as whole frames.
// A channel index names one channel of a frame: 0 left (or mono), 1 right.
#pragma once

enum class ChannelSel : int {
    Left = 1,
    Right = 2,
    Both = 3,
};

enum class ChannelIndex : int {
    Left = 0,  // or the only channel of a mono recording
    Right = 1,
};

// The channel selection a stored number names; anything else is both channels.
constexpr ChannelSel channelSelFromCode(int code)
{
    return code == 1 ? ChannelSel::Left : code == 2 ? ChannelSel::Right : ChannelSel::Both;
}

constexpr int channelSelCode(ChannelSel sel) { return static_cast<int>(sel); }

// The one channel that a single-channel selection reads (both: the left one).
constexpr ChannelIndex channelIndexOf(ChannelSel sel)
{
    return sel == ChannelSel::Right ? ChannelIndex::Right : ChannelIndex::Left;
}

constexpr int channelIndexValue(ChannelIndex index) { return static_cast<int>(index); }

// The channel index a number names: 0 (or less) left, anything above right.
constexpr ChannelIndex channelIndexFromValue(int value) { return value > 0 ? ChannelIndex::Right : ChannelIndex::Left; }
