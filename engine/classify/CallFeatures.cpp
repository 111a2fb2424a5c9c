#include "classify/CallFeatures.h"

#include <cmath>
#include <limits>

namespace classify {

namespace {

constexpr std::array<FeatureDef, kFeatureCount> kTable = {{
    {"duration", "ms", "call duration"},
    {"max_freq", "kHz", "highest frequency of the contour"},
    {"min_freq", "kHz", "lowest frequency of the contour"},
    {"peak_freq", "kHz", "frequency of the strongest point"},
    {"bandwidth", "kHz", "max freq - min freq"},
    {"slope", "kHz/ms", "mean slope, positive sweeping down"},
    {"fc", "kHz", "characteristic frequency Fc"},
    {"tc", "%", "time of Fc in percent of the duration"},
    {"sc", "OPS", "characteristic slope Sc"},
    {"s1", "OPS", "initial slope S1"},
    {"fk", "kHz", "knee frequency Fk"},
    {"tk", "%", "time of the knee in percent of the duration"},
    {"fmean", "kHz", "time-weighted mean frequency of the contour"},
    {"qual", "%", "contour smoothness Qual"},
    {"snr", "dB", "strongest point above the noise"},
    {"interval", "ms", "time from the start of the call before (missing for the first)"},
    {"prominence", "dB", "contour above the median level of its band"},
    {"peak_position", "1", "peak frequency within the swept band, 0 low to 1 high"},
    {"span_octaves", "oct", "log2(max freq / min freq)"},
    {"harmonics_up", "1", "box top over contour top (2, 3: upper harmonics reach the edge level)"},
    {"harmonics_down", "1", "contour bottom over box bottom (above 1: a lower harmonic is present)"},
}};

float ratio(double a, double b)
{
    return b > 0 && a > 0 ? static_cast<float>(a / b) : std::numeric_limits<float>::quiet_NaN();
}

}  // namespace

const std::array<FeatureDef, kFeatureCount>& featureTable()
{
    return kTable;
}

void callFeatures(const CallMeasures& c, float* out)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto k = [](double hz) { return static_cast<float>(hz / 1000.0); };
    const double dur = c.durationMs > 0 ? c.durationMs : 0;
    std::size_t i = 0;
    out[i++] = static_cast<float>(c.durationMs);
    out[i++] = k(c.maxFreqHz);
    out[i++] = k(c.minFreqHz);
    out[i++] = k(c.peakFreqHz);
    out[i++] = k(c.bandwidthHz);
    out[i++] = static_cast<float>(c.slopeKHzPerMs);
    out[i++] = k(c.charFreqHz);
    out[i++] = dur > 0 ? static_cast<float>(100.0 * c.charTimeMs / dur) : nan;
    out[i++] = static_cast<float>(c.charSlopeOps);
    out[i++] = static_cast<float>(c.initialSlopeOps);
    out[i++] = k(c.kneeFreqHz);
    out[i++] = dur > 0 ? static_cast<float>(100.0 * c.kneeTimeMs / dur) : nan;
    out[i++] = k(c.meanFreqHz);
    out[i++] = static_cast<float>(c.qualityPct);
    out[i++] = static_cast<float>(c.snrDb);
    out[i++] = c.intervalMs >= 0 ? static_cast<float>(c.intervalMs) : nan;
    out[i++] = static_cast<float>(c.prominenceDb);
    out[i++] = c.bandwidthHz > 0 ? static_cast<float>((c.peakFreqHz - c.minFreqHz) / c.bandwidthHz) : 0.5f;
    out[i++] = c.minFreqHz > 0 && c.maxFreqHz > 0 ? static_cast<float>(std::log2(c.maxFreqHz / c.minFreqHz)) : nan;
    out[i++] = ratio(c.highFreqHz, c.maxFreqHz);
    out[i++] = ratio(c.minFreqHz, c.lowFreqHz);
    // Non-finite measurements (a damaged project) count as missing.
    for (std::size_t j = 0; j < kFeatureCount; ++j)
        if (!std::isfinite(out[j]))
            out[j] = nan;
}

std::string featureTableText()
{
    std::string out;
    for (const FeatureDef& f : kTable)
        out += std::string(f.name) + " " + f.unit + "\n";
    return out;
}

}  // namespace classify
