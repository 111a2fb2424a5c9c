#include "render/RatePlotPainter.h"

#include "display/PlotAxes.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFontTwips = 160;  // 8 points

QFont plotFont(double scale)
{
    QFont f(QStringLiteral("Helvetica"));
    f.setPixelSize(std::max(6, static_cast<int>(std::lround(kFontTwips * scale))));
    return f;
}

// Labelled every k-th tick: 5 with ten ticks or more, 2 with more than four.
int labelEvery(std::int64_t ticks)
{
    return ticks >= 10 ? 5 : ticks > 4 ? 2 : 1;
}

}  // namespace

std::string rateTimeLabel(std::int64_t micros, std::int64_t stepMicros, RateTimeText kind)
{
    // The analysis plot's time-label formatter, its label type chosen from the step.
    const std::int64_t stepNs = std::max<std::int64_t>(1, stepMicros) * 1000;
    const int type = kind == RateTimeText::Readout ? fineTimeLabelTypeFor(stepNs) : timeLabelTypeFor(stepNs);
    std::string s = formatTimeValue(micros * 1000, type);
    if (kind != RateTimeText::Number)
        s += std::string(" ") + timeUnitText(type);
    return s;
}

RatePlotPainter::RatePlotPainter(const RatePicture& picture, const QRectF& target, double unitsPerTwip)
    : m_pic(picture), m_target(target), m_scale(unitsPerTwip > 0 ? unitsPerTwip : 1.0 / 15)
{
    const double left = target.left() + 800 * m_scale;
    const double top = target.top() + 200 * m_scale;
    const double right = std::max(left + 2, target.right() - 450 * m_scale);
    const double bottom = std::max(top + 2, target.bottom() - 700 * m_scale);
    m_area = QRectF(QPointF(left, top), QPointF(right, bottom));
    m_foot = QRectF(QPointF(target.left(), target.bottom() - 260 * m_scale), target.bottomRight());
}

double RatePlotPainter::timeAtX(double x) const
{
    const RateHistogram* h = m_pic.histogram;
    if (!h || !(m_area.width() > 0))
        return 0;
    return static_cast<double>(h->startUs) +
           (x - m_area.left()) / m_area.width() * static_cast<double>(h->endUs - h->startUs);
}

double RatePlotPainter::countAtY(double y) const
{
    const RateHistogram* h = m_pic.histogram;
    if (!h || !(m_area.height() > 0))
        return 0;
    return (m_area.bottom() - y) / m_area.height() * std::max<std::int32_t>(1, h->highestCount);
}

int RatePlotPainter::barAtX(double x) const
{
    const RateHistogram* h = m_pic.histogram;
    if (!h || h->lastBar < 1 || x < m_area.left() || x >= m_area.right())
        return 0;
    const int bar = 1 + static_cast<int>((x - m_area.left()) / m_area.width() * h->lastBar);
    return std::clamp(bar, 1, h->lastBar);
}

void RatePlotPainter::paint(QPainter& p) const
{
    p.save();
    p.fillRect(m_target, Qt::white);
    drawBars(p);
    drawAxes(p);
    drawFoot(p);
    p.restore();
}

void RatePlotPainter::drawBars(QPainter& p) const
{
    const RateHistogram* h = m_pic.histogram;
    if (!h || h->pending() || h->lastBar < 1)
        return;
    const double highest = std::max<std::int32_t>(1, h->highestCount);
    const double w = m_area.width() / h->lastBar;
    for (int k = 1; k <= h->lastBar; ++k) {
        const double c = h->counts[static_cast<std::size_t>(k)];
        if (c <= 0)
            continue;
        const double top = m_area.bottom() - std::min(1.0, c / highest) * m_area.height();
        p.fillRect(QRectF(QPointF(m_area.left() + (k - 1) * w, top), QPointF(m_area.left() + k * w, m_area.bottom())),
                   Qt::black);
    }
}

