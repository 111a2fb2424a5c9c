// From the user's choice of filter to the filter that runs: the checks of the
// cut-off frequencies, the design through kelmsp, and the sections.
//
// A designed filter keeps two forms. Its normalised difference equation goes
// into the FilterRecord (shown, written to files) exactly as the library gives
// it. The filter that runs is built from the design's poles and zeros: the
// library's low-pass prototype at half the Nyquist frequency is factored
// (well conditioned at that edge) and the frequency transformation is applied
// to each root, never to the expanded polynomials, whose rounding turns
// narrow and low filters unstable. A filter from a definition file is
// factored from its coefficients. Either is refused when a pole lies on or
// outside the unit circle or when its sections do not follow the difference
// equation within 1 dB.
#pragma once

#include "filter/FilterRecord.h"
#include "filter/SosCascade.h"

#include <cstdint>
#include <string>
#include <vector>

// The Nyquist frequency of the real (not time-expanded) signal in Hz, for a
// recording of rateHz with time expansion timeExp25 (× 1000; 0 counts as 1000).
double filterNyquistHz(std::uint32_t rateHz, std::int32_t timeExp25);

// The message of the first check that fails, or "" (order, cut-offs against
// the Nyquist frequency, band and edges).
std::string filterCheckMessage(const FilterRecord& record, double nyquistHz);

// The ripple and stopband texts of the dialog's lists: "0.2 dB" gives 2 tenths
// of a dB, "1 db" 10; "-50 dB" gives −50. False when no number is left.
bool rippleFromText(const std::string& text, std::int32_t& tenthsDb);
bool stopbandFromText(const std::string& text, std::int32_t& db);

struct FilterDesignResult {
    bool ok = false;
    std::string message;  // the message to show when not ok
    SosCascade sections;  // the filter that runs
};

// The least order of the record's design (type, band, ripple, stopband) whose
// passband ends at `passEdgesHz` and whose stopband begins at `stopEdgesHz`
// (one edge each for low and high pass, two pass edges and one or two stop
// edges for band pass and band stop), through the library's order estimate of
// the low-pass prototype; 0 when no order can meet them.
int estimateFilterOrder(const FilterRecord& record, const std::vector<double>& passEdgesHz,
                        const std::vector<double>& stopEdgesHz, double nyquistHz);

// Checks, designs (or, for a user-defined record, takes its coefficients),
// normalises the record's coefficients by A[0] and builds the sections.
FilterDesignResult designFilter(FilterRecord& record, double nyquistHz);

// The magnitude response of the sections at `points` frequencies from 0 to
// the Nyquist frequency, divided by its largest value (the peak at 1).
std::vector<double> normalisedMagnitudeResponse(const SosCascade& sections, int points);
