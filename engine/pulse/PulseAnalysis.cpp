#include "pulse/PulseAnalysis.h"

#include "document/CVesSoundDoc.h"
#include "pulse/PulseCommon.h"
#include "pulse/PulsFftCls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr std::int64_t kPiece = 1 << 16;

std::string markLabel(int pulse, const char* what)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "#%d %s", pulse, what);
    return buf;
}

class PulseMeasurer {
public:
    PulseMeasurer(CVesSoundDoc& doc, const PulseRequest& request, const PulseScanSetup& setup)
        : m_doc(doc), m_parms(request.parms), m_setup(setup), m_clock(PulseClock::of(doc))
    {
        const VesPulsParms& p = m_parms;
        m_spectrum = request.alwaysMeasureSpectrum || p.m_ampMaxAmp || p.m_freqStrong || p.m_freqStrongMark ||
                     p.m_freqMax || p.m_freqMin || p.m_freqMaxMark || p.m_freqMinMark;
        m_markChannel = setup.channel == ChannelIndex::Left ? ChannelSel::Left : ChannelSel::Right;
        if (m_spectrum) {
            m_fft = std::make_unique<PulsFftCls>(setup.fftSize, setup.window, m_clock);
            m_contour.minFrequencyHz = p.m_minFrequency;
            m_contour.maxFrequencyHz = p.m_maxFrequency;
            m_contour.thresholdDb = p.m_freqThreshold / 100.0;
            m_contour.separationHz = p.m_freqSeparation;
            m_contour.timeGapColumns = static_cast<int>(std::max<std::int64_t>(1, setup.separationFrames / setup.hop));
        }
    }

    // Measures the pulse of n frames from frame s; false when it is dropped.
    bool measure(std::int64_t s, std::int64_t n, PulseResult& r)
    {
        const std::int64_t d = m_clock.framesToMicros(n);
        // A pulse needs a positive length whatever the minimum duration says.
        if (n <= 0 || d <= m_parms.m_durTimeMySec)
            return false;
        r = PulseResult();
        r.pulse = ++m_pulse;
        const std::int64_t startUs = m_clock.framesToMicros(s);
        const std::int64_t endUs = m_clock.framesToMicros(s + n);
        r.startUs = static_cast<double>(startUs);
        r.endUs = static_cast<double>(endUs);
        r.durationUs = static_cast<double>(d);
        r.startFrame = s;
        r.lengthFrames = n;
        if (m_parms.m_startTimeMark && startUs > 0)
            addMark(r, PulseMarkRequest::Start, s, 1, 0, "start");
        if (m_parms.m_stopTimeMark && endUs > 0)
            addMark(r, PulseMarkRequest::End, s + n, 1, 0, "end");
        if (m_spectrum)
            measureSpectrum(startUs, d, r);
        return true;
    }

private:
    void addMark(PulseResult& r, PulseMarkRequest::Which which, std::int64_t frame, int kind, double hz,
                 const char* what)
    {
        PulseMarkRequest m;
        m.which = which;
        m.frame = frame;
        m.kind = kind;
        m.frequencyHz = hz;
        m.channel = m_markChannel;
        m.label = markLabel(r.pulse, what);
        r.marks.push_back(std::move(m));
    }

    void measureSpectrum(std::int64_t startUs, std::int64_t durationUs, PulseResult& r)
    {
        const std::int64_t n = m_fft->fftSize();
        const std::int64_t length = m_doc.lengthFrames();
        const std::int64_t first = std::max<std::int64_t>(0, m_clock.microsToFrames(startUs) - n);
        const std::int64_t frames = std::min(m_clock.microsToFrames(durationUs) + 2 * n, length - first);
        m_fft->setStretch(m_doc, m_setup.channel, first, frames, m_setup.hop);
        const PulseContour c = measurePulseContour(*m_fft, m_contour);
        r.spectrumMeasured = true;
        r.strongestFound = c.strongest;
        if (c.strongest) {
            r.strongestDb = c.strongestDb;
            r.strongestHz = c.strongestHz;
            r.strongestTimeUs = c.strongestTimeUs;
        }
        r.contourFound = c.contour;
        if (c.contour) {
            r.highestHz = c.highestHz;
            r.highestTimeUs = c.highestTimeUs;
            r.lowestHz = c.lowestHz;
            r.lowestTimeUs = c.lowestTimeUs;
        }
        const std::int64_t half = n / 2;
        if (m_parms.m_freqStrongMark && r.strongestHz > 0 && r.strongestTimeUs > 0)
            addMark(r, PulseMarkRequest::Strongest, m_clock.microsToFrames(r.strongestTimeUs) + half, 2, r.strongestHz,
                    "max ampl.");
        if (m_parms.m_freqMaxMark && r.highestHz > 0 && r.highestTimeUs > 0)
            addMark(r, PulseMarkRequest::High, m_clock.microsToFrames(r.highestTimeUs) + half, 2, r.highestHz, "high");
        if (m_parms.m_freqMinMark && r.lowestHz > 0 && r.lowestTimeUs > 0)
            addMark(r, PulseMarkRequest::Low, m_clock.microsToFrames(r.lowestTimeUs) + half, 2, r.lowestHz, "low");
    }

