// The logic of the display settings dialogs that needs no window: the numeric
// edit's reading and writing, the read-only values of the spectrogram dialog
// and the checks made on OK and Apply. Every message is the program's fixed
// text with numbers filled in; text the user typed is only ever appended,
// never used as a format.
#pragma once

#include "records/VesAnaParms.h"

#include <cstdint>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------
// Numeric edit (CNumEdit): a 64-bit value in the field's smallest unit shown
// with `decimals` decimals (value / 10^decimals).

struct NumEditFormat {
    int decimals = 0;           // 0 .. 9
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    bool trimZeros = false;     // cut trailing zeros and a trailing separator
    bool allowEmpty = false;    // an empty field reads as "empty" without a message
};

// The time-per-plot fields: microseconds shown as milliseconds.
constexpr std::int64_t kMaxPlotSizeMicros = 36000000000LL;
inline NumEditFormat plotSizeFormat() { return {3, 1, kMaxPlotSizeMicros, true, false}; }

struct NumEditRead {
    enum class Status { Ok, Empty, IllegalCharacter, OutOfRange };
    Status status = Status::Ok;
    std::int64_t value = 0;
    std::string message;  // empty for Ok and Empty
    bool ok() const { return status == Status::Ok; }
};

// The value as the field shows it.
std::string formatNumEdit(std::int64_t value, const NumEditFormat& f);
// Reads the field's text: blanks trimmed, an optional '-', digits, an optional
// '.' or ',' and decimals (digits beyond `decimals` are cut). A value that does
// not fit in 64 bits is out of range.
NumEditRead readNumEdit(std::string_view text, const NumEditFormat& f);
// Whether typing `c` is accepted: digits; '.' and ',' with decimals; '-' when
// the range allows negative values.
bool numEditAccepts(char c, const NumEditFormat& f);
// `text` (typed or pasted) without the characters that typing would refuse.
std::string numEditFilter(std::string_view text, const NumEditFormat& f);

// ---------------------------------------------------------------------------
// Read-only values of the spectrogram dialog

// R = rate x TimeExp25 / 1000 in 64 bits; a time expansion outside 1 .. 100000
// counts as none (1000).
std::int64_t settingsEffectiveRate(std::int64_t rateHz, std::int64_t timeExp25);
// "Time between FFTs": empty when the FFT size or the overlap is automatic.
std::string timeBetweenFftsText(std::int32_t fftSize, std::int32_t overLap, std::int64_t effectiveRateHz);
// "Frequency resolution": empty when the FFT size is automatic.
std::string frequencyResolutionText(std::int32_t fftSize, std::int32_t fftWindow, std::int64_t effectiveRateHz);

// ---------------------------------------------------------------------------
// Checks on OK and Apply: the first message, or empty when the values pass.
// `parms` holds the dialog's values; R is the effective rate of the view's
// recording.

std::string checkSpectSettings(const VesAnaParms& parms, std::int64_t effectiveRateHz);
std::string checkOscSettings(const VesAnaParms& parms, bool currentView);
std::string checkFreqSettings(const VesAnaParms& parms, std::int64_t effectiveRateHz, bool currentView);

// The values that a view takes from a dialog that passed its check: SpectMax
// equal to R/2 becomes unset, then the record is repaired for R so that
// nothing the plot cannot draw reaches it.
void finishSettings(VesAnaParms& parms, std::int64_t effectiveRateHz);
