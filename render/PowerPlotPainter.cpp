#include "render/PowerPlotPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kTopTwips = 140;
constexpr double kRightTwips = 120;
constexpr double kLeftTwips = 80 * 8;
constexpr double kLeftPixels = 5;
constexpr double kBottomTwips = 8 * 40 + 340;
constexpr double kStatusTwips = 240;
constexpr double kFontTwips = 160;  // 8 points

QFont plotFont(double scale)
{
    QFont f(QStringLiteral("Helvetica"));
    f.setPixelSize(std::max(6, static_cast<int>(std::lround(kFontTwips * scale))));
    return f;
}

}  // namespace

PowerPlotPainter::PowerPlotPainter(const PowerPicture& picture, const QRectF& target, double unitsPerTwip)
    : m_pic(picture), m_target(target), m_scale(unitsPerTwip > 0 ? unitsPerTwip : 1.0 / 15)
{
    const double rate = picture.result && picture.result->rateHz > 0 ? picture.result->rateHz : picture.rateHz;
    m_range = powerFrequencyRange(picture.parms, rate > 0 ? rate : 2);
    const double left = target.left() + kLeftTwips * m_scale + kLeftPixels;
    const double top = target.top() + kTopTwips * m_scale;
    const double right = std::max(left + 2, target.right() - kRightTwips * m_scale);
    const double bottom = std::max(top + 2, target.bottom() - kBottomTwips * m_scale);
    m_area = QRectF(QPointF(left, top), QPointF(right, bottom));
    m_status = QRectF(QPointF(target.left(), target.bottom() - kStatusTwips * m_scale), target.bottomRight());
}

double PowerPlotPainter::levelMin() const
{
    return m_pic.parms.m_logScale ? m_pic.parms.m_zeroDB : m_pic.parms.m_zeroV;
}

double PowerPlotPainter::levelMax() const
{
    return m_pic.parms.m_logScale ? m_pic.parms.m_maxDB : m_pic.parms.m_maxV;
}

double PowerPlotPainter::xOfFrequency(double hz) const
{
    const double w = m_range.maxHz - m_range.minHz;
    if (!(w > 0))
        return m_area.left();
    const double x = std::floor((hz - m_range.minHz) * (m_area.width() - 2) / w + 0.5) + m_area.left();
    return std::clamp(x, m_area.left(), m_area.right());
}

double PowerPlotPainter::binX(int bin) const
{
    const PowerResult* r = m_pic.result;
    const double x = xOfFrequency(r ? r->binFrequency(bin) : 0);
    if (!r || r->fftSize <= 0)
        return x;
    const auto width = static_cast<std::int64_t>(m_area.width());
    const std::int64_t b = 2 * width / r->fftSize + 1;
    return std::min(x + static_cast<double>(b / 2 + 1), m_area.right());
}

double PowerPlotPainter::frequencyAtX(double x) const
{
    const double span = m_area.width() - 2;
    if (!(span > 0))
        return m_range.minHz;
    return m_range.minHz + (x - m_area.left()) * (m_range.maxHz - m_range.minHz) / span;
}

double PowerPlotPainter::yOfLevel(double level) const
{
    const double span = levelMax() - levelMin();
    if (!(span > 0) || std::isnan(level))
        return m_area.bottom();
    if (std::isinf(level))
        return level < 0 ? m_area.bottom() : m_area.top();
    const double y = m_area.bottom() - (level - levelMin()) / span * m_area.height();
    return std::clamp(y, m_area.top(), m_area.bottom());
}

double PowerPlotPainter::levelAtY(double y) const
{
    if (!(m_area.height() > 0))
        return levelMin();
    return levelMin() + (m_area.bottom() - y) / m_area.height() * (levelMax() - levelMin());
}

int PowerPlotPainter::peakBin() const
{
    const PowerResult* r = m_pic.result;
    if (!r || r->power.empty() || r->fftSize <= 0)
        return -1;
    int best = -1;
    for (int b = 1; b < r->fftSize / 2; ++b) {
        const double f = r->binFrequency(b);
        if (f < m_range.minHz || f > m_range.maxHz)
            continue;
        if (best < 0 || r->power[static_cast<std::size_t>(b)] > r->power[static_cast<std::size_t>(best)])
            best = b;
    }
    return best;
}