    CVesSoundDoc& m_doc;
    const VesPulsParms& m_parms;
    const PulseScanSetup& m_setup;
    PulseClock m_clock;
    bool m_spectrum = false;
    ChannelSel m_markChannel = ChannelSel::Left;
    int m_pulse = 0;
    std::unique_ptr<PulsFftCls> m_fft;
    PulseContourParms m_contour;
};

}  // namespace

PulseScanSetup makePulseScanSetup(const CVesSoundDoc& doc, const PulseRequest& request)
{
    PulseScanSetup s;
    const VesPulsParms& p = request.parms;
    const std::int64_t length = doc.lengthFrames();
    std::int64_t first = std::max<std::int64_t>(0, request.first);
    std::int64_t last = request.last < 0 ? length : request.last;
    if (last < first)
        std::swap(first, last);
    s.first = std::min(first, length);
    s.last = std::min(last, length);
    s.channel = doc.format().channels > 1 && !p.m_leftChan ? ChannelIndex::Right : ChannelIndex::Left;
    const double ratio = std::pow(10.0, -std::abs(static_cast<double>(p.m_ampThres)) / 1000.0);
    s.threshold = std::llround(ratio * static_cast<double>(sampleFullScale(doc.format().bitsPerSample)));
    const PulseClock clock = PulseClock::of(doc);
    s.separationFrames = std::max<std::int64_t>(0, clock.microsToFrames(p.m_ampSeparationMySec));
    PulsFftCls probe(p.m_fftSize, p.m_fftWindow, clock);
    s.fftSize = probe.fftSize();
    s.window = p.m_fftWindow;
    s.hop = std::max(1, s.fftSize - p.m_fftOverlap);
    return s;
}

bool analysePulses(CVesSoundDoc& doc, const PulseRequest& request, IPulseSink& sink, const std::atomic<bool>* abort)
{
    sink.pulseStatus("Calculation started.");
    const PulseScanSetup setup = makePulseScanSetup(doc, request);
    PulseMeasurer measurer(doc, request, setup);
    AmplitudeReader reader(doc, setup.channel, AmplitudeScale::Native);
    auto stopped = [abort] { return abort && abort->load(std::memory_order_relaxed); };

    const std::int64_t t = setup.threshold;
    const std::int64_t sep = setup.separationFrames;
    const std::int64_t total = setup.last - setup.first;
    bool inPulse = false;
    std::int64_t s = 0, c = 0, r = 0;
    bool aborted = false;
    auto deliver = [&](std::int64_t start, std::int64_t n) {
        PulseResult result;
        if (measurer.measure(start, n, result) && !stopped())
            sink.pulseRow(std::move(result));
    };
    std::vector<std::int64_t> amp(static_cast<std::size_t>(kPiece));
    for (std::int64_t base = setup.first; base < setup.last;) {
        if (stopped() || !sink.pulseProgress(base - setup.first, total)) {
            aborted = true;
            break;
        }
        const std::int64_t got = reader.read(base, std::min(kPiece, setup.last - base), amp.data());
        if (got <= 0)
            break;
        for (std::int64_t j = 0; j < got; ++j) {
            if (amp[static_cast<std::size_t>(j)] > t) {
                if (!inPulse) {
                    s = base + j;
                    c = 0;
                    r = 0;
                    inPulse = true;
                } else {
                    ++c;
                    r = 0;
                }
            } else {
                ++r;
                if (inPulse) {
                    if (r > sep) {
                        inPulse = false;
                        deliver(s, c - r);
                    } else {
                        ++c;
                    }
                }
            }
        }
        base += got;
    }
    if (!aborted && inPulse && c != 0)
        deliver(s, c - r);
    aborted = aborted || stopped();
    if (!aborted) {
        sink.pulseProgress(total, total);
        sink.pulseStatus("Calculation completed.");
    }
    return !aborted;
}

void placePulseMarks(CVesSoundDoc& doc, PulseResult& result)
{
    for (const PulseMarkRequest& req : result.marks) {
        AnaMarkSave m;
        m.m_posX = req.frame;
        m.m_chan = channelSelCode(req.channel);
        m.m_spect = true;
        if (req.kind == 2) {
            m.m_typ = CursorType::Measurement;  // a point in time and frequency
            m.m_posY = std::llround(req.frequencyHz);
            m.m_anyY = false;
        } else {
            m.m_typ = CursorType::Marking;  // a time only
            m.m_posY = -1;
            m.m_anyY = true;
        }
        m.m_show = true;
        m.m_showLabel = true;
        m.m_label = req.label;
        const std::size_t index = doc.addMark(std::move(m));
        doc.setActiveMark(static_cast<int>(index));
        result.markIds[static_cast<std::size_t>(req.which)] = doc.marks()[index].m_markNr;
    }
}

int removePulseMarks(CVesSoundDoc& doc, const std::vector<int>& markIds)
{
    doc.setActiveMark(-1);
    auto& marks = doc.marks();
    const auto before = marks.size();
    std::erase_if(marks, [&](const AnaMarkSave& m) {
        return m.m_markNr >= 0 && std::find(markIds.begin(), markIds.end(), m.m_markNr) != markIds.end();
    });
    return static_cast<int>(before - marks.size());
}
