#include "power/PowerScale.h"

#include "core/LoggCls.h"
#include "core/NumberText.h"
#include "display/FftWindow.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace {

std::string fmt(const char* f, double a)
{
    char buf[128];
    vkit::snprintfC(buf, sizeof buf, f, a);
    return buf;
}

std::string fmt2(const char* f, double a, double b)
{
    char buf[128];
    vkit::snprintfC(buf, sizeof buf, f, a, b);
    return buf;
}

}  // namespace

PowerFrequencyRange powerFrequencyRange(const VesPowerParms& p, double rateHz)
{
    const double half = rateHz / 2;
    if (p.m_maxFrequency <= 0 || p.m_minFrequency < 0 || p.m_maxFrequency > half || p.m_maxFrequency < p.m_minFrequency)
        return {0, half};
    return {static_cast<double>(p.m_minFrequency), static_cast<double>(p.m_maxFrequency)};
}

std::vector<PowerTick> powerFrequencyTicks(const PowerFrequencyRange& r)
{
    std::vector<PowerTick> ticks;
    const double w = r.maxHz - r.minHz;
    if (!(w > 0) || !std::isfinite(w))
        return ticks;
    const double u = std::pow(10.0, std::floor(std::log10(w) + 0.0001));
    long k = static_cast<long>(w / u);
    if (k > 1 && (k % 2) == 1)
        --k;
    // A width just below a power of ten rounds up to it: k would be 0 and
    // the label step with it.
    k = std::max(k, 1L);
    const double labelStep = u * static_cast<double>(k) / 2;
    const double minorStep = u / 10 * (k < 2 ? 1 : (k < 5 ? 5 : 10));
    for (double v = std::floor(r.minHz / minorStep + 1) * minorStep; v < r.maxHz; v += minorStep)
        ticks.push_back({v, false, {}});
    for (double v = std::floor(r.minHz / labelStep + 1) * labelStep; v <= r.maxHz + 1e-9; v += labelStep) {
        PowerTick t{v, true, {}};
        const long hz = std::lround(v);
        t.label = (hz >= 1000 && hz % 1000 == 0) ? fmt("%.0f kHz", static_cast<double>(hz / 1000)) : fmt("%.0f Hz", static_cast<double>(hz));
        ticks.push_back(t);
    }
    return ticks;
}

std::vector<PowerTick> powerLevelTicks(const VesPowerParms& p)
{
    std::vector<PowerTick> ticks;
    if (p.m_logScale) {
        const double span = p.m_maxDB - p.m_zeroDB;
        const double s = span < 10 ? 2 : span < 20 ? 4 : span < 80 ? 10 : 100;
        const double step = 10 * std::log10(s);
        for (double v = p.m_maxDB; v >= p.m_zeroDB - 1e-9 && ticks.size() < 1000; v -= step)
            ticks.push_back({v, true, fmt("%1.0f dB", v)});
    } else {
        const double span = p.m_maxV - p.m_zeroV;
        if (span < 0.007)
            return {{p.m_maxV, true, fmt(powerLevelFormat(p), p.m_maxV)}};
        const double step = span < 0.015 ? 0.002 : span < 0.04 ? 0.005 : span < 0.07 ? 0.01 : span < 0.12 ? 0.02 : span < 0.4 ? 0.05 : span < 0.7 ? 0.1 : 0.2;
        for (double v = p.m_maxV; v >= p.m_zeroV - 1e-9 && ticks.size() < 1000; v -= step)
            ticks.push_back({v, true, fmt(powerLevelFormat(p), v)});
    }
    return ticks;
}

const char* powerLevelFormat(const VesPowerParms& p)
{
    if (p.m_logScale) {
        const double span = p.m_maxDB - p.m_zeroDB;
        return span >= 100 ? "%2.1f" : span >= 10 ? "%2.2f" : "%2.3f";
    }
    const double span = p.m_maxV - p.m_zeroV;
    return span >= 0.5 ? "%2.2f" : span >= 0.05 ? "%2.3f" : "%2.4f";
}

const char* powerFrequencyFormat(const PowerFrequencyRange& r)
{
    const double w = r.maxHz - r.minHz;
    return w >= 100000 ? "%2.1f" : w >= 10000 ? "%2.2f" : "%2.3f";
}

double powerLevel(double power, bool logScale)
{
    return logScale ? 10.0 * std::log10(power) : power;
}

std::string powerWindowTitle(int fftSize, int window, int channels, ChannelIndex channel)
{
    std::string label = windowTitleLabel(window);
    if (!label.empty())
        label += ".";
    std::string t = fmt("Power spectrum, FFT size %.0f", fftSize) + label;
    if (channels > 1)
        t += channel == ChannelIndex::Right ? " - Right channel." : " - Left channel.";
    return t;
}

