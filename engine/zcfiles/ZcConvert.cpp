#include "zcfiles/ZcConvert.h"

#include "document/CVesSoundDoc.h"
#include "document/SampleCodec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace zcfile {

TransitionFinder::TransitionFinder(double rateHz, const ConvertSettings& s)
    : m_rate(rateHz), m_theta(s.thresholdPct / 100.0 * 32768.0), m_div(std::max(1, s.divRatio))
{
}

void TransitionFinder::feed(const double* w, std::int64_t n)
{
    for (std::int64_t j = 0; j < n; ++j) {
        const double v = w[j];
        // The latest zero crossing of the input, between the sample before and this one.
        if (m_index > 0 && ((m_prev < 0 && v >= 0) || (m_prev >= 0 && v < 0)))
            m_zeroAt = static_cast<double>(m_index - 1) + m_prev / (m_prev - v);
        m_peak = std::max(m_peak, std::fabs(v));
        m_prev = v;
        ++m_index;
        bool crossed = false;
        if ((m_arm > 0 && v < -m_theta) || (m_arm < 0 && v > m_theta)) {
            crossed = true;
            m_arm = v;
        } else if (m_arm == 0 && std::fabs(v) > m_theta) {
            m_arm = v;
        }
        if (!crossed || ++m_crossings % m_div != 0)
            continue;
        const std::int64_t us = std::llround(m_zeroAt / m_rate * 1e6);
        const std::int64_t interval = us - m_lastUs;
        if (interval > ZcFile::kMaxInterval) {
            m_ok = false;
            continue;
        }
        m_out.intervals.push_back(static_cast<std::uint32_t>(std::max<std::int64_t>(0, interval)));
        m_out.peaks.push_back(m_peak);
        m_lastUs = std::max(us, m_lastUs);
        m_peak = 0;
    }
}

namespace {

// "2024-06-02T22:53:40.5+02:00" (or a blank for 'T') into the start time.
bool parseTimestamp(const std::string& text, Timestamp& t)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%*1[T ]%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &used) != 6)
        return false;
    double frac = 0;
    if (static_cast<std::size_t>(used) < text.size() && text[static_cast<std::size_t>(used)] == '.') {
        std::size_t k = static_cast<std::size_t>(used) + 1;
        double scale = 0.1;
        for (; k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])); ++k, scale /= 10)
            frac += (text[k] - '0') * scale;
    }
    Timestamp r;
    r.year = y;
    r.month = mo;
    r.day = d;
    r.hour = h;
    r.minute = mi;
    r.second = s;
    const int micros = std::min(999999, static_cast<int>(std::llround(frac * 1e6)));
    r.hundredths = micros / 10000;
    r.micros = micros % 10000;
    if (!r.valid())
        return false;
    t = r;
    return true;
}

std::string formatNumber(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

}  // namespace

bool fromRecording(CVesSoundDoc& doc, const ConvertSettings& settings, ZcFile& out, std::string& error)
{
    out = ZcFile();
    if (settings.divRatio < 1 || settings.divRatio > 255) {
        error = "the division ratio must lie between 1 and 255";
        return false;
    }
    const double te = settings.timeExpansion > 0 ? settings.timeExpansion : doc.effectiveTimeExp25() / 1000.0;
    const double rate = static_cast<double>(doc.format().samplesPerSec) * te;
    if (rate <= 0) {
        error = "the recording has no sample rate";
        return false;
    }
    const ChannelIndex channel =
        settings.channel == 1 && doc.format().channels > 1 ? ChannelIndex::Right : ChannelIndex::Left;
    SampleReader reader(doc, channel);
    TransitionFinder finder(rate, settings);
    const std::int64_t length = doc.lengthFrames();
    std::vector<double> chunk(65536);
    for (std::int64_t at = 0; at < length;) {
        const std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(chunk.size()), length - at);
        reader.read(at, n, chunk.data());
        finder.feed(chunk.data(), n);
        at += n;
    }
    if (!finder.ok()) {
        error = "the recording has a stretch without transitions of 2^29 µs (about 9 minutes) or more, which the "
                "format cannot hold";
        return false;
    }
    Transitions t = finder.take();
    out.type = 132;
    out.divRatio = static_cast<std::uint8_t>(settings.divRatio);
    out.intervals = std::move(t.intervals);
    // Off runs where the gate closes, at most 255 dots each.
    const double gate = 32768.0 * std::pow(10.0, settings.gateDb / 20.0);
    for (std::size_t i = 0; i < t.peaks.size();) {
        if (t.peaks[i] >= gate) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < t.peaks.size() && t.peaks[j] < gate && j - i < 255)
            ++j;
        StatusRun run;
        run.firstDot = i;
        run.code = 0xE0 | static_cast<std::uint8_t>(DotStatus::Off);
        run.status = DotStatus::Off;
        run.count = static_cast<int>(j - i);
        out.runs.push_back(run);
        i = j;
    }

    GuanoRecord g;
    std::string guanoError;
    doc.guano(g, guanoError);  // a bad block is replaced by a fresh one
    if (!g.find(GuanoRecord::kVersionKey))
        g.fields().insert(g.fields().begin(), GuanoField{GuanoRecord::kVersionKey, "1.0"});
    g.set("Samplerate", std::to_string(doc.format().samplesPerSec));
    if (te != 1)
        g.set("TE", formatNumber(te));
    g.set("Length", formatNumber(static_cast<double>(doc.framesToFileMicros(length)) / 1e6));
    if (!g.find("Original Filename"))
        g.set("Original Filename", std::filesystem::path(doc.path()).filename().string());
    g.set("Vesperon|ZC Division Ratio", std::to_string(settings.divRatio));
    g.set("Vesperon|ZC Threshold", formatNumber(settings.thresholdPct));
    out.setGuano(g);

    if (const std::string* ts = g.find("Timestamp")) {
        if (parseTimestamp(*ts, out.time)) {
            char date[16];
            std::snprintf(date, sizeof date, "%04d%02d%02d", out.time.year, out.time.month, out.time.day);
            out.setText(TextField::Date, date);
        }
    }
    if (const std::string* pos = g.find("Loc Position"))
        out.setText(TextField::Loc, *pos);
    if (const std::string* sp = g.find("Species Manual ID"))
        out.setText(TextField::Species, *sp);
    if (const std::string* note = g.find("Note"))
        out.setText(TextField::Note, *note);
    return true;
}

}  // namespace zcfile