void RatePlotPainter::drawAxes(QPainter& p) const
{
    const QFont font = plotFont(m_scale);
    p.setFont(font);
    const QFontMetricsF fm(font);
    p.setPen(QPen(Qt::black, 0));
    p.drawLine(m_area.bottomLeft(), m_area.topLeft());
    p.drawLine(m_area.bottomLeft(), m_area.bottomRight());
    const RateHistogram* h = m_pic.histogram;
    if (!h || h->pending())
        return;

    // Count axis: short ticks every NiceStep(highest), longer labelled ticks every k-th.
    const std::int64_t highest = std::max<std::int32_t>(1, h->highestCount);
    const std::int64_t cstep = std::max<std::int64_t>(1, h->countTickStep);
    const std::int64_t cticks = highest / cstep + 1;
    const int ck = labelEvery(cticks);
    for (std::int64_t i = 0; i < cticks && i < 2000; ++i) {
        const double y = m_area.bottom() - static_cast<double>(i * cstep) / static_cast<double>(highest) * m_area.height();
        const bool labelled = i % ck == 0;
        const double len = (labelled ? 100 : 50) * m_scale;
        p.drawLine(QPointF(m_area.left() - len, y), QPointF(m_area.left(), y));
        if (labelled) {
            const QString s = QString::number(static_cast<qlonglong>(i * cstep)) + QLatin1Char(' ');
            p.drawText(QPointF(m_area.left() - len - fm.horizontalAdvance(s), y + fm.ascent() / 2 - 1), s);
        }
    }

    // Time axis from start to end, ticks every axis-range step.
    const std::int64_t span = h->endUs - h->startUs;
    const std::int64_t tstep = std::max<std::int64_t>(1, h->axisRangeUs);
    if (span <= 0)
        return;
    const std::int64_t tticks = span / tstep + 1;
    const int tk = labelEvery(tticks);
    const std::int64_t shown = std::min<std::int64_t>(tticks, 2000);
    const std::int64_t lastLabelled = (shown - 1) / tk * tk;
    for (std::int64_t i = 0; i < shown; ++i) {
        const std::int64_t t = i * tstep;
        const double x = m_area.left() + static_cast<double>(t) / static_cast<double>(span) * m_area.width();
        const bool labelled = i % tk == 0;
        const double len = (labelled ? 100 : 50) * m_scale;
        p.drawLine(QPointF(x, m_area.bottom()), QPointF(x, m_area.bottom() + len));
        if (labelled) {
            // Labels in the axis range's label type; the last one carries the unit.
            const QString s = QString::fromStdString(
                rateTimeLabel(h->startUs + t, tstep, i == lastLabelled ? RateTimeText::Label : RateTimeText::Number));
            p.drawText(QPointF(x - fm.horizontalAdvance(s) / 2, m_area.bottom() + 120 * m_scale + fm.ascent()), s);
        }
    }
    if (m_pic.marker) {
        p.setPen(QPen(QColor(200, 0, 0), 0));
        const QPointF c = *m_pic.marker;
        p.drawLine(c - QPointF(6, 0), c + QPointF(6, 0));
        p.drawLine(c - QPointF(0, 6), c + QPointF(0, 6));
    }
}

void RatePlotPainter::drawFoot(QPainter& p) const
{
    const QFont font = plotFont(m_scale);
    p.setFont(font);
    const QFontMetricsF fm(font);
    p.setPen(Qt::black);
    const double base = m_foot.top() + (m_foot.height() + fm.ascent() - fm.descent()) / 2;
    p.drawText(QPointF(m_foot.left() + 4, base), QString::fromStdString(m_pic.status));
    std::string right = m_pic.rangeText;
    if (m_pic.histogram && !m_pic.histogram->pending())
        right += m_pic.histogram->countText();
    const QString s = QString::fromStdString(right);
    p.drawText(QPointF(m_foot.right() - 4 - fm.horizontalAdvance(s), base), s);
}
