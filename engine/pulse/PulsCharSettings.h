// What the pulse characteristics dialog derives from its view and shows: the
// spectrogram's FFT size, overlap and window taken into the settings record,
// the warning about automatic values, the level-cursor conversions and the
// read-only field texts.
#pragma once

#include "records/VesAnaParms.h"
#include "records/VesSettings.h"

#include <cstdint>
#include <string>

class CVesSoundDoc;
struct SpectrogramSetup;

// Takes N, the overlap in samples and the window of a view's spectrogram.
void takeSpectrogramSettings(VesPulsParms& parms, const SpectrogramSetup& spectrogram);

// For a caller without a view: the FFT size, overlap and window that a new
// view of the document with the analysis settings `ana` would use (automatic
// values as computed for a view of 1000 × 600 pixels). Tells whether the size
// and the overlap were automatic.
struct PulseFftChoice {
    bool automaticSize = false;
    bool automaticOverlap = false;
};
PulseFftChoice takeDefaultSpectrogramSettings(VesPulsParms& parms, const CVesSoundDoc& doc, const VesAnaParms& ana);

// The warning shown before the dialog opens when the spectrogram's FFT size
// and/or overlap are automatic; empty when neither is.
std::string pulseFftWarning(bool automaticSize, bool automaticOverlap);

// The level cursor moved to `level` (hundredths of a percent of full scale):
// AmpThres = 1000·log10(|level| / 10000), truncated toward zero (a level of 0
// gives the lowest threshold, −1000000).
std::int32_t PulsLevelToAmpThres(std::int64_t level);
// The level the level cursor shows for AmpThres: trunc(10^(AmpThres/1000)·10000).
std::int64_t PulsAmpThresToLevel(std::int32_t ampThres);

// The read-only fields: "%d samples" ("--" below 1), "%1.0f%%" of
// overlap·100/size, and the window's name.
std::string pulsFftSizeText(int fftSize);
std::string pulsFftOverlapText(int overlap, int fftSize);
std::string pulsFftWindowText(int window);
