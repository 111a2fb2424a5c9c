#include "widgets/CRecStatus.h"

#include "core/NumberText.h"
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
        emit textsChanged();
    }
}

void CRecStatus::setMiddleText(const QString& text)
{
    if (text != m_middle) {
        m_middle = text;
        update();
        emit textsChanged();
    }
}

void CRecStatus::setDeviceName(const QString& name)
{
    const QString shortName = shortenDeviceName(name);
    if (shortName != m_device) {
        m_device = shortName;
        update();
        emit textsChanged();
    }
}

void CRecStatus::setRate(std::int64_t rateHz, double speed, bool rateChange)
{
    if (!(rateHz == -1 && speed == -1))
        m_rateHz = rateHz;
    if (speed != -1) {
        m_speed = speed;
        m_rateChange = rateChange;
    }
    update();
    emit textsChanged();
}

QString CRecStatus::middleText() const
{
    if (!m_middle.isEmpty())
        return m_middle;
    if (!m_device.isEmpty())
        return m_device + QStringLiteral(", ") + rateText(m_rateHz, m_speed, m_rateChange);
    return {};
}

QString CRecStatus::shortenDeviceName(const QString& name)
{
    QString s = name;
    // Cuts before the first `c` found after `after` characters when that
    // leaves more than 5 characters.
    const auto cut = [&s](QChar c, int after) {
        const int at = s.indexOf(c, after);
        if (at > 5)
            s.truncate(at);
    };
    if (s.size() > 26)
        cut(QLatin1Char('('), 10);
    if (s.size() > 26)
        cut(QLatin1Char(' '), 20);
    if (s.size() > 26)
        cut(QLatin1Char(','), 20);
    if (s.size() > 26)
        cut(QLatin1Char('.'), 20);
    return s.trimmed();
}

QString CRecStatus::rateText(std::int64_t rateHz, double speed, bool rateChange)
{
    char buf[160];
    if (speed > 0 && speed != 1) {
        if (rateChange)
            vkit::snprintfC(buf, sizeof buf, " %4lld Hz x %2.2f. ", static_cast<long long>(rateHz), speed);
        else
            vkit::snprintfC(buf, sizeof buf, " %4lld Hz x (%.0f Hz x %2.2f). ", static_cast<long long>(rateHz),
                            static_cast<double>(rateHz) / speed, speed);
    } else {
        vkit::snprintfC(buf, sizeof buf, " %4lld Hz. ", static_cast<long long>(rateHz));
    }
    return QString::fromLatin1(buf);
}

void CRecStatus::setFormat(int channels, int bits, std::uint32_t rateHz, std::int32_t timeExp25)
{
    const QString text = QString::fromStdString(soundFormatText(channels, bits, rateHz, timeExp25));
    if (text != m_format) {
        m_format = text;
        update();
        emit textsChanged();
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
    p.drawText(QRect(middle, 0, std::max(0, formatX - middle - 6), height()), Qt::AlignLeft | Qt::AlignVCenter, middleText());
    p.drawText(QRect(formatX, 0, std::max(0, w - formatX), height()), Qt::AlignLeft | Qt::AlignVCenter, m_format);
}
