// Runs a filter over stored samples in place.
//
// The kernel keeps the state of every section of each channel from one call
// to the next, so a long recording filtered piece by piece gives exactly the
// samples of one pass over it (no restart from rest at piece boundaries).
// Outputs are truncated toward zero and clipped to the sample width; a value
// that is not finite stops the run.
#pragma once

#include "document/ChannelSelection.h"
#include "document/SampleCodec.h"
#include "filter/SosCascade.h"

#include <array>
#include <cstdint>
#include <vector>

class FilterKernel {
public:
    // `which`: the channels of a stereo recording that are filtered (a mono
    // recording has only its one channel).
    FilterKernel(const SosCascade& filter, const SampleLayout& layout, ChannelSel which);

    // Filters `count` whole frames at `frames` in place. False when an output
    // was not a finite number (the frames may then be partly written).
    bool process(std::uint8_t* frames, std::int64_t count);

    // Back to rest: no input or output before the next call counts.
    void reset();

    struct State {
        double s1 = 0, s2 = 0;  // transposed direct form II
    };

private:
    bool processChannel(std::uint8_t* frames, std::int64_t count, ChannelIndex channel, std::vector<State>& state);

    std::vector<Biquad> m_sections;
    SampleLayout m_layout;
    std::vector<ChannelIndex> m_channels;
    std::array<std::vector<State>, 2> m_state;
    std::vector<double> m_values;
    std::vector<std::int64_t> m_raw;
};
