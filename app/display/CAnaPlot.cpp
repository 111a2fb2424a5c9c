#include "display/CAnaPlot.h"

#include "display/CAnaPlotAccessible.h"

#include "document/CVesSoundDoc.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QStringList>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

CAnaPlot::CAnaPlot(CVesSoundDoc& doc, VesAnaParms& parms, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_parms(parms)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(120, 80);
    // Before anything asks for the plot's accessible interface (a name change does).
    installPlotAccessibility();
    setAccessibleName(QStringLiteral("Analysis plot"));
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &CAnaPlot::onTimer);
}

CAnaPlot::~CAnaPlot() = default;

std::int64_t CAnaPlot::twipsFor10000Pixels() const
{
    const int dpi = std::max(1, logicalDpiX());
    return std::int64_t(10000) * 1440 / dpi;
}

void CAnaPlot::prepareLayout()
{
    m_painter.reset();
    m_layout = PrepareLayout(m_parms, SoundInfo::of(m_doc),
                             PlotDevice::fromScreen(width(), height(), twipsFor10000Pixels()));
    m_painter = std::make_unique<PlotPainter>(m_layout, m_doc);
    m_painter->setMarksInPaint(false);  // drawn over the picture
    // The panes shown, for screen readers (the panes are parts of this widget).
    QStringList panes;
    for (const ChannelPanes& ch : m_layout.channels) {
        if (!ch.oscPane.empty())
            panes << QString::fromStdString(ch.oscTitle);
        if (!ch.freqPane.empty())
            panes << QString::fromStdString(ch.freqTitle);
    }
    setAccessibleDescription(QStringLiteral("Panes: ") + panes.join(QStringLiteral("; ")));
    if (m_live)
        m_painter->setDrawableEnd(std::max<std::int64_t>(0, m_doc.lengthFrames() - m_layout.spect.fftSize));
    if (m_image.size() != size())
        m_image = QImage(size(), QImage::Format_RGB32);
    m_stale = QRegion(rect());
}

void CAnaPlot::invalidate(const QRegion& region)
{
    m_stale += region;
    update(region);
}

void CAnaPlot::requestRepaint()
{
    requestRepaint(rect());
}

void CAnaPlot::requestRepaint(const QRect& r)
{
    const QRect rr = r.normalized().intersected(rect());
    if (m_live || !m_deferred) {
        invalidate(rr.isEmpty() ? QRegion(rect()) : QRegion(rr));
        return;
    }
    m_pending += rr;
    m_timer.start(m_layout.showSpect ? kSpectrogramDelayMs : kOtherDelayMs);
}

void CAnaPlot::onTimer()
{
    m_timer.stop();
    m_deferred = false;
    const QRegion r = m_pending.isEmpty() ? QRegion(rect()) : m_pending;
    m_pending = QRegion();
    invalidate(r);
}

QRect CAnaPlot::columnsOfFrames(std::int64_t firstFrame, std::int64_t endFrame) const
{
    if (!m_painter)
        return {};
    const double x0 = m_painter->sampleToDeviceX(static_cast<double>(firstFrame));
    const double x1 = m_painter->sampleToDeviceX(static_cast<double>(endFrame));
    const int left = static_cast<int>(std::floor(std::min(x0, x1))) - 1;
    const int right = static_cast<int>(std::ceil(std::max(x0, x1))) + 1;
    return QRect(QPoint(left, 0), QPoint(right, height() - 1)).intersected(rect());
}

void CAnaPlot::setLiveMode(bool on)
{
    m_live = on;
    if (m_painter)
        m_painter->setDrawableEnd(on ? std::max<std::int64_t>(0, m_doc.lengthFrames() - m_layout.spect.fftSize) : -1);
    if (on) {
        m_timer.stop();
        m_deferred = false;
        if (!m_pending.isEmpty()) {
            invalidate(m_pending);
            m_pending = QRegion();
        }
    }
}

