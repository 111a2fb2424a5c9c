#include "widgets/CColorButton.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

CColorButton::CColorButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    setColor(QColor(156, 156, 156));
}

void CColorButton::setColor(const QColor& c)
{
    const bool changed = c.rgb() != m_color.rgb();
    m_color = QColor(c.rgb());
    m_caption = m_color.red() + m_color.green() + m_color.blue() <= 360 ? QColor(Qt::white) : QColor(Qt::black);
    if (changed)
        update();
}

std::uint32_t CColorButton::colorRef() const
{
    return static_cast<std::uint32_t>(m_color.red()) | (static_cast<std::uint32_t>(m_color.green()) << 8) |
           (static_cast<std::uint32_t>(m_color.blue()) << 16);
}

void CColorButton::setColorRef(std::uint32_t c)
{
    setColor(QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF)));
}

void CColorButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.text.clear();
    p.drawControl(QStyle::CE_PushButtonBevel, opt);
    const QRect inner = rect().adjusted(3, 3, -3, -3);
    p.fillRect(inner, m_color);
    p.setPen(m_caption);
    p.drawText(inner, Qt::AlignCenter | Qt::TextSingleLine, text());
}