std::string powerTimeRangeText(std::int64_t a, std::int64_t b)
{
    const double d = static_cast<double>(b - a);
    const double as = a / 1e6, bs = b / 1e6, am = a / 1e3, bm = b / 1e3;
    if (d > 20e6)
        return fmt2("%2.0f - %2.0f s", as, bs);
    if (d > 2e6)
        return fmt2("%2.1f - %2.1f s", as, bs);
    if (d > 0.2e6)
        return fmt2("%2.2f - %2.2f s", as, bs);
    if (d > 20e3)
        return fmt2("%2.0f - %2.0f ms", am, bm);
    if (d > 2e3)
        return fmt2("%2.1f - %2.1f ms", am, bm);
    if (d > 0.2e3)
        return fmt2("%2.2f - %2.2f ms", am, bm);
    char buf[96];
    vkit::snprintfC(buf, sizeof buf, "%lld - %lld \xC2\xB5s", static_cast<long long>(a), static_cast<long long>(b));
    return buf;
}

std::string powerClickReadout(double freqHz, double level, const VesPowerParms& p, const PowerFrequencyRange& r)
{
    std::string s(1, ' ');
    s += fmt(powerFrequencyFormat(r), freqHz / 1000);
    s += " kHz ";
    s += fmt(powerLevelFormat(p), level);
    s += p.m_logScale ? " dB " : " V\xC2\xB2 ";
    return s;
}

std::string powerMoveReadout(double freqHz, double level, const VesPowerParms& p, const PowerFrequencyRange& r,
                             bool cursorSet, double cursorFreqHz, double cursorLevel)
{
    const char* unit = p.m_logScale ? " dB" : " V\xC2\xB2";
    std::string s = fmt(powerFrequencyFormat(r), freqHz / 1000) + " kHz, " + fmt(powerLevelFormat(p), level);
    if (!cursorSet)
        return s + unit + " ";
    return s + unit + " Distance: " + fmt(powerFrequencyFormat(r), std::abs(freqHz - cursorFreqHz) / 1000) + " kHz, " +
           fmt(powerLevelFormat(p), level - cursorLevel) + unit + " ";
}

std::string powerExportText(const PowerResult& r, bool logScale)
{
    std::string out = logScale ? "kHz\tdB\r\n" : "kHz\tV\xC2\xB2\r\n";
    char line[96];
    for (int b = 0; b < r.fftSize / 2; ++b) {
        const double p = r.power[static_cast<size_t>(b)];
        const double khz = r.binFrequency(b) / 1000;
        if (logScale && !(p > 0))
            vkit::snprintfC(line, sizeof line, "%1.3f\t-inf\r\n", khz);
        else
            vkit::snprintfC(line, sizeof line, "%1.3f\t%1.3f\r\n", khz, powerLevel(p, logScale));
        out += line;
    }
    return out;
}

bool writePowerExport(const PowerResult& r, bool logScale, std::FILE* out, std::string& error)
{
    const std::string text = powerExportText(r, logScale);
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0) {
        error = "Error when exporting data to file: " + vkit::systemErrorText(errno ? errno : EIO);
        return false;
    }
    return true;
}

std::string validatePowerSettings(double minLevel, double maxLevel, bool logScale, std::int64_t minFreq,
                                  std::int64_t maxFreq, double rateHz)
{
    if (minLevel >= maxLevel)
        return "Zero level must be less than Maximum level.";
    if (logScale) {
        if (maxLevel > 0)
            return "Maximum level must be less than or equal to Zero dB.";
        if (minLevel < -120)
            return "Minimum level must be greater than or equal to -120 dB.";
    } else {
        if (maxLevel > 100)
            return "Maximum level must be less than or equal to 100 V\xC2\xB2.";
        if (maxLevel < 0.01)
            return "Maximum level must be greater than or equal to 0.01 V\xC2\xB2.";
        if (minLevel < 0)
            return "Minimum level must be greater than or equal to 0 V\xC2\xB2.";
    }
    const std::int64_t half = static_cast<std::int64_t>(rateHz / 2);
    if (maxFreq > half)
        return "Error: Max frequency > " + std::to_string(half);
    if (minFreq >= maxFreq)
        return "Error: Min frequency > Max frequency.";
    if (minFreq < 0)
        return "Error: Min frequency < zero.";
    return {};
}

int powerAutoFftSize(int w)
{
    return w <= 63 ? 64 : w <= 95 ? 128 : w <= 191 ? 256 : w <= 383 ? 512 : w <= 761 ? 1024 : 2048;
}