int CAnaPlot::hitTest(const QPoint& pos) const
{
    return m_layout.hitTest(pos.x(), pos.y());
}

PlotPoint CAnaPlot::pointAt(const QPoint& pos) const
{
    return m_painter ? m_painter->pointAt(QPointF(pos)) : PlotPoint{};
}

QRect CAnaPlot::selectionRect(const ChannelPanes& ch) const
{
    if (!m_selection || !m_painter)
        return {};
    // A selection made on one channel shows in that channel's half only.
    if (m_layout.bothChannels && m_selection->channel != ChannelSel::Both &&
        channelIndexOf(m_selection->channel) != ch.channel)
        return {};
    std::int64_t top = 0, bottom = 0;
    bool any = false;
    for (const TwipsRect* pane : {&ch.oscPane, &ch.freqPane}) {
        if (pane->empty())
            continue;
        top = any ? std::max(top, pane->top) : pane->top;
        bottom = any ? std::min(bottom, pane->bottom) : pane->bottom;
        any = true;
    }
    if (!any)
        return {};
    const double scale = m_painter->deviceScale();
    const double plotLeft = static_cast<double>(m_layout.plotLeft) * scale;
    const double plotRight = static_cast<double>(m_layout.plotLeft + m_layout.plotWidth) * scale;
    const double left = std::max(m_painter->sampleToDeviceX(static_cast<double>(m_selection->first())), plotLeft);
    const double right = std::min(m_painter->sampleToDeviceX(static_cast<double>(m_selection->last())), plotRight);
    if (right <= left)
        return {};
    double yTop = -static_cast<double>(top) * scale, yBottom = -static_cast<double>(bottom) * scale;
    if (!m_selection->timeOnly) {
        // A rectangle in the pane it was made in.
        const std::size_t i = static_cast<std::size_t>(&ch - m_layout.channels.data());
        const TwipsRect& pane = m_selection->inFrequencyPane ? ch.freqPane : ch.oscPane;
        if (pane.empty())
            return {};
        const double y0 = m_selection->inFrequencyPane ? m_painter->frequencyToDeviceY(m_selection->low, i)
                                                       : m_painter->amplitudeToDeviceY(m_selection->low, i);
        const double y1 = m_selection->inFrequencyPane ? m_painter->frequencyToDeviceY(m_selection->high, i)
                                                       : m_painter->amplitudeToDeviceY(m_selection->high, i);
        yTop = std::min(y0, y1);
        yBottom = std::max(y0, y1);
        if (yBottom - yTop < 1)
            yBottom = yTop + 1;
    }
    return QRectF(QPointF(left, yTop), QPointF(right, yBottom)).toAlignedRect();
}

void CAnaPlot::setSelection(const std::optional<ViewSelection>& selection)
{
    QRegion old;
    for (const ChannelPanes& ch : m_layout.channels)
        old += selectionRect(ch);
    m_selection = selection;
    QRegion now;
    for (const ChannelPanes& ch : m_layout.channels)
        now += selectionRect(ch);
    update(old.united(now));
}

void CAnaPlot::setCursorOverlay(const CursorRecord& cursor)
{
    if (cursor == m_cursor)
        return;
    m_cursor = cursor;
    update();
}

