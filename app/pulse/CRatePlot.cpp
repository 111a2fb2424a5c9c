#include "pulse/CRatePlot.h"

#include "core/NumberText.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

CRatePlot::CRatePlot(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VpChild"));
    setAccessibleName(QStringLiteral("Histogram plot"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CRatePlot::setStatus(const std::string& text)
{
    m_status = text;
    m_picture.status = text;
    update();
}

void CRatePlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    painterForSize().paint(p);
}

std::string CRatePlot::pointText(const QPointF& at, const char* countFormat) const
{
    const RatePlotPainter rp = painterForSize();
    const double t = rp.timeAtX(at.x());
    const long long count = std::llround(rp.countAtY(at.y()));
    const std::int64_t step = m_picture.histogram ? m_picture.histogram->axisRangeUs : 1000;
    char buf[48];
    vkit::snprintfC(buf, sizeof buf, countFormat, count);
    return rateTimeLabel(static_cast<std::int64_t>(std::llround(t)), step, RateTimeText::Readout) + buf;
}

void CRatePlot::mousePressEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    if (event->button() != Qt::LeftButton || !painterForSize().plotArea().contains(at))
        return;
    m_picture.marker = at;
    m_status = pointText(at, " #%lld");
    m_picture.status = m_status;
    setAccessibleDescription(QString::fromStdString(m_status));
    update();
}

void CRatePlot::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    if (!painterForSize().plotArea().contains(at)) {
        unsetCursor();
        if (!m_picture.status.empty()) {
            m_picture.status.clear();
            update();
        }
        return;
    }
    setCursor(Qt::CrossCursor);
    m_picture.status = pointText(at, ", #%lld ");
    update();
}

void CRatePlot::leaveEvent(QEvent*)
{
    unsetCursor();
    m_picture.status = m_status;
    update();
}
