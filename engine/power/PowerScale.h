// The scales, labels, read-outs and text export of the power spectrum window.
#pragma once

#include "power/PowerCalc.h"
#include "records/VesSettings.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct PowerFrequencyRange {
    double minHz = 0;
    double maxHz = 0;
};

// The settings' range unless it is unusable (maximum ≤ 0, negative minimum,
// maximum above R/2 or below the minimum): then 0 … R/2.
PowerFrequencyRange powerFrequencyRange(const VesPowerParms& parms, double rateHz);

struct PowerTick {
    double value = 0;  // Hz, or dB / V² on the level axis
    bool labelled = false;
    std::string label;
};

// Labelled ticks at the label step above the minimum, minor ticks between.
std::vector<PowerTick> powerFrequencyTicks(const PowerFrequencyRange& range);
// Level axis ticks of the logarithmic (dB) or linear (V²) scale.
std::vector<PowerTick> powerLevelTicks(const VesPowerParms& parms);
// printf formats: the level ("%2.1f" … "%2.4f") and the frequency read-out in kHz.
const char* powerLevelFormat(const VesPowerParms& parms);
const char* powerFrequencyFormat(const PowerFrequencyRange& range);

// The level of a power on the window's scale: 10·log10(P) dB or P itself.
double powerLevel(double power, bool logScale);

// "Power spectrum, FFT size 1024, Hanning window. - Left channel." and the like.
std::string powerWindowTitle(int fftSize, int window, int channels, ChannelIndex channel);
// The analysed range at the right of the status line ("%2.1f - %2.1f s" …).
std::string powerTimeRangeText(std::int64_t startMicros, std::int64_t endMicros);
// Read-outs: after a click, while moving, and relative to a set cursor.
std::string powerClickReadout(double freqHz, double level, const VesPowerParms& parms, const PowerFrequencyRange& range);
std::string powerMoveReadout(double freqHz, double level, const VesPowerParms& parms, const PowerFrequencyRange& range,
                             bool cursorSet, double cursorFreqHz, double cursorLevel);

// The text export: "kHz\tdB\r\n" (or "kHz\tV²\r\n") and one line per bin
// 0 … N/2 − 1, "%1.3f\t%1.3f\r\n". A bin with zero power has no level in dB:
// the logarithmic export writes "-inf" for it.
std::string powerExportText(const PowerResult& result, bool logScale);
// Writes the export; false with `error` set to "Error when exporting data to file: " + the system's text.
bool writePowerExport(const PowerResult& result, bool logScale, std::FILE* out, std::string& error);

// The settings dialog's checks, in order; empty when the values are accepted.
std::string validatePowerSettings(double minLevel, double maxLevel, bool logScale, std::int64_t minFreq,
                                  std::int64_t maxFreq, double rateHz);
// N for an automatic FFT size from the plot width in device pixels.
int powerAutoFftSize(int plotWidthPixels);
