#include "render/PlotPainter.h"

#include "display/CursorMarks.h"
#include "document/CVesSoundDoc.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <cmath>

namespace {

QString qs(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QColor toQColor(const VesRgb& c)
{
    return QColor(c.r, c.g, c.b);
}

// Channels of a mark record: 1 left, 2 right, anything else both.
bool markOnChannel(const AnaMarkSave& m, ChannelIndex sampleChannel)
{
    if (m.m_typ == CursorType::MarkingStereo || (m.m_chan != 1 && m.m_chan != 2))
        return true;
    return channelIndexOf(channelSelFromCode(m.m_chan)) == sampleChannel;
}

}  // namespace

// Draws the columns the engine hands over.
class PlotColumnDrawer : public IColumnSink {
public:
    PlotColumnDrawer(const PlotPainter& painter, QPainter& p)
        : m_pp(painter), m_p(p), m_layout(painter.m_layout)
    {
        m_half = (m_layout.penWidthTwips + (painter.m_vector ? 9 : 0)) / 2.0;
        m_ink = QPen(painter.m_colours.ink, painter.penWidth(), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        m_pixel = static_cast<double>(m_layout.device.twipsPerPixel);
    }

    void column(const PlotColumn& c) override
    {
        const double x = static_cast<double>(c.x);
        if (c.hasSpect) {
            const auto& pens = m_pp.m_pens;
            for (int i = 0; i < c.runCount; ++i) {
                const SpectRun& r = c.runs[i];
                if (r.pen < 0 || static_cast<std::size_t>(r.pen) >= pens.size() || r.yHigh <= r.yLow)
                    continue;
                m_pp.fillTwips(m_p, x - m_half, static_cast<double>(r.yHigh), x + m_half,
                               static_cast<double>(r.yLow), pens[static_cast<std::size_t>(r.pen)]);
            }
        }
        if (c.hasOsc) {
            m_p.setPen(m_ink);
            if (c.joinFromPrevious)
                m_pp.lineTwips(m_p, static_cast<double>(c.prevX), static_cast<double>(c.prevMaxY), x,
                               static_cast<double>(c.oscMinY));
            if (c.oscFlat)
                m_pp.lineTwips(m_p, x, static_cast<double>(c.oscMaxY), x + m_pixel + 1, static_cast<double>(c.oscMaxY));
            else
                m_pp.lineTwips(m_p, x, static_cast<double>(c.oscMinY), x, static_cast<double>(c.oscMaxY));
        }
        if (m_layout.showZeroCross)
            zeroCrossing(c, x);
    }

    // Ends an open line of zero-crossing values.
    void finish()
    {
        if (m_inRun)
            endRun();
    }

private:
    void zeroCrossing(const PlotColumn& c, double x)
    {
        const bool line = m_layout.parms.m_freqPlotType != 0;
        if (!c.hasZeroCross) {
            if (line && m_inRun)
                endRun();
            return;
        }
        const double y = static_cast<double>(c.zeroCrossY);
        m_p.setPen(m_ink);
        if (!line) {
            m_pp.lineTwips(m_p, x, y - m_pixel, x, y + m_pixel);
            return;
        }
        if (m_inRun)
            m_pp.lineTwips(m_p, m_lastX, m_lastY, x, y);
        m_inRun = true;
        m_lastX = x;
        m_lastY = y;
    }

    // A run ends with a one-pixel stroke upward at its last point, so that a
    // single value still shows.
    void endRun()
    {
        m_p.setPen(m_ink);
        m_pp.lineTwips(m_p, m_lastX, m_lastY, m_lastX, m_lastY + m_pixel);
        m_inRun = false;
    }

    const PlotPainter& m_pp;
    QPainter& m_p;
    const PlotLayout& m_layout;
    QPen m_ink;
    double m_half = 8;
    double m_pixel = 15;
    bool m_inRun = false;
    double m_lastX = 0, m_lastY = 0;
};

// ---------------------------------------------------------------------------

PlotPainter::PlotPainter(const PlotLayout& layout, CVesSoundDoc& doc)
    : m_layout(layout), m_doc(doc), m_engine(layout)
{
    m_scale = 1.0 / static_cast<double>(std::max<std::int64_t>(1, layout.device.twipsPerPixel));
    if (layout.spect.userMap) {
        for (const VesRgb& c : layout.spect.userPalette.pens())
            m_pens.push_back(toQColor(c));
    } else {
        for (const VesRgb& c : layout.spect.palette)
            m_pens.push_back(toQColor(c));
    }
}

void PlotPainter::setDeviceScale(double unitsPerTwip)
{
    if (unitsPerTwip > 0 && std::isfinite(unitsPerTwip))
        m_scale = unitsPerTwip;
}

void PlotPainter::setVectorOutput(bool on)
{
    m_vector = on;
}

double PlotPainter::penWidth() const
{
    // Lines are one device pixel wide; a pen of a pixel and a twip, as the
    // columns use, would cover two pixels wherever a line falls near a pixel
    // edge.
    const double pixel = static_cast<double>(m_layout.device.twipsPerPixel);
    return (m_vector ? pixel + 10 : pixel) * m_scale;
}

QFont PlotPainter::font(bool small) const
{
    QFont f(QStringLiteral("Helvetica"));
    f.setStyleHint(QFont::SansSerif);
    const int points = std::max(1, m_layout.parms.m_fontSize - (small ? 1 : 0));
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * 20 * m_scale))));
    return f;
}

