#include "soundio/SoundFormatCheck.h"

SoundFormatCheck checkSoundFormat(const SoundFormatChoice& c, const SoundFormat& doc, bool documentEmpty,
                                  bool deviceAccepts, std::int64_t highestHz)
{
    SoundFormatCheck r;
    if (c.rateHz == 0) {
        r.error = "Unknown sampling frequency!";
        return r;
    }
    if (!deviceAccepts)
        r.questions.push_back("This format (sampling frequency, sampling resolution and number of channels) is not "
                              "supported by the selected sound device. Continue?");
    else if (c.rateHz < 8000 || static_cast<std::int64_t>(c.rateHz) > highestHz)
        r.questions.push_back("The selected sampling frequency may not be supported by your computer! Continue?");
    if (c.bits > 16)
        r.questions.push_back("The selected sampling resolution of " + std::to_string(c.bits) +
                              " bits may not be supported by your computer! Continue?");
    if (!documentEmpty) {
        if (c.rateHz != doc.samplesPerSec)
            r.questions.push_back("Sampling frequency in existing file will be changed. Continue?");
        if (c.channels != doc.channels)
            r.questions.push_back("Number of channels in existing file will be changed. Continue?");
        if (c.bits != doc.bitsPerSample)
            r.questions.push_back("Number of bits per sample in existing file will be changed. Continue?");
    }
    return r;
}
