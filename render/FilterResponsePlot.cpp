#include "render/FilterResponsePlot.h"

#include "pulse/PulseCommon.h"

#include <QFontMetrics>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kBottomDb = -50;
constexpr double kTopDb = 3;

QString hzLabel(std::int64_t hz)
{
    return QString::number(hz) + " Hz";
}

}  // namespace

int filterResponsePoints(int width)
{
    return std::max(1024, width);
}

void drawFilterResponse(QPainter& painter, const QRect& area, const std::vector<double>& magnitudes, double nyquistHz)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(area, Qt::white);
    QFont font = painter.font();
    font.setPointSizeF(8);
    painter.setFont(font);
    const QFontMetrics fm(font);
    const int labelWidth = fm.horizontalAdvance("-50 dB") + 8;
    const QRect plot(area.left() + labelWidth + 6, area.top() + fm.height(), area.width() - labelWidth - 6 - fm.horizontalAdvance("000000 Hz") / 2 - 4,
                     area.height() - 3 * fm.height() - 8);
    if (plot.width() < 10 || plot.height() < 10 || nyquistHz <= 0) {
        painter.restore();
        return;
    }
    auto xOf = [&](double hz) { return plot.left() + hz / nyquistHz * plot.width(); };
    auto yOf = [&](double db) {
        db = std::clamp(db, kBottomDb, kTopDb);
        return plot.bottom() - (db - kBottomDb) / (kTopDb - kBottomDb) * plot.height();
    };

    // Level axis: grid and labels every 10 dB.
    painter.setPen(QPen(QColor(0xd8, 0xd8, 0xd8), 0));
    for (int db = 0; db >= -50; db -= 10)
        painter.drawLine(QPointF(plot.left(), yOf(db)), QPointF(plot.right(), yOf(db)));
    painter.setPen(QPen(Qt::black, 0));
    for (int db = 0; db >= -50; db -= 10) {
        const QRectF r(area.left(), yOf(db) - fm.height() / 2.0, labelWidth, fm.height());
        painter.drawText(r, Qt::AlignRight | Qt::AlignVCenter, QString::number(db) + " dB");
    }
    // Frequency axis: small ticks every NiceStep(N), labelled ones every NiceStep(2N).
    const auto n = static_cast<std::int64_t>(nyquistHz);
    const std::int64_t small = std::max<std::int64_t>(1, NiceStep(n));
    const std::int64_t big = std::max<std::int64_t>(small, NiceStep(2 * n));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    for (std::int64_t hz = 0; hz <= n && (hz / small) < 10000; hz += small)
        painter.drawLine(QPointF(xOf(static_cast<double>(hz)), plot.bottom()), QPointF(xOf(static_cast<double>(hz)), plot.bottom() + 3));
    for (std::int64_t hz = 0; hz <= n && (hz / big) < 1000; hz += big) {
        const double x = xOf(static_cast<double>(hz));
        painter.drawLine(QPointF(x, plot.bottom() - 4), QPointF(x, plot.bottom() + 6));
        const QString t = hzLabel(hz);
        const double w = fm.horizontalAdvance(t);
        painter.drawText(QRectF(x - w / 2, plot.bottom() + 7, w + 2, fm.height()), Qt::AlignCenter, t);
    }

    // The curve.
    if (magnitudes.size() >= 2) {
        QPainterPath path;
        for (std::size_t i = 0; i < magnitudes.size(); ++i) {
            const double hz = nyquistHz * static_cast<double>(i) / static_cast<double>(magnitudes.size() - 1);
            const double db = magnitudes[i] > 0 ? 20 * std::log10(magnitudes[i]) : kBottomDb;
            const QPointF p(xOf(hz), yOf(db));
            if (i == 0)
                path.moveTo(p);
            else
                path.lineTo(p);
        }
        painter.setPen(QPen(QColor(0x10, 0x40, 0xb0), 1.5));
        painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
        painter.drawPath(path);
    }
    painter.restore();
}
