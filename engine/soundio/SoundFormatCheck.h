// The checks of the Sound format dialog on OK: the questions to ask, in
// order; the dialog closes only when every one is answered Yes.
#pragma once

#include "records/SoundFormat.h"

#include <cstdint>
#include <string>
#include <vector>

struct SoundFormatChoice {
    int channels = 1;
    int bits = 16;
    std::uint32_t rateHz = 0;
};

struct SoundFormatCheck {
    std::string error;                   // not empty: shown, and the dialog stays open
    std::vector<std::string> questions;  // Yes/No, in order
};

// `deviceAccepts`: the selected output device plays the chosen format;
// `highestHz`: its highest rate (48000 when none is selected).
SoundFormatCheck checkSoundFormat(const SoundFormatChoice& choice, const SoundFormat& document, bool documentEmpty,
                                  bool deviceAccepts, std::int64_t highestHz);
