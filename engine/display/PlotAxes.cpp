#include "display/PlotAxes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::int64_t kUs = 1000;
constexpr std::int64_t kMs = 1000 * kUs;
constexpr std::int64_t kSec = 1000 * kMs;

struct StepRow {
    std::int64_t from;  // durations from this value up use the step
    std::int64_t step;
};

constexpr std::array<StepRow, 30> kTimeSteps = {{
    {12000 * kSec, 2400 * kSec}, {6000 * kSec, 1200 * kSec}, {3000 * kSec, 600 * kSec},
    {1200 * kSec, 300 * kSec},   {600 * kSec, 120 * kSec},   {300 * kSec, 60 * kSec},
    {60 * kSec, 30 * kSec},      {30 * kSec, 10 * kSec},     {10 * kSec, 5 * kSec},
    {5 * kSec, 1 * kSec},        {2 * kSec, 500 * kMs},      {1 * kSec, 200 * kMs},
    {500 * kMs, 100 * kMs},      {200 * kMs, 50 * kMs},      {100 * kMs, 20 * kMs},
    {50 * kMs, 10 * kMs},        {20 * kMs, 5 * kMs},        {10 * kMs, 2 * kMs},
    {5 * kMs, 1 * kMs},          {2 * kMs, 500 * kUs},       {1 * kMs, 200 * kUs},
    {500 * kUs, 100 * kUs},      {200 * kUs, 50 * kUs},      {100 * kUs, 20 * kUs},
    {50 * kUs, 10 * kUs},        {20 * kUs, 5 * kUs},        {10 * kUs, 2 * kUs},
    {5 * kUs, 1 * kUs},          {2 * kUs, 500},             {1 * kUs, 200},
}};
constexpr std::int64_t kSmallestTimeStep = 100;  // below 1 us

std::string formatFixed(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%01.*f", decimals, v);
    return buf;
}