void PlotPainter::fillTwips(QPainter& p, double left, double top, double right, double bottom, const QColor& c) const
{
    p.fillRect(QRectF(left * m_scale, -top * m_scale, (right - left) * m_scale, (top - bottom) * m_scale), c);
}

void PlotPainter::lineTwips(QPainter& p, double x0, double y0, double x1, double y1) const
{
    p.drawLine(toDevice(x0, y0), toDevice(x1, y1));
}

void PlotPainter::drawText(QPainter& p, const QFont& f, double xTwips, double yTwips, int align,
                           const QString& text) const
{
    const QPointF at = toDevice(xTwips, yTwips);
    const double w = 100000 * m_scale, h = 20000 * m_scale;
    double left = at.x(), top = at.y();
    if (align & Qt::AlignRight)
        left -= w;
    else if (align & Qt::AlignHCenter)
        left -= w / 2;
    if (align & Qt::AlignBottom)
        top -= h;
    else if (align & Qt::AlignVCenter)
        top -= h / 2;
    p.setFont(f);
    p.drawText(QRectF(left, top, w, h), align | Qt::TextDontClip | Qt::TextSingleLine, text);
}

// ---------------------------------------------------------------------------
// Conversions

QSizeF PlotPainter::deviceSize() const
{
    return {static_cast<double>(m_layout.device.widthTwips) * m_scale,
            static_cast<double>(m_layout.device.heightTwips) * m_scale};
}

std::int64_t PlotPainter::toTwipsX(double deviceX) const
{
    return std::llround(deviceX / m_scale);
}

std::int64_t PlotPainter::toTwipsY(double deviceY) const
{
    return -std::llround(deviceY / m_scale);
}

std::pair<int, int> PlotPainter::columnsBetween(double deviceX0, double deviceX1) const
{
    const double tpp = static_cast<double>(m_layout.device.twipsPerPixel);
    const double left = static_cast<double>(m_layout.plotLeft);
    // A column's stroke is centred on its x and reaches half a pen either side.
    const double reach = penWidth() / m_scale / 2;
    const double first = std::floor((deviceX0 / m_scale - left - reach) / tpp);
    const double end = std::floor((deviceX1 / m_scale - left + reach) / tpp) + 1;
    const double cols = m_layout.columns;
    return {static_cast<int>(std::clamp(first, 0.0, cols)), static_cast<int>(std::clamp(end, 0.0, cols))};
}

