#include "display/AnaViewZoom.h"

#include <algorithm>
#include <cmath>

const std::array<std::int64_t, 31>& AnaViewZoom::zoomTable()
{
    static const std::array<std::int64_t, 31> table = {
        3600000000LL, 2400000000LL, 1200000000LL, 600000000, 240000000, 120000000, 60000000, 30000000,
        15000000,     10000000,     5000000,      2000000,   1000000,   500000,    200000,    100000,
        50000,        20000,        10000,        5000,      2000,      1000,      500,       200,
        100,          50,           20,           10,        5,         2,         1};
    return table;
}

AnaViewZoom::AnaViewZoom(VesAnaParms& parms) : m_parms(parms), m_default(current()) {}

ZoomState AnaViewZoom::current() const
{
    return {m_parms.m_plotSize, m_parms.m_spectMax, m_parms.m_spectMin, m_parms.m_ampMax, m_parms.m_ampMin};
}

void AnaViewZoom::apply(const ZoomState& s)
{
    m_parms.m_plotSize = s.plotSize;
    m_parms.m_spectMax = s.spectMax;
    m_parms.m_spectMin = s.spectMin;
    m_parms.m_ampMax = s.ampMax;
    m_parms.m_ampMin = s.ampMin;
}

void AnaViewZoom::push()
{
    if (static_cast<int>(m_history.size()) == kHistorySize)
        m_history.erase(m_history.begin());  // the oldest goes
    m_history.push_back(current());
}

void AnaViewZoom::zoomIn(const ZoomSelection* sel, std::int64_t microsBetween, bool hasFrequencyPane, bool hasOscillogram)
{
    push();
    if (sel) {
        m_parms.m_plotStart = std::min(sel->a, sel->b);
        m_parms.m_plotEnd = std::max(sel->a, sel->b);
        m_parms.m_plotSize = std::max<std::int64_t>(1, microsBetween);
        if (!sel->timeOnly) {
            const auto lo = static_cast<std::int64_t>(std::llround(std::min(sel->low, sel->high)));
            const auto hi = static_cast<std::int64_t>(std::llround(std::max(sel->low, sel->high)));
            if (sel->inFrequencyPane && hasFrequencyPane) {
                m_parms.m_spectMin = std::max<std::int64_t>(0, lo);
                m_parms.m_spectMax = hi;
            } else if (!sel->inFrequencyPane && hasOscillogram) {
                m_parms.m_ampMin = lo;
                m_parms.m_ampMax = hi;
            }
        }
        return;
    }
    std::int64_t next = 1;
    for (std::int64_t v : zoomTable())
        if (v < m_parms.m_plotSize) {
            next = v;
            break;
        }
    m_parms.m_plotSize = next;
    m_parms.m_plotEnd = -1;
}

void AnaViewZoom::zoomOut()
{
    if (m_history.empty()) {
        std::int64_t next = zoomTable().front();
        for (auto it = zoomTable().rbegin(); it != zoomTable().rend(); ++it)
            if (*it > m_parms.m_plotSize) {
                next = *it;
                break;
            }
        m_parms.m_plotSize = next;
    } else {
        apply(m_history.back());
        m_history.pop_back();
    }
    m_parms.m_plotEnd = -1;
}

void AnaViewZoom::defaultZoom()
{
    push();
    apply(m_default);
    m_parms.m_plotEnd = -1;
}

void AnaViewZoom::entireFile(std::int64_t durationMicros)
{
    push();
    m_parms.m_plotSize = std::max<std::int64_t>(1, durationMicros);
    m_parms.m_plotStart = 0;
    m_parms.m_plotEnd = -1;
}

void AnaViewZoom::fullRange()
{
    push();
    m_parms.m_spectMin = 0;
    m_parms.m_spectMax = -1;
    m_parms.m_ampMin = -10000;
    m_parms.m_ampMax = 10000;
}

void AnaViewZoom::scaleHistoryFrequencies(std::int64_t up, std::int64_t down)
{
    if (up <= 0 || down <= 0)
        return;
    for (ZoomState& s : m_history) {
        if (s.spectMin > 0)
            s.spectMin = s.spectMin * up / down;
        if (s.spectMax > 0)
            s.spectMax = s.spectMax * up / down;
    }
}

std::int64_t AnaViewZoom::maxScrollPosition(std::int64_t total, std::int64_t perPlot)
{
    return std::max<std::int64_t>(0, std::max(total, perPlot) - perPlot);
}

std::int64_t AnaViewZoom::scroll(Scroll request, std::int64_t total, std::int64_t perPlot, std::int64_t perTick,
                                 std::int64_t thumb)
{
    perPlot = std::max<std::int64_t>(1, perPlot);
    std::int64_t pos = std::max<std::int64_t>(0, m_parms.m_plotStart);
    switch (request) {
    case Scroll::LineLeft: pos -= std::max<std::int64_t>(1, perTick); break;
    case Scroll::LineRight: pos += std::max<std::int64_t>(1, perTick); break;
    case Scroll::PageLeft: pos -= perPlot; break;
    case Scroll::PageRight: pos += perPlot; break;
    case Scroll::Thumb: pos = thumb; break;
    case Scroll::LeftEnd: pos = 0; break;
    case Scroll::RightEnd: pos = total; break;
    }
    pos = std::clamp<std::int64_t>(pos, 0, maxScrollPosition(total, perPlot));
    m_parms.m_plotStart = pos;
    m_parms.m_plotEnd = pos + perPlot;
    return pos;
}
