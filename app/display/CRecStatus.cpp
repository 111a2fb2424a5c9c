#include "display/CRecStatus.h"

#include "display/ViewPolicy.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {
QFont stripFont()
{
    QFont f(QStringLiteral("Helvetica"), 8);
    f.setStyleHint(QFont::SansSerif);
    return f;
}
}  // namespace

CRecStatus::CRecStatus(QWidget* parent) : QWidget(parent)
{
    setFont(stripFont());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(std::max(15, QFontMetrics(font()).height() + 2));
}

QSize CRecStatus::sizeHint() const
{
    return {400, height()};
}

void CRecStatus::setStatusText(const QString& text)
{
    if (text != m_status) {
        m_status = text;
        update();
    }
}

void CRecStatus::setMiddleText(const QString& text)
{
    if (text != m_middle) {
        m_middle = text;
        update();
    }
}

void CRecStatus::setFormat(int channels, int bits, std::uint32_t rateHz, std::int32_t timeExp25)
{
    const QString text = QString::fromStdString(soundFormatText(channels, bits, rateHz, timeExp25));
    if (text != m_format) {
        m_format = text;
        update();
    }
}

void CRecStatus::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().windowText().color());
    const int w = width();
    const int middle = w / 2;
    const int formatX = std::max(middle + 10, w - 225);
    p.drawText(QRect(6, 0, std::max(0, middle - 12), height()), Qt::AlignLeft | Qt::AlignVCenter, m_status);
    p.drawText(QRect(middle, 0, std::max(0, formatX - middle - 6), height()), Qt::AlignLeft | Qt::AlignVCenter, m_middle);
    p.drawText(QRect(formatX, 0, std::max(0, w - formatX), height()), Qt::AlignLeft | Qt::AlignVCenter, m_format);
}
