#include "display/CAnaPlot.h"

#include "document/CVesSoundDoc.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

CAnaPlot::CAnaPlot(CVesSoundDoc& doc, VesAnaParms& parms, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_parms(parms)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(120, 80);
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
    return QRectF(QPointF(left, -static_cast<double>(top) * scale), QPointF(right, -static_cast<double>(bottom) * scale))
        .toAlignedRect();
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

void CAnaPlot::paintEvent(QPaintEvent* event)
{
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
        m_painter->paint(ip, first, end);
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
    }
    if (m_playCursor >= 0) {
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        const QRect r = playCursorRect();
        if (!r.isEmpty())
            p.fillRect(r, QColor(220, 0, 0));
    }
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