void CAnaPlot::drawCursor(QPainter& p, const CursorRecord& c, bool inverting) const
{
    if (!c.isSet() || !m_painter)
        return;
    const double scale = m_painter->deviceScale();
    const double x = m_painter->sampleToDeviceX(static_cast<double>(c.position));
    const double plotLeft = static_cast<double>(m_layout.plotLeft) * scale;
    const double plotRight = static_cast<double>(m_layout.plotLeft + m_layout.plotWidth) * scale;
    if (c.type == CursorType::Level) {
        // The level cursor: a dashed line across the oscillogram at its amplitude.
        if (!c.hasValue)
            return;
        p.save();
        p.setPen(QPen(QColor(255, 0, 255), 1, Qt::DashLine));
        for (std::size_t i = 0; i < m_layout.channels.size(); ++i)
            if (!m_layout.channels[i].oscPane.empty()) {
                const double y = m_painter->amplitudeToDeviceY(static_cast<double>(c.value), i);
                p.drawLine(QPointF(plotLeft, y), QPointF(plotRight, y));
            }
        p.restore();
        return;
    }
    const bool measurement = isMeasurementType(c.type) && c.hasValue;
    if (!measurement && (x < plotLeft || x > plotRight))
        return;
    QVarLengthArray<QLineF, 8> lines;
    for (std::size_t i = 0; i < m_layout.channels.size(); ++i) {
        const ChannelPanes& ch = m_layout.channels[i];
        if (m_layout.bothChannels && c.channel != ChannelSel::Both && c.type != CursorType::MarkingStereo &&
            channelIndexOf(c.channel) != ch.channel)
            continue;
        auto yOf = [&](std::int64_t twips) { return -static_cast<double>(twips) * scale; };
        if (!measurement) {
            for (const TwipsRect* pane : {&ch.freqPane, &ch.oscPane})
                if (!pane->empty())
                    lines.append(QLineF(QPointF(x, yOf(pane->top)), QPointF(x, yOf(pane->bottom))));
            if (c.hasValue && c.inFrequencyPane && !ch.freqPane.empty()) {
                const double y = m_painter->frequencyToDeviceY(static_cast<double>(c.value), i);
                const double half = 400 * scale;
                lines.append(QLineF(QPointF(x - half, y), QPointF(x + half, y)));
            }
            continue;
        }
        const TwipsRect& pane = c.inFrequencyPane ? ch.freqPane : ch.oscPane;
        if (pane.empty())
            continue;
        const double y = c.inFrequencyPane ? m_painter->frequencyToDeviceY(static_cast<double>(c.value), i)
                                           : m_painter->amplitudeToDeviceY(static_cast<double>(c.value), i);
        if (c.type == CursorType::LargeMeasurement) {
            lines.append(QLineF(QPointF(plotLeft, y), QPointF(plotRight, y)));
            lines.append(QLineF(QPointF(x, yOf(pane.top)), QPointF(x, yOf(pane.bottom))));
        } else {
            lines.append(QLineF(QPointF(x - 20, y), QPointF(x + 20, y)));
            lines.append(QLineF(QPointF(x, y - 20), QPointF(x, y + 20)));
        }
    }
    p.save();
    p.setClipRect(QRectF(QPointF(plotLeft, 0), QPointF(plotRight + 1, height())), Qt::IntersectClip);
    if (inverting) {
        // The exclusive-or of white: visible on every palette, gone on the next paint.
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(Qt::white, 1));
    } else {
        p.setPen(QPen(Qt::white, 3));
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
        p.setPen(QPen(Qt::black, 1));
    }
    p.drawLines(lines.data(), static_cast<int>(lines.size()));
    p.restore();
}

