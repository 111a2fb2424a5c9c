#include "power/CPowerPlot.h"

#include <QMouseEvent>
#include <QPainter>

CPowerPlot::CPowerPlot(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VpChild"));
    setAccessibleName(QStringLiteral("Power spectrum plot"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PowerPlotPainter CPowerPlot::painterForSize() const
{
    return PowerPlotPainter(m_picture, QRectF(rect()));
}

void CPowerPlot::setMessage(const std::string& text)
{
    m_message = text;
    m_picture.message = text;
    update();
}

void CPowerPlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    painterForSize().paint(p);
}

void CPowerPlot::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const PowerPlotPainter pp = painterForSize();
    const QPointF at = event->position();
    if (!pp.plotArea().contains(at))
        return;
    const double hz = pp.frequencyAtX(at.x());
    const double level = pp.levelAtY(at.y());
    m_picture.cursor = QPointF(hz, level);
    m_picture.message = powerClickReadout(hz, level, m_picture.parms, pp.range());
    setAccessibleDescription(QString::fromStdString(m_picture.message));
    update();
}

void CPowerPlot::mouseMoveEvent(QMouseEvent* event)
{
    const PowerPlotPainter pp = painterForSize();
    const QPointF at = event->position();
    if (!pp.plotArea().contains(at)) {
        if (m_picture.message != m_message) {
            m_picture.message = m_message;
            unsetCursor();
            update();
        }
        return;
    }
    setCursor(Qt::CrossCursor);
    const double hz = pp.frequencyAtX(at.x());
    const double level = pp.levelAtY(at.y());
    const bool set = m_picture.cursor.has_value();
    m_picture.message = powerMoveReadout(hz, level, m_picture.parms, pp.range(), set,
                                         set ? m_picture.cursor->x() : 0, set ? m_picture.cursor->y() : 0);
    setAccessibleDescription(QString::fromStdString(m_picture.message));
    update();
}

void CPowerPlot::leaveEvent(QEvent*)
{
    m_picture.message = m_message;
    unsetCursor();
    update();
}