PlotPoint PlotPainter::pointAt(QPointF device) const
{
    PlotPoint pt;
    pt.xTwips = toTwipsX(device.x());
    pt.yTwips = toTwipsY(device.y());
    pt.sample = m_layout.xToSample(pt.xTwips);
    pt.timeNs = m_layout.sampleToTimeNs(pt.sample);
    for (std::size_t i = 0; i < m_layout.channels.size(); ++i) {
        const ChannelPanes& ch = m_layout.channels[i];
        const TwipsRect win = ch.window;
        if (pt.yTwips > win.top || pt.yTwips < win.bottom)
            continue;
        pt.channelIndex = static_cast<int>(i);
        pt.channel = ch.channel;
        if (!ch.oscPane.empty() && ch.oscPane.contains(pt.xTwips, pt.yTwips)) {
            pt.pane = 3;
            pt.hasAmplitude = true;
            pt.amplitude = m_layout.yToAmplitude(pt.yTwips, ch.oscPane);
        } else if (!ch.freqPane.empty() && ch.freqPane.contains(pt.xTwips, pt.yTwips)) {
            pt.pane = m_layout.showZeroCross ? 2 : 1;
            pt.hasFrequency = true;
            pt.frequencyHz = m_layout.yToFrequency(pt.yTwips, ch.freqPane);
        }
        break;
    }
    return pt;
}

double PlotPainter::sampleToDeviceX(double sample) const
{
    return m_layout.sampleToX(sample) * m_scale;
}

double PlotPainter::frequencyToDeviceY(double hz, std::size_t channelIndex) const
{
    if (channelIndex >= m_layout.channels.size())
        return 0;
    return -static_cast<double>(m_layout.frequencyToY(hz, m_layout.channels[channelIndex].freqPane)) * m_scale;
}

double PlotPainter::amplitudeToDeviceY(double amplitude, std::size_t channelIndex) const
{
    if (channelIndex >= m_layout.channels.size())
        return 0;
    return -static_cast<double>(m_layout.amplitudeToY(amplitude, m_layout.channels[channelIndex].oscPane)) * m_scale;
}

// ---------------------------------------------------------------------------
// Drawing

bool PlotPainter::paint(QPainter& p, int firstColumn, int endColumn)
{
    p.save();
    const QSizeF size = deviceSize();
    p.fillRect(QRectF(0, 0, size.width(), size.height()), m_colours.background);
    p.restore();
    drawAxes(p, true);
    const bool ok = drawColumns(p, firstColumn, endColumn);
    drawAxes(p, false);
    if (m_marksInPaint)
        drawMarks(p);
    return ok;
}

bool PlotPainter::drawColumns(QPainter& p, int firstColumn, int endColumn)
{
    m_framesComputed = 0;
    if (m_layout.plotWidth <= 0 || m_layout.samplesPerPlot <= 0)
        return true;
    bool ok = true;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (std::size_t i = 0; i < m_layout.channels.size(); ++i) {
        const ChannelPanes& ch = m_layout.channels[i];
        // Nothing of the data reaches beyond its panes.
        p.save();
        QRectF clip;
        for (const TwipsRect* r : {&ch.oscPane, &ch.freqPane})
            if (!r->empty())
                clip |= QRectF(toDevice(static_cast<double>(r->left), static_cast<double>(r->top)),
                               toDevice(static_cast<double>(r->right), static_cast<double>(r->bottom)));
        p.setClipRect(clip, Qt::IntersectClip);
        PlotColumnDrawer drawer(*this, p);
        ok = m_engine.compute(m_doc, i, firstColumn, endColumn, drawer, m_drawableEnd) && ok;
        drawer.finish();
        m_framesComputed += m_engine.framesComputed();
        p.restore();
    }
    p.restore();
    return ok;
}

void PlotPainter::drawAxes(QPainter& p, bool grids)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const ChannelPanes& ch : m_layout.channels) {
        if (grids)
            drawPaneGrids(p, ch);
        else
            drawChannelAxes(p, ch);
    }
    p.restore();
}

