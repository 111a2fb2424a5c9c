#include "display/DisplaySettings.h"

#include "core/NumberText.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::int64_t pow10(int d)
{
    std::int64_t p = 1;
    for (int i = 0; i < d; ++i)
        p *= 10;
    return p;
}

std::string trimBlanks(std::string_view t)
{
    std::size_t b = 0, e = t.size();
    while (b < e && (t[b] == ' ' || t[b] == '\t'))
        ++b;
    while (e > b && (t[e - 1] == ' ' || t[e - 1] == '\t'))
        --e;
    return std::string(t.substr(b, e - b));
}

}  // namespace

std::string formatNumEdit(std::int64_t value, const NumEditFormat& f)
{
    const int d = std::clamp(f.decimals, 0, 9);
    const std::int64_t scale = pow10(d);
    // Whole and fractional parts in unsigned arithmetic, so that the smallest
    // 64-bit value shows too.
    const bool negative = value < 0;
    const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string text = (negative ? "-" : "") + std::to_string(mag / static_cast<std::uint64_t>(scale));
    if (d > 0) {
        std::string frac = std::to_string(mag % static_cast<std::uint64_t>(scale));
        frac.insert(0, static_cast<std::size_t>(d) - frac.size(), '0');
        if (f.trimZeros)
            while (!frac.empty() && frac.back() == '0')
                frac.pop_back();
        if (!frac.empty())
            text += "." + frac;
    }
    return text;
}

NumEditRead readNumEdit(std::string_view raw, const NumEditFormat& f)
{
    NumEditRead r;
    const std::string text = trimBlanks(raw);
    const int d = std::clamp(f.decimals, 0, 9);
    auto illegal = [&] {
        r.status = NumEditRead::Status::IllegalCharacter;
        r.message = "Illegal character in numeric '" + std::string(raw) + "'.";
        return r;
    };
    auto outOfRange = [&] {
        r.status = NumEditRead::Status::OutOfRange;
        r.message = "Numeric '" + std::string(raw) + "' out of range (" + formatNumEdit(f.minimum, f) + " - " +
                    formatNumEdit(f.maximum, f) + ").";
        return r;
    };
    if (text.empty()) {
        if (f.allowEmpty) {
            r.status = NumEditRead::Status::Empty;
            return r;
        }
        return illegal();
    }
    std::size_t i = 0;
    const bool negative = text[0] == '-';
    if (negative)
        ++i;
    // The magnitude in units of 10^-d: a text of any length is checked
    // against 64 bits (2^63 at most) before the range.
    constexpr std::uint64_t kMaxMagnitude = std::uint64_t{1} << 63;
    std::uint64_t units = 0;
    bool overflow = false;
    bool digits = false;
    auto addDigit = [&](char c) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (overflow || units > (kMaxMagnitude - digit) / 10)
            overflow = true;
        else
            units = units * 10 + digit;
    };
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        addDigit(text[i]);
        digits = true;
    }
    int decimalsRead = 0;
    if (i < text.size() && (text[i] == '.' || text[i] == ',') && d > 0) {
        ++i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            digits = true;
            if (decimalsRead < d) {
                addDigit(text[i]);
                ++decimalsRead;
            }
        }
    }
    if (i != text.size() || !digits)
        return illegal();
    for (; decimalsRead < d && !overflow; ++decimalsRead)
        addDigit('0');
    const std::uint64_t limit = negative ? kMaxMagnitude : kMaxMagnitude - 1;
    if (overflow || units > limit)
        return outOfRange();
    const std::int64_t v = negative ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(units))
                                    : static_cast<std::int64_t>(units);
    if (v < f.minimum || v > f.maximum)
        return outOfRange();
    r.value = v;
    return r;
}

bool numEditAccepts(char c, const NumEditFormat& f)
{
    if (c >= '0' && c <= '9')
        return true;
    if ((c == '.' || c == ',') && f.decimals > 0)
        return true;
    return c == '-' && f.minimum < 0;
}

std::string numEditFilter(std::string_view text, const NumEditFormat& f)
{
    std::string out;
    for (char c : text)
        if (numEditAccepts(c, f))
            out += c;
    return out;
}

// ---------------------------------------------------------------------------