void CAnaPlot::paintEvent(QPaintEvent* event)
{
    QElapsedTimer clock;
    clock.start();
    QPainter p(this);
    if (!m_painter || m_image.isNull() || m_image.size() != size()) {
        p.fillRect(event->rect(), Qt::white);
        return;
    }
    const QRegion todo = m_stale.intersected(event->region());
    if (!todo.isEmpty()) {
        const QRect r = todo.boundingRect();
        QPainter ip(&m_image);
        ip.setClipRect(r);
        const auto [first, end] = m_painter->columnsBetween(r.left(), r.right() + 1);
        // A full drawing of a long spectrogram can take a while.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_painter->paint(ip, first, end);
        QGuiApplication::restoreOverrideCursor();
        m_stale -= r;
        ++m_dataPaints;
        if (!m_live)
            m_deferred = true;
    }
    p.drawImage(event->rect(), m_image, event->rect());
    if (m_selection) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        for (const ChannelPanes& ch : m_layout.channels) {
            const QRect s = selectionRect(ch);
            if (!s.isEmpty())
                p.fillRect(s, Qt::white);
        }
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    m_painter->drawMarks(p);
    drawCursor(p, m_cursor, true);
    if (m_playCursor >= 0) {
        // A dashed cyan line: the picture under it stays readable between the dashes.
        const QRect r = playCursorRect();
        if (!r.isEmpty()) {
            p.save();
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            p.setPen(QPen(QColor(kPlayCursorColor), 1, Qt::DashLine));
            const int x = r.left() + 1;
            p.drawLine(QPoint(x, r.top()), QPoint(x, r.bottom()));
            p.restore();
        }
    }
    drawDetectorCursor(p);
    m_lastPaintMicros = clock.nsecsElapsed() / 1000;
}

QRect CAnaPlot::playCursorRect() const
{
    if (m_playCursor < 0 || !m_painter)
        return {};
    const double scale = m_painter->deviceScale();
    const double plotLeft = static_cast<double>(m_layout.plotLeft) * scale;
    const double plotRight = static_cast<double>(m_layout.plotLeft + m_layout.plotWidth) * scale;
    const double x = m_painter->sampleToDeviceX(static_cast<double>(m_playCursor));
    if (x < plotLeft || x > plotRight)
        return {};
    return QRect(static_cast<int>(x) - 1, 0, 2, height());
}

void CAnaPlot::setDetectorCursor(std::int64_t frame, double frequencyHz)
{
    if (frame == m_detectorFrame && frequencyHz == m_detectorHz)
        return;
    m_detectorFrame = frame;
    m_detectorHz = frequencyHz;
    update();  // drawn over the picture: nothing is recomputed
}

void CAnaPlot::drawDetectorCursor(QPainter& p) const
{
    if (m_detectorFrame < 0 || !m_painter)
        return;
    const double scale = m_painter->deviceScale();
    const double plotLeft = static_cast<double>(m_layout.plotLeft) * scale;
    const double plotRight = static_cast<double>(m_layout.plotLeft + m_layout.plotWidth) * scale;
    const double x = m_painter->sampleToDeviceX(static_cast<double>(m_detectorFrame));
    if (x < plotLeft || x > plotRight)
        return;
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setPen(QPen(QColor(0, 170, 0), 1, Qt::DashLine));
    p.drawLine(QPointF(x, 0), QPointF(x, height()));
    p.setPen(QPen(QColor(0, 170, 0), 2));
    for (std::size_t i = 0; i < m_layout.channels.size(); ++i) {
        const TwipsRect& pane = m_layout.channels[i].freqPane;
        if (pane.empty())
            continue;
        const double y = m_painter->frequencyToDeviceY(m_detectorHz, i);
        p.drawLine(QPointF(std::max(plotLeft, x - 30), y), QPointF(std::min(plotRight, x + 30), y));
        p.drawEllipse(QPointF(x, y), 4, 4);
    }
    p.restore();
}

void CAnaPlot::setPlayCursor(std::int64_t frame)
{
    if (frame == m_playCursor)
        return;
    const QRect old = playCursorRect();
    m_playCursor = frame;
    update(QRegion(old).united(playCursorRect()));
}

void CAnaPlot::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    prepareLayout();
    emit layoutChanged();
}

void CAnaPlot::mousePressEvent(QMouseEvent* event)
{
    emit mousePressed(event);
}

void CAnaPlot::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMoved(event);
}

void CAnaPlot::mouseReleaseEvent(QMouseEvent* event)
{
    emit mouseReleased(event);
}

void CAnaPlot::contextMenuEvent(QContextMenuEvent* event)
{
    emit contextMenuRequested(event->globalPos(), hitTest(event->pos()));
}
