// Axis arithmetic of the analysis plot: tick steps, label types and the label
// texts of the time, frequency and amplitude axes. Pure functions of numbers;
// PlotLayout places the results in twips.
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------------------
// Time axis (nanoseconds)

// The tick step for a plot of duration D: 2400 s from 12000 s up, 1200 s from
// 6000 s, ... 5 ms from 20 ms, 2 ms from 10 ms, ... 0.1 us below 1 us.
std::int64_t TimeTickStepNs(std::int64_t durationNs);

// Label types: 1 whole seconds ("%I64d"), 2 .. 6 seconds with 1 .. 5
// decimals, 7 .. 12 milliseconds with 0 .. 5 decimals, 13 .. 18 microseconds
// with 0 .. 5 decimals, 0 (or any other) seconds with 6 decimals.
//
// The type of a tick step s: 1 if s is whole seconds; 7 if 10 s, 100 s or
// 1000 s is whole; 13 if 10^4 s, 10^5 s or 10^6 s is; 14 .. 18 if 10^7 s ..
// 10^11 s is; otherwise 0.
int timeLabelTypeFor(std::int64_t stepNs);
// The type for readouts of a hundredth of the step: the unit of the step's
// type, with as many decimals (up to five) as a hundredth of the step needs.
int fineTimeLabelTypeFor(std::int64_t stepNs);

// A time in the number format of its label type (no unit).
std::string formatTimeValue(std::int64_t timeNs, int type);
// "sec" for 1 .. 6, "ms" for 7 .. 12, "µs" for 13 .. 18, "sec?" otherwise (UTF-8).
const char* timeUnitText(int type);

// The texts at the right end of the time axis when both panes are shown:
// the plot's end time with its unit, and the step per division. When the step
// text is five characters or longer, the unit and "/div" go on a line of their
// own (stepUnitLine, led by two blanks) and stepText holds the number only.
struct TimeDivisionTexts {
    std::string endText;       // e.g. "1.5 sec"
    std::string stepText;      // e.g. "0.2 sec/div", or "12000" with stepUnitLine
    std::string stepUnitLine;  // e.g. "  µs/div", or empty
};
TimeDivisionTexts makeTimeDivisionTexts(std::int64_t endNs, std::int64_t stepNs, int type);

// ---------------------------------------------------------------------------
// Frequency axis (Hz)

struct FreqAxisScale {
    double divisor = 1;          // 1, 1e3, 1e6 or 1e9
    const char* unit = "Hz";     // "Hz", "kHz", "MHz", "GHz"
    int labelDecimals = 0;       // tick labels: "%1.0f " if w > 20, "%1.1f " if w > 2, else "%1.2f "
    int readoutDecimals = 0;     // readouts: "%1.0f " if w > 200, "%1.1f " > 20, "%1.2f " > 2, else "%1.3f "
    double labelStep = 1;        // Hz
    double tickStep = 1;         // Hz

    // "50 kHz": the value in the unit, a blank and the unit.
    std::string label(double hz) const;
    std::string readout(double hz) const;
};
// The scale of the range spectMin .. spectMax (spectMax > spectMin).
FreqAxisScale makeFreqAxisScale(std::int64_t spectMin, std::int64_t spectMax);

// ---------------------------------------------------------------------------
// Amplitude axis (hundredths of a percent of full scale)

// Nice(x): c = 10^floor(log10 x + 0.0005), d = x / c (one less when odd and
// above 1); c / 10 x (10 if d > 4, 1 if d < 2, else 5); at least 1.
std::int64_t NiceAmplitudeStep(std::int64_t x);

struct AmpAxisScale {
    std::int64_t tickStep = 1;   // Nice(|AmpMax - AmpMin|)
    std::int64_t labelStep = 1;  // Nice(2 |AmpMax - AmpMin|)
    int labelDecimals = 0;       // "%3.0f%%" if labelStep >= 100, "%3.1f%%" if >= 10, else "%3.2f%%"
    int readoutDecimals = 1;     // "%1.1f %%" if the range > 1000, else "%1.2f %%"

    std::string label(std::int64_t value) const;     // e.g. " 50%"
    std::string readout(double value) const;         // e.g. "12.5 %"
};
AmpAxisScale makeAmpAxisScale(std::int64_t ampMin, std::int64_t ampMax);
