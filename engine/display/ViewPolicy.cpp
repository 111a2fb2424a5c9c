#include "display/ViewPolicy.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cstdio>

void setViewPanes(VesAnaParms& p, ViewKind kind)
{
    switch (kind) {
    case ViewKind::Spectrogram:
        p.m_spectPlot = true;
        p.m_ampPlot = false;
        p.m_freqPlot = 0;
        break;
    case ViewKind::Oscillogram:
        p.m_spectPlot = false;
        p.m_ampPlot = true;
        p.m_freqPlot = 0;
        break;
    case ViewKind::Combined:
        p.m_spectPlot = true;
        p.m_ampPlot = true;
        p.m_freqPlot = 0;
        break;
    case ViewKind::ZeroCrossing:
        p.m_spectPlot = false;
        p.m_ampPlot = false;
        p.m_freqPlot = 1;
        break;
    case ViewKind::Base:
        break;
    }
}

const char* viewKindName(ViewKind kind)
{
    switch (kind) {
    case ViewKind::Spectrogram: return "Spectrogram";
    case ViewKind::Oscillogram: return "Oscillogram";
    case ViewKind::Combined: return "Combined";
    case ViewKind::ZeroCrossing: return "Zero Crossing Analysis";
    case ViewKind::Base: break;
    }
    return "Analysis";
}

namespace {

bool hasFrequencyPane(const VesAnaParms& p)
{
    return p.m_spectPlot || p.m_freqPlot != 0;
}

// A view that would show both the oscillogram and the zero-crossing analysis
// shows the spectrogram instead of the latter; a view without panes shows the
// oscillogram.
void repairPanes(VesAnaParms& p)
{
    if (p.m_ampPlot && p.m_freqPlot != 0) {
        p.m_freqPlot = 0;
        p.m_spectPlot = true;
    }
    if (!p.m_ampPlot && !p.m_spectPlot && p.m_freqPlot == 0)
        p.m_ampPlot = true;
}

}  // namespace

VesAnaParms defaultViewParms(const VesAnaParms& defaults, ViewKind kind)
{
    VesAnaParms p = defaults;
    setViewPanes(p, kind);
    p.m_plotStart = 0;
    p.m_plotEnd = -1;
    p.repair();
    repairPanes(p);
    return p;
}

VesAnaParms initialViewParms(CVesSoundDoc& doc, const NewViewContext& c)
{
    VesAnaParms p = defaultViewParms(c.defaults ? *c.defaults : VesAnaParms(), c.kind);

    VesAnaParms stored;
    if (doc.takeNextAnaParms(stored)) {
        p = stored;
    } else if (c.previous) {
        const VesAnaParms own = p;
        p = *c.previous;
        p.m_ampPlot = own.m_ampPlot;
        p.m_spectPlot = own.m_spectPlot;
        p.m_freqPlot = own.m_freqPlot;
        repairPanes(p);
        const ViewSelection* sel = c.previousSelection;
        if (sel && sel->a != sel->b) {
            p.m_plotStart = sel->first();
            p.m_plotEnd = sel->last();
            p.m_plotSize = doc.framesToRealMicros(sel->last() - sel->first());
            if (doc.format().channels >= 2 && sel->channel != ChannelSel::Both) {
                p.m_leftChan = sel->channel == ChannelSel::Left;
                p.m_rightChan = sel->channel == ChannelSel::Right;
            }
            if (!sel->timeOnly) {
                const auto lo = static_cast<std::int64_t>(std::min(sel->low, sel->high) + 0.5);
                const auto hi = static_cast<std::int64_t>(std::max(sel->low, sel->high) + 0.5);
                if (sel->inFrequencyPane && hasFrequencyPane(p)) {
                    p.m_spectMin = std::max<std::int64_t>(0, lo);
                    p.m_spectMax = hi;
                } else if (!sel->inFrequencyPane && p.m_ampPlot) {
                    p.m_ampMin = lo;
                    p.m_ampMax = hi;
                }
            }
        }
    } else {
        p.m_plotStart = 0;
        p.m_plotEnd = -1;
        const std::int64_t rate = static_cast<std::int64_t>(doc.format().samplesPerSec) * doc.effectiveTimeExp25() / 1000;
        const std::int64_t half = rate / 2;
        const std::int64_t defMax = c.defaults ? c.defaults->m_spectMax : -1;
        const std::int64_t defMin = c.defaults ? c.defaults->m_spectMin : 0;
        p.m_spectMax = defMax > half / 10 && defMax <= half ? defMax : -1;
        p.m_spectMin = defMin > half / 10 ? defMin : 0;
        const std::int64_t effectiveMax = p.m_spectMax < 0 ? half : p.m_spectMax;
        if (p.m_spectMin >= effectiveMax)
            p.m_spectMin = 0;
    }

    if (doc.lengthFrames() <= 0) {
        p.m_spectMin = 0;
        p.m_spectMax = -1;
    }
    p.repair();
    repairPanes(p);
    return p;
}