void PlotPainter::drawPaneGrids(QPainter& p, const ChannelPanes& ch)
{
    const PlotLayout& L = m_layout;
    const VesAnaParms& parms = L.parms;
    QPen pen(m_colours.grid, penWidth(), Qt::DotLine, Qt::FlatCap);
    pen.setCosmetic(false);
    p.setPen(pen);
    auto grid = [&](const TwipsRect& pane, int timeLines, const std::vector<std::int64_t>& ys) {
        if (pane.empty())
            return;
        for (std::int64_t x : L.timeGrid(timeLines))
            if (x > pane.left && x < pane.right)
                lineTwips(p, static_cast<double>(x), static_cast<double>(pane.top), static_cast<double>(x),
                          static_cast<double>(pane.bottom));
        for (std::int64_t y : ys)
            if (y > pane.bottom && y < pane.top)
                lineTwips(p, static_cast<double>(pane.left), static_cast<double>(y), static_cast<double>(pane.right),
                          static_cast<double>(y));
    };
    if (!ch.oscPane.empty())
        grid(ch.oscPane, parms.m_oscGridX, L.amplitudeGrid(parms.m_oscGridY, ch.oscPane));
    if (!ch.freqPane.empty()) {
        const bool zc = L.showZeroCross;
        grid(ch.freqPane, zc ? parms.m_freqGridX : parms.m_spectGridX,
             L.frequencyGrid(zc ? parms.m_freqGridY : parms.m_spectGridY, ch.freqPane));
    }
}