// The unit in nanoseconds and the first type of a label type's family.
bool typeFamily(int type, std::int64_t& unitNs, int& base)
{
    if (type >= 1 && type <= 6) {
        unitNs = kSec;
        base = 1;
    } else if (type >= 7 && type <= 12) {
        unitNs = kMs;
        base = 7;
    } else if (type >= 13 && type <= 18) {
        unitNs = kUs;
        base = 13;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::int64_t TimeTickStepNs(std::int64_t durationNs)
{
    for (const StepRow& row : kTimeSteps)
        if (durationNs >= row.from)
            return row.step;
    return kSmallestTimeStep;
}

int timeLabelTypeFor(std::int64_t stepNs)
{
    if (stepNs <= 0)
        return 0;
    if (stepNs % kSec == 0)
        return 1;
    if (stepNs % (100 * kMs) == 0 || stepNs % (10 * kMs) == 0 || stepNs % kMs == 0)
        return 7;
    if (stepNs % (100 * kUs) == 0 || stepNs % (10 * kUs) == 0 || stepNs % kUs == 0)
        return 13;
    if (stepNs % 100 == 0)
        return 14;
    if (stepNs % 10 == 0)
        return 15;
    return 16;  // whole nanoseconds; 17 and 18 would need fractions of one
}

int fineTimeLabelTypeFor(std::int64_t stepNs)
{
    std::int64_t unitNs = 0;
    int base = 0;
    if (!typeFamily(timeLabelTypeFor(stepNs), unitNs, base))
        return 0;
    // A hundredth of the step in the family's unit needs d decimals when
    // step x 10^d is a multiple of 100 units.
    std::int64_t scaled = stepNs;
    for (int d = 0; d <= 5; ++d, scaled *= 10)
        if (scaled % (100 * unitNs) == 0)
            return base + d;
    return base + 5;
}

std::string formatTimeValue(std::int64_t timeNs, int type)
{
    if (type == 1) {
        const long long secs = std::llround(static_cast<double>(timeNs) / kSec);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%lld", secs);
        return buf;
    }
    std::int64_t unitNs = 0;
    int base = 0;
    if (!typeFamily(type, unitNs, base))
        return formatFixed(static_cast<double>(timeNs) / kSec, 6);
    return formatFixed(static_cast<double>(timeNs) / static_cast<double>(unitNs), type - base);
}

const char* timeUnitText(int type)
{
    if (type >= 1 && type <= 6)
        return "sec";
    if (type >= 7 && type <= 12)
        return "ms";
    if (type >= 13 && type <= 18)
        return "\u00b5s";
    return "sec?";
}

TimeDivisionTexts makeTimeDivisionTexts(std::int64_t endNs, std::int64_t stepNs, int type)
{
    const std::string unit = timeUnitText(type);
    std::string end = formatTimeValue(endNs, type);
    std::string step = formatTimeValue(stepNs, type);
    const bool ownLine = step.size() >= 5;
    if (step.find('.') != std::string::npos) {
        // The two texts stand right-aligned above each other: zeros both end
        // in are blanked in both.
        for (std::size_t j = 1; j <= step.size() && j <= end.size(); ++j) {
            char& a = step[step.size() - j];
            char& b = end[end.size() - j];
            if (a != '0' || b != '0')
                break;
            a = b = ' ';
        }
    }
    TimeDivisionTexts t;
    t.endText = end + " " + unit;
    if (ownLine) {
        t.stepText = step;
        t.stepUnitLine = "  " + unit + "/div";
    } else {
        t.stepText = step + " " + unit + "/div";
    }
    return t;
}

// ---------------------------------------------------------------------------

std::string FreqAxisScale::label(double hz) const
{
    return formatFixed(hz / divisor, labelDecimals) + " " + unit;
}

std::string FreqAxisScale::readout(double hz) const
{
    return formatFixed(hz / divisor, readoutDecimals) + " " + unit;
}

FreqAxisScale makeFreqAxisScale(std::int64_t spectMin, std::int64_t spectMax)
{
    FreqAxisScale s;
    const double width = std::max<double>(1.0, static_cast<double>(spectMax - spectMin));
    if (width > 2e9) {
        s.divisor = 1e9;
        s.unit = "GHz";
    } else if (width > 2e6) {
        s.divisor = 1e6;
        s.unit = "MHz";
    } else if (width > 2000) {
        s.divisor = 1e3;
        s.unit = "kHz";
    }
    const double w = width / s.divisor;
    s.labelDecimals = w > 20 ? 0 : w > 2 ? 1 : 2;
    s.readoutDecimals = w > 200 ? 0 : w > 20 ? 1 : w > 2 ? 2 : 3;

    const double u = std::pow(10.0, std::floor(std::log10(width) + 0.0005));
    long long k = static_cast<long long>(width / u);
    if (k % 2 == 1 && k >= 3)
        --k;
    // A width just below a power of ten rounds the power up; one unit still
    // makes a step.
    if (k < 1)
        k = 1;
    s.labelStep = u * static_cast<double>(k) / 2.0;
    s.tickStep = std::max(u, 10.0) / 10.0 * (k >= 5 ? 10.0 : k < 2 ? 1.0 : 5.0);
    return s;
}

// ---------------------------------------------------------------------------

std::int64_t NiceAmplitudeStep(std::int64_t x)
{
    if (x < 1)
        return 1;
    std::int64_t c = 1;
    const int p = static_cast<int>(std::floor(std::log10(static_cast<double>(x)) + 0.0005));
    for (int i = 0; i < p; ++i)
        c *= 10;
    std::int64_t d = x / c;
    if (d % 2 == 1 && d > 1)
        --d;
    const std::int64_t r = c / 10 * (d > 4 ? 10 : d < 2 ? 1 : 5);
    return std::max<std::int64_t>(r, 1);
}

std::string AmpAxisScale::label(std::int64_t value) const
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%3.*f%%", labelDecimals, static_cast<double>(value) / 100.0);
    return buf;
}

std::string AmpAxisScale::readout(double value) const
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%1.*f %%", readoutDecimals, value / 100.0);
    return buf;
}

AmpAxisScale makeAmpAxisScale(std::int64_t ampMin, std::int64_t ampMax)
{
    AmpAxisScale s;
    const std::int64_t range = ampMax > ampMin ? ampMax - ampMin : ampMin - ampMax;
    s.tickStep = NiceAmplitudeStep(range);
    s.labelStep = NiceAmplitudeStep(2 * range);
    s.labelDecimals = s.labelStep >= 100 ? 0 : s.labelStep >= 10 ? 1 : 2;
    s.readoutDecimals = ampMax - ampMin > 1000 ? 1 : 2;
    return s;
}