void ViewDocTracker::formatChanged(VesAnaParms& p, AnaViewZoom& zoom, std::int32_t timeExp25, std::uint32_t rateHz)
{
    if (timeExp25 < 1)
        timeExp25 = 1000;
    auto rescale = [&](std::int64_t up, std::int64_t down) {
        if (up == down || up <= 0 || down <= 0)
            return;
        if (p.m_spectMin > 0)
            p.m_spectMin = p.m_spectMin * up / down;
        if (p.m_spectMax > 0)
            p.m_spectMax = p.m_spectMax * up / down;
        zoom.scaleHistoryFrequencies(up, down);
        if (p.m_plotSize > 0)
            p.m_plotSize = p.m_plotSize * down / up;
    };
    if (timeExp25 != m_timeExp)
        rescale(timeExp25, m_timeExp);
    if (rateHz != m_rate)
        rescale(rateHz, m_rate);
    m_timeExp = timeExp25;
    m_rate = rateHz;
}

ViewDocTracker::Append ViewDocTracker::appended(VesAnaParms& p, std::int64_t newLength, std::int64_t perPlot,
                                                bool fullRedraw)
{
    if (newLength == m_lastLength)
        return Append::Nothing;
    perPlot = std::max<std::int64_t>(1, perPlot);
    bool advanced = false;
    if (m_lastLength > 0) {
        if (p.m_plotStart > newLength) {
            p.m_plotStart = 0;
            p.m_plotEnd = 0;
        }
        if (p.m_plotEnd <= p.m_plotStart)
            p.m_plotEnd = std::max<std::int64_t>(0, p.m_plotStart) + perPlot;
        if (newLength > p.m_plotEnd) {
            // Whole pages, as many as it takes.
            const std::int64_t pages = (newLength - p.m_plotEnd + perPlot - 1) / perPlot;
            p.m_plotStart = p.m_plotEnd + (pages - 1) * perPlot;
            p.m_plotEnd = p.m_plotStart + perPlot;
            advanced = true;
        }
    }
    const bool redraw = fullRedraw || m_lastLength <= 0 || advanced;
    m_lastLength = newLength;
    if (redraw) {
        p.m_plotEnd = -1;
        return Append::Redraw;
    }
    return Append::DrawNewColumns;
}

ScrollBarNumbers ScrollBarNumbers::make(std::int64_t total, std::int64_t perPlot, std::int64_t perTick,
                                        std::int64_t position)
{
    constexpr std::int64_t kLimit = std::int64_t(1) << 30;
    perPlot = std::max<std::int64_t>(1, perPlot);
    const std::int64_t maxPos = AnaViewZoom::maxScrollPosition(total, perPlot);
    ScrollBarNumbers n;
    n.unit = 1 + std::max({maxPos, perPlot, position}) / kLimit;
    n.maximum = static_cast<int>(maxPos / n.unit);
    n.page = static_cast<int>(std::max<std::int64_t>(1, perPlot / n.unit));
    n.value = static_cast<int>(std::clamp<std::int64_t>(position / n.unit, 0, n.maximum));
    n.singleStep = static_cast<int>(std::clamp<std::int64_t>(perTick / n.unit, 1, kLimit));
    return n;
}

std::string soundFormatText(int channels, int bits, std::uint32_t rateHz, std::int32_t timeExp25)
{
    const char* layout = channels == 1 ? "Mono" : "Stereo";
    char buf[128];
    if (timeExp25 < 1 || timeExp25 == 1000)
        vkit::snprintfC(buf, sizeof buf, "%s, %d bits, %u Hz.", layout, bits, rateHz);
    else
        vkit::snprintfC(buf, sizeof buf, "%s, %d bits, %u Hz, Time exp %2.2f.", layout, bits, rateHz, timeExp25 / 1000.0);
    return buf;
}
