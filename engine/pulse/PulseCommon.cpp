#include "pulse/PulseCommon.h"

#include "core/TimeConv.h"

#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {


}  // namespace

PulseClock PulseClock::of(const CVesSoundDoc& doc)
{
    PulseClock c;
    c.rateHz = doc.format().samplesPerSec > 0 ? doc.format().samplesPerSec : 1;
    c.timeExp25 = doc.timeExpansion() > 0 ? doc.timeExpansion() : 1000;
    return c;
}

std::int64_t PulseClock::framesToMicros(std::int64_t frames) const
{
    return vkit::framesToRealMicros(frames, rateHz, timeExp25);
}

std::int64_t PulseClock::microsToFrames(std::int64_t micros) const
{
    return vkit::realMicrosToFrames(micros, rateHz, timeExp25);
}

std::int64_t NiceStep(std::int64_t x)
{
    if (x <= 0)
        return 1;
    const int e = static_cast<int>(std::floor(std::log10(static_cast<double>(x)) + 0.0005));
    const auto p = static_cast<std::int64_t>(std::pow(10.0, e) + 0.25);
    if (p <= 0)
        return 1;
    std::int64_t d = x / p;
    if (d > 1 && d % 2 == 1)
        --d;
    const std::int64_t factor = d < 2 ? 1 : (d <= 4 ? 5 : 10);
    return std::max<std::int64_t>(1, p / 10 * factor);
}

AmplitudeReader::AmplitudeReader(CVesSoundDoc& doc, ChannelIndex channel, AmplitudeScale scale)
    : m_reader(doc, channel, scale == AmplitudeScale::Units16 ? SampleScale::Units16 : SampleScale::Raw),
      m_format(doc.format())
{
}

std::int64_t AmplitudeReader::read(std::int64_t first, std::int64_t max, std::int64_t* out)
{
    return m_reader.decodeMagnitudes(first, max, out);
}
