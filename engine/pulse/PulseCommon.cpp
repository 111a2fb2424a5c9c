#include "pulse/PulseCommon.h"

#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

__extension__ typedef __int128 Int128;

inline std::int64_t le16(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

inline std::int64_t le24(const std::uint8_t* p)
{
    // Sign-extended through the top byte of a 32-bit value.
    const auto u = (static_cast<std::uint32_t>(p[0]) << 8) | (static_cast<std::uint32_t>(p[1]) << 16) |
                   (static_cast<std::uint32_t>(p[2]) << 24);
    return static_cast<std::int32_t>(u) >> 8;
}

inline std::int64_t le32(const std::uint8_t* p)
{
    const auto u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                   (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(u);
}

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
    // n·10^9 overflows 64 bits past about 9.2·10^9 frames: split the product.
    const std::int64_t whole = frames / rateHz;
    const std::int64_t rest = frames % rateHz;
    return (whole * 1000000000LL + rest * 1000000000LL / rateHz) / timeExp25;
}

std::int64_t PulseClock::microsToFrames(std::int64_t micros) const
{
    const Int128 v = static_cast<Int128>(timeExp25) * rateHz * micros / 1000000 / 1000;
    return static_cast<std::int64_t>(v);
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

std::int64_t NativeFullScale(int bitsPerSample)
{
    switch (bitsPerSample) {
    case 8: return 128;
    case 24: return 8388608;
    case 32: return 2147483648LL;
    default: return 32768;
    }
}

AmplitudeReader::AmplitudeReader(CVesSoundDoc& doc, int channel, AmplitudeScale scale)
    : m_doc(doc), m_format(doc.format()), m_length(doc.lengthFrames()),
      m_channel(doc.format().channels > 1 && channel > 0 ? 1 : 0), m_scale(scale)
{
}

std::int64_t AmplitudeReader::read(std::int64_t first, std::int64_t max, std::int64_t* out)
{
    const int align = m_format.blockAlign;
    const int bytes = m_format.bitsPerSample / 8;
    if (align <= 0 || bytes <= 0 || first < 0 || max <= 0 || first >= m_length)
        return 0;
    const std::int64_t count = std::min(max, m_length - first);
    const bool units16 = m_scale == AmplitudeScale::Units16;
    std::int64_t done = 0;
    while (done < count) {
        const std::int64_t pos = (first + done) * align;
        FileViewRef v = m_doc.samples().readView(pos, pos + align);
        if (!v)
            break;
        const std::int64_t n = std::min(count - done, v.available() / align);
        if (n <= 0)
            break;
        const auto* p = reinterpret_cast<const std::uint8_t*>(v.data()) + m_channel * bytes;
        std::int64_t* o = out + done;
        switch (bytes) {
        case 1:
            for (std::int64_t i = 0; i < n; ++i, p += align)
                o[i] = std::abs(static_cast<std::int64_t>(p[0]) - 128) * (units16 ? 256 : 1);
            break;
        case 2:
            for (std::int64_t i = 0; i < n; ++i, p += align)
                o[i] = std::abs(le16(p));
            break;
        case 3:
            for (std::int64_t i = 0; i < n; ++i, p += align)
                o[i] = units16 ? std::abs(le24(p)) / 256 : std::abs(le24(p));
            break;
        default:
            for (std::int64_t i = 0; i < n; ++i, p += align)
                o[i] = units16 ? std::abs(le32(p)) / 65536 : std::abs(le32(p));
            break;
        }
        done += n;
    }
    return done;
}