void PlotPainter::drawChannelAxes(QPainter& p, const ChannelPanes& ch)
{
    const PlotLayout& L = m_layout;
    const QPen ink(m_colours.ink, penWidth(), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    p.setPen(ink);
    p.setBrush(Qt::NoBrush);
    const QFont big = font(false);
    auto frame = [&](const TwipsRect& r) {
        const double l = static_cast<double>(r.left), t = static_cast<double>(r.top);
        const double rt = static_cast<double>(r.right), b = static_cast<double>(r.bottom);
        lineTwips(p, l, t, rt, t);
        lineTwips(p, rt, t, rt, b);
        lineTwips(p, rt, b, l, b);
        lineTwips(p, l, b, l, t);
    };
    auto ticks = [&](const std::vector<PlotTick>& list, bool vertical, int labelAlign) {
        for (const PlotTick& t : list) {
            const double pos = static_cast<double>(t.pos);
            if (vertical)
                lineTwips(p, pos, static_cast<double>(t.from), pos, static_cast<double>(t.to));
            else
                lineTwips(p, static_cast<double>(t.from), pos, static_cast<double>(t.to), pos);
            if (t.labelled && !vertical)
                drawText(p, big, static_cast<double>(t.textPos), pos, labelAlign, qs(t.text));
        }
    };

    if (!ch.oscPane.empty()) {
        frame(ch.oscPane);
        ticks(L.amplitudeTicks(ch.oscPane), false, Qt::AlignRight | Qt::AlignVCenter);
        drawText(p, big, static_cast<double>(ch.titleX), static_cast<double>(ch.oscTitleY),
                 Qt::AlignLeft | Qt::AlignBottom, qs(ch.oscTitle));
    }
    if (!ch.freqPane.empty()) {
        frame(ch.freqPane);
        ticks(L.frequencyTicks(ch.freqPane), false, Qt::AlignRight | Qt::AlignVCenter);
        drawText(p, big, static_cast<double>(ch.titleX), static_cast<double>(ch.freqTitleY),
                 Qt::AlignLeft | Qt::AlignBottom, qs(ch.freqTitle));
    }
    drawTimeAxis(p, ch);
    if (!ch.colourBar.empty())
        drawColourBar(p, ch);
}

void PlotPainter::drawTimeAxis(QPainter& p, const ChannelPanes& ch)
{
    const PlotLayout& L = m_layout;
    const double left = static_cast<double>(L.plotLeft), right = static_cast<double>(L.plotLeft + L.plotWidth);
    const double axis = static_cast<double>(ch.timeAxisY);
    const QFont big = font(false);
    lineTwips(p, left, axis, right, axis);
    const std::vector<PlotTick> ticks = L.timeTicks(ch);
    const double second = static_cast<double>(ch.secondTickRowY - ch.timeAxisY);
    const bool bothPanes = !ch.oscPane.empty() && !ch.freqPane.empty();
    const QFontMetricsF fm(big, p.device());
    for (const PlotTick& t : ticks) {
        const double x = static_cast<double>(t.pos);
        lineTwips(p, x, static_cast<double>(t.from), x, static_cast<double>(t.to));
        if (bothPanes)
            lineTwips(p, x, static_cast<double>(t.from) + second, x, static_cast<double>(t.to) + second);
        if (!t.labelled)
            continue;
        // The number is centred on its tick; the unit after the last one
        // follows it. A label that would leave the window is moved in.
        const QString text = qs(t.text);
        const qsizetype blank = text.indexOf(QLatin1Char(' '));
        const QString number = blank < 0 ? text : text.left(blank);
        const double numberWidth = fm.horizontalAdvance(number) / m_scale;
        const double fullWidth = fm.horizontalAdvance(text) / m_scale;
        double textLeft = x - numberWidth / 2;
        textLeft = std::min(textLeft, static_cast<double>(ch.window.right) - fullWidth - 20);
        textLeft = std::max(textLeft, static_cast<double>(ch.window.left) + 20);
        drawText(p, big, textLeft, static_cast<double>(t.textPos), Qt::AlignLeft | Qt::AlignTop, text);
    }
    if (!bothPanes)
        return;
    // Both panes: the end time above the right end of the axis, the step per
    // division below it (left of the colour bar when there is one).
    const TimeDivisionTexts texts = L.timeDivisionTexts();
    const double fontTwips = L.parms.m_fontSize * 20.0;
    drawText(p, big, right - 60, axis + fontTwips + 140, Qt::AlignRight | Qt::AlignTop, qs(texts.endText));
    double stepRight = right;
    if (!ch.colourBar.empty())
        stepRight = static_cast<double>(ch.colourBar.left) - 200;
    drawText(p, big, stepRight, axis - 60, Qt::AlignRight | Qt::AlignTop, qs(texts.stepText));
    if (!texts.stepUnitLine.empty())
        drawText(p, big, stepRight, axis - 60 - fontTwips - 40, Qt::AlignRight | Qt::AlignTop,
                 qs(texts.stepUnitLine));
}

void PlotPainter::drawColourBar(QPainter& p, const ChannelPanes& ch)
{
    const PlotLayout& L = m_layout;
    const ColourBarLayout bar = L.colourBar(ch);
    const TwipsRect& s = bar.strip;
    if (s.empty())
        return;
    // The strip holds the scale on top (labels, then ticks) and the colours
    // below it.
    const QFont small = font(true);
    const QFontMetricsF fm(small, p.device());
    const double labelTwips = fm.height() / m_scale;
    const double tickTwips = 40;
    const double scaleTwips = std::min(labelTwips + tickTwips + 20, static_cast<double>(s.height()) / 2);
    const double colourTop = static_cast<double>(s.top) - scaleTwips;
    const double bottom = static_cast<double>(s.bottom);
    const double half = static_cast<double>(L.penWidthTwips + (m_vector ? 9 : 0)) / 2;

    p.save();
    p.setClipRect(QRectF(toDevice(static_cast<double>(s.left), colourTop), toDevice(static_cast<double>(s.right), bottom)),
                  Qt::IntersectClip);
    if (L.spect.userMap) {
        for (const ColourBarLayout::Line& line : bar.userLines)
            if (line.pen >= 0 && static_cast<std::size_t>(line.pen) < m_pens.size())
                fillTwips(p, static_cast<double>(line.x) - half, colourTop, static_cast<double>(line.x) + half, bottom,
                          m_pens[static_cast<std::size_t>(line.pen)]);
    } else {
        for (const ColourBarLayout::Band& b : bar.bands)
            if (b.index >= 0 && static_cast<std::size_t>(b.index) < m_pens.size())
                fillTwips(p, static_cast<double>(b.xLeft), colourTop, static_cast<double>(b.xRight), bottom,
                          m_pens[static_cast<std::size_t>(b.index)]);
    }
    p.restore();

    p.setPen(QPen(m_colours.ink, penWidth(), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    for (const PlotTick& t : bar.ticks) {
        const double x = static_cast<double>(t.pos);
        lineTwips(p, x, colourTop, x, colourTop + tickTwips);
        if (t.labelled)
            drawText(p, small, x, colourTop + tickTwips + 10, Qt::AlignHCenter | Qt::AlignBottom, qs(t.text));
    }
    const double l = static_cast<double>(s.left), r = static_cast<double>(s.right);
    lineTwips(p, l, colourTop, r, colourTop);
    lineTwips(p, r, colourTop, r, bottom);
    lineTwips(p, r, bottom, l, bottom);
    lineTwips(p, l, bottom, l, colourTop);
}

// ---------------------------------------------------------------------------
// Marks

void PlotPainter::drawMarks(QPainter& p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const auto& marks = m_doc.marks();
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const AnaMarkSave& m = marks[i];
        if (m.m_show)
            drawMark(p, m, m.m_select || static_cast<int>(i) == m_doc.activeMark());
    }
    p.restore();
}

void PlotPainter::drawMark(QPainter& p, const AnaMarkSave& m, bool active)
{
    const PlotLayout& L = m_layout;
    const double x = L.sampleToX(static_cast<double>(m.m_posX));
    const double left = static_cast<double>(L.plotLeft), right = static_cast<double>(L.plotLeft + L.plotWidth);
    if (!(x >= left && x <= right))
        return;
    const bool measurement = isMeasurementType(m.m_typ) && !m.m_anyY;
    const bool hasValue = !m.m_anyY;
    const double pixel = static_cast<double>(L.device.twipsPerPixel);
    QPen pen(active ? m_colours.activeMark : m_colours.mark, penWidth(), Qt::DotLine, Qt::FlatCap);
    const QFont big = font(false);

    for (const ChannelPanes& ch : L.channels) {
        if (!markOnChannel(m, ch.channel))
            continue;
        const TwipsRect* pane = nullptr;  // where the mark's value lies
        double y = 0;
        if (hasValue && m.m_spect && !ch.freqPane.empty()) {
            pane = &ch.freqPane;
            y = static_cast<double>(L.frequencyToY(static_cast<double>(m.m_posY), ch.freqPane));
        } else if (hasValue && !m.m_spect && !ch.oscPane.empty()) {
            pane = &ch.oscPane;
            y = static_cast<double>(L.amplitudeToY(static_cast<double>(m.m_posY), ch.oscPane));
        }
        if (measurement && pane == nullptr)
            continue;  // its pane is not shown here
        p.setPen(pen);
        double labelX = x + 2 * pixel, labelBottom = 0;
        if (!measurement) {
            // A time mark: a line across the panes, and a short stroke at its
            // frequency when it has one.
            for (const TwipsRect* r : {&ch.freqPane, &ch.oscPane})
                if (!r->empty())
                    lineTwips(p, x, static_cast<double>(r->top), x, static_cast<double>(r->bottom));
            if (pane == &ch.freqPane)
                lineTwips(p, x - 400, y, x + 400, y);
            const TwipsRect& top = ch.oscPane.empty() ? ch.freqPane : ch.oscPane;
            labelBottom = pane ? y + pixel : static_cast<double>(top.top) - pixel - L.parms.m_fontSize * 24.0;
        } else if (m.m_typ == CursorType::LargeMeasurement) {
            lineTwips(p, left, y, right, y);
            lineTwips(p, x, static_cast<double>(pane->top), x, static_cast<double>(pane->bottom));
            labelBottom = y + pixel;
        } else {
            const double arm = 20 * pixel;
            lineTwips(p, x - arm, y, x + arm, y);
            lineTwips(p, x, y - arm, x, y + arm);
            labelBottom = y + pixel;
        }
        if (m.m_showLabel && !m.m_label.empty()) {
            const QString text = qs(m.m_label);
            const QFontMetricsF fm(big, p.device());
            const double w = fm.horizontalAdvance(text) / m_scale, h = fm.height() / m_scale;
            fillTwips(p, labelX, labelBottom + h, labelX + w, labelBottom, m_colours.background);
            p.setPen(QPen(active ? m_colours.activeMark : m_colours.mark));
            drawText(p, big, labelX, labelBottom, Qt::AlignLeft | Qt::AlignBottom, text);
        }
    }
}