void PowerPlotPainter::paint(QPainter& p) const
{
    p.save();
    p.fillRect(m_target, Qt::white);
    drawAxes(p);
    drawCurve(p);
    drawStatus(p);
    p.restore();
}

void PowerPlotPainter::drawAxes(QPainter& p) const
{
    const QFont font = plotFont(m_scale);
    p.setFont(font);
    const QFontMetricsF fm(font);
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(m_area);

    // Level axis: ticks to the left, labels right-aligned 40 twips left of the axis.
    const double tickLen = 60 * m_scale;
    for (const PowerTick& t : powerLevelTicks(m_pic.parms)) {
        const double y = yOfLevel(t.value);
        p.drawLine(QPointF(m_area.left() - tickLen, y), QPointF(m_area.left(), y));
        const QString s = QString::fromStdString(t.label);
        const double w = fm.horizontalAdvance(s);
        p.drawText(QPointF(m_area.left() - 40 * m_scale - tickLen - w, y + fm.ascent() / 2 - 1), s);
    }

    // Frequency axis.
    for (const PowerTick& t : powerFrequencyTicks(m_range)) {
        const double x = xOfFrequency(t.value);
        const double len = (t.labelled ? 100 : 60) * m_scale;
        p.drawLine(QPointF(x, m_area.bottom()), QPointF(x, m_area.bottom() + len));
        if (t.labelled) {
            const QString s = QString::fromStdString(t.label);
            const double w = fm.horizontalAdvance(s);
            p.drawText(QPointF(x - w / 2, m_area.bottom() + 120 * m_scale + fm.ascent()), s);
        }
    }
}

void PowerPlotPainter::drawCurve(QPainter& p) const
{
    const PowerResult* r = m_pic.result;
    if (!r || r->power.size() < 2 || r->fftSize <= 0)
        return;
    const int n = r->fftSize;
    QPolygonF line;
    line.reserve(n / 2 + 1);
    line << QPointF(m_area.left(), m_area.bottom());
    for (int i = 1; i < n / 2; ++i) {
        const double f = r->binFrequency(i);
        if (f < m_range.minHz || f > m_range.maxHz)
            continue;
        const double x = binX(i);
        const double level = powerLevel(r->power[static_cast<std::size_t>(i)], m_pic.parms.m_logScale);
        line << QPointF(x, yOfLevel(level));
    }
    p.save();
    p.setClipRect(m_area.adjusted(-1, -1, 1, 1));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0, 0, 160), std::max(1.0, 15 * m_scale)));
    p.drawPolyline(line);
    p.restore();

    if (m_pic.cursor) {
        const double x = xOfFrequency(m_pic.cursor->x());
        const double y = yOfLevel(m_pic.cursor->y());
        const double arm = 20;
        p.setPen(QPen(QColor(200, 0, 0), 0));
        p.drawLine(QPointF(std::max(m_area.left(), x - arm), y), QPointF(std::min(m_area.right(), x + arm), y));
        p.drawLine(QPointF(x, std::max(m_area.top(), y - arm)), QPointF(x, std::min(m_area.bottom(), y + arm)));
    }
}

void PowerPlotPainter::drawStatus(QPainter& p) const
{
    p.fillRect(m_status, Qt::white);
    const QFont font = plotFont(m_scale);
    p.setFont(font);
    const QFontMetricsF fm(font);
    p.setPen(Qt::black);
    const double base = m_status.top() + (m_status.height() + fm.ascent() - fm.descent()) / 2;
    p.drawText(QPointF(m_status.left() + 4, base), QString::fromStdString(m_pic.message));
    if (m_pic.showRange) {
        const QString s = QString::fromStdString(powerTimeRangeText(m_pic.startMicros, m_pic.endMicros));
        p.drawText(QPointF(m_status.right() - 4 - fm.horizontalAdvance(s), base), s);
    }
}