std::int64_t settingsEffectiveRate(std::int64_t rateHz, std::int64_t timeExp25)
{
    if (timeExp25 < 1 || timeExp25 > 100000)
        timeExp25 = 1000;
    rateHz = std::clamp<std::int64_t>(rateHz, 0, std::int64_t{1} << 40);
    return rateHz * timeExp25 / 1000;
}

std::string timeBetweenFftsText(std::int32_t fftSize, std::int32_t overLap, std::int64_t rate)
{
    if (fftSize <= 0 || overLap < 0 || rate <= 0)
        return {};
    const double t = fftSize * 1000.0 / static_cast<double>(rate) * (1.0 - overLap / 100.0);
    const char* fmt = t > 10 ? "%2.0f ms" : t > 1 ? "%2.1f ms" : t > 0.1 ? "%2.2f ms" : "%2.3f ms";
    return vkit::formatC(fmt, t);
}

std::string frequencyResolutionText(std::int32_t fftSize, std::int32_t fftWindow, std::int64_t rate)
{
    if (fftSize <= 0 || rate <= 0)
        return {};
    double k = 0.85;
    switch (fftWindow) {
    case 1: k = 1.82; break;
    case 2: k = 1.4; break;
    case 4: k = 1.3; break;
    case 8: k = 1.17; break;
    default: break;
    }
    return vkit::formatC("%2.0f Hz", k * static_cast<double>(rate) / fftSize);
}

// ---------------------------------------------------------------------------

namespace {

std::string checkCommon(const VesAnaParms& p)
{
    if (!p.m_leftChan && !p.m_rightChan)
        return "Error: At least one channel must be selected!";
    if (p.m_plotSize < 1 || p.m_plotSize > kMaxPlotSizeMicros)
        return "Error: Time per plot must not be below 0.001 msec or above 36000 sec!";
    return {};
}

}  // namespace

std::string checkSpectSettings(const VesAnaParms& p, std::int64_t rate)
{
    if (std::string m = checkCommon(p); !m.empty())
        return m;
    const std::int64_t half = rate / 2;
    const bool maxSet = p.m_spectMax >= 0;
    if (maxSet && p.m_spectMax > half)
        return vkit::formatC("Error: Max frequency > %lld Hz", static_cast<long long>(half));
    if (maxSet && !(p.m_spectMin < p.m_spectMax))
        return "Error: Min frequency > Max frequency.";
    if (p.m_spectMin < 0)
        return "Error: Min frequency < zero.";
    // What the plot cannot draw never passes, whatever the fields allowed.
    if (p.m_fftSize != 0 && (p.m_fftSize < 16 || p.m_fftSize > 4096 || (p.m_fftSize & (p.m_fftSize - 1)) != 0))
        return "Error: FFT size must be a power of two.";
    if (p.m_fftOverLap < -1 || p.m_fftOverLap > 99)
        return "Error: FFT overlap must be below 100%.";
    return {};
}

std::string checkOscSettings(const VesAnaParms& p, bool currentView)
{
    if (std::string m = checkCommon(p); !m.empty())
        return m;
    if (!currentView)
        return {};
    if (p.m_ampMax > 10000)
        return "Error: Max amplitude > 100%";
    if (!(p.m_ampMin < p.m_ampMax))
        return "Error: Min amplitude > Max amplitude.";
    if (p.m_ampMin < -10000)
        return "Error: Min amplitude < -100%.";
    return {};
}

std::string checkFreqSettings(const VesAnaParms& p, std::int64_t rate, bool currentView)
{
    if (std::string m = checkCommon(p); !m.empty())
        return m;
    if (!currentView)
        return {};
    const std::int64_t half = rate / 2;
    if (p.m_spectMax > half)
        return vkit::formatC("Error: Max frequency > %lld Hz", static_cast<long long>(half));
    if (!(p.m_spectMin < p.m_spectMax))
        return "Error: Min frequency > Max frequency.";
    if (p.m_spectMin < 0)
        return "Error: Min frequency < zero.";
    return {};
}

void finishSettings(VesAnaParms& parms, std::int64_t rate)
{
    parms.repair(rate);
    if (rate > 0 && parms.m_spectMax == rate / 2)
        parms.m_spectMax = -1;
}
