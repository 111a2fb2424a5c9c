#include "zc/CZcView.h"

#include "commands/CommandTable.h"
#include "print/PictureClipboard.h"
#include "print/PictureExport.h"
#include "print/PicturePrinting.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <filesystem>

using zcfile::Dot;
using zcfile::DotStatus;

// The plot area of the view: draws through the view and hands it the mouse.
class CZcPlot : public QWidget {
public:
    explicit CZcPlot(CZcView& view) : QWidget(&view), m_view(view)
    {
        setMinimumSize(200, 120);
        setFocusPolicy(Qt::NoFocus);
        setAccessibleName(QStringLiteral("Zero-crossing dots"));
        setAccessibleDescription(QStringLiteral("The dots of the file: time across, frequency up"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        m_view.paintPlot(p, QRectF(rect()));
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        m_view.setFocus();
        if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)
            m_view.plotClicked(e->position(), QRectF(rect()),
                               e->button() == Qt::RightButton || (e->modifiers() & Qt::ShiftModifier));
    }
    void wheelEvent(QWheelEvent* e) override
    {
        const int steps = e->angleDelta().y() / 120;
        if (steps != 0)
            m_view.plotWheel(steps, e->modifiers() & Qt::ControlModifier);
        e->accept();
    }

private:
    CZcView& m_view;
};

namespace {

constexpr double kMinSpanUs = 200;  // the deepest zoom: 0.2 ms across

// The plot inside a target: room for the frequency labels on the left and
// the time labels below.
QRectF plotArea(const QRectF& target, double unit)
{
    return target.adjusted(6.5 * unit, 1.5 * unit, -1.5 * unit, -3.5 * unit);
}

QColor statusColour(DotStatus s)
{
    switch (s) {
    case DotStatus::Main: return QColor(200, 30, 30);
    case DotStatus::Normal: return QColor(20, 40, 160);
    case DotStatus::Off: return QColor(175, 175, 175);
    case DotStatus::OutOfRange: return QColor(210, 160, 60);
    }
    return Qt::black;
}

// A tick step of 1, 2 or 5 times a power of ten giving about `count` ticks over `span`.
double niceStep(double span, int count)
{
    const double raw = span / std::max(1, count);
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw)
            return m * p;
    return 10 * p;
}

}  // namespace

CZcView::CZcView(zcfile::ZcFile file, std::string path, QWidget* parent)
    : QWidget(parent), m_file(std::move(file)), m_dots(m_file.dots()), m_path(std::move(path))
{
    m_lengthUs = std::max(1.0, m_file.lengthUs());
    m_startUs = 0;
    m_spanUs = m_lengthUs;
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Zero-crossing file ") + title());

    m_plot = new CZcPlot(*this);
    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_scroll->setAccessibleName(QStringLiteral("Time scroll bar"));
    m_readout = new QLabel(this);
    m_readout->setAccessibleName(QStringLiteral("Cursor read-out"));
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_noSamples = new QLabel(
        QStringLiteral("Zero-crossing file: no samples, so playing, editing, filtering, the power spectrum and "
                       "pulse analysis are not available."),
        this);
    m_noSamples->setAccessibleName(QStringLiteral("Why sample commands are disabled"));
    m_noSamples->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_scroll);
    layout->addWidget(m_readout);
    layout->addWidget(m_noSamples);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int v) {
        if (!m_updatingScroll)
            setTimeRange(static_cast<double>(v) * 100.0, m_spanUs);
    });
    registerCommands();
    updateScroll();
    updateReadout();
}

QString CZcView::title() const
{
    return QString::fromStdString(std::filesystem::path(m_path).filename().string());
}

void CZcView::setTimeRange(double startUs, double spanUs)
{
    m_spanUs = std::clamp(spanUs, std::min(kMinSpanUs, m_lengthUs), m_lengthUs);
    m_startUs = std::clamp(startUs, 0.0, m_lengthUs - m_spanUs);
    updateScroll();
    m_plot->update();
    emit viewChanged();
}

void CZcView::zoomBy(double factor)
{
    const double span = m_spanUs * factor;
    double centre = m_startUs + m_spanUs / 2;
    if (m_cursor >= 0 && m_dots[static_cast<std::size_t>(m_cursor)].timeUs >= m_startUs &&
        m_dots[static_cast<std::size_t>(m_cursor)].timeUs <= m_startUs + m_spanUs)
        centre = m_dots[static_cast<std::size_t>(m_cursor)].timeUs;
    setTimeRange(centre - span / 2, span);
}

void CZcView::zoomEntireFile()
{
    setTimeRange(0, m_lengthUs);
}

void CZcView::updateScroll()
{
    // Steps of 100 µs keep the range of an int for files of days.
    m_updatingScroll = true;
    m_scroll->setRange(0, static_cast<int>((m_lengthUs - m_spanUs) / 100.0));
    m_scroll->setPageStep(std::max(1, static_cast<int>(m_spanUs / 100.0)));
    m_scroll->setSingleStep(std::max(1, static_cast<int>(m_spanUs / 1000.0)));
    m_scroll->setValue(static_cast<int>(m_startUs / 100.0));
    m_updatingScroll = false;
}

void CZcView::setCursorDot(int dot, bool second)
{
    if (dot >= static_cast<int>(m_dots.size()))
        dot = static_cast<int>(m_dots.size()) - 1;
    (second ? m_second : m_cursor) = dot;
    if (dot >= 0) {
        // Keep the cursor in sight.
        const double t = m_dots[static_cast<std::size_t>(dot)].timeUs;
        if (t < m_startUs || t > m_startUs + m_spanUs)
            setTimeRange(t - m_spanUs / 2, m_spanUs);
    }
    updateReadout();
    m_plot->update();
    emit viewChanged();
}

void CZcView::stepCursor(int delta)
{
    if (m_dots.empty())
        return;
    int at = m_cursor < 0 ? (delta > 0 ? -1 : static_cast<int>(m_dots.size())) : m_cursor;
    // Off dots are skipped: they are noise the detector did not show.
    do {
        at += delta > 0 ? 1 : -1;
    } while (at >= 0 && at < static_cast<int>(m_dots.size()) &&
             m_dots[static_cast<std::size_t>(at)].status == DotStatus::Off);
    if (at >= 0 && at < static_cast<int>(m_dots.size()))
        setCursorDot(at);
}

QString CZcView::readout() const
{
    if (m_cursor < 0)
        return QStringLiteral("%1 dots, %2 s; click a dot to measure it")
            .arg(m_dots.size())
            .arg(m_lengthUs / 1e6, 0, 'f', 3);
    const Dot& d = m_dots[static_cast<std::size_t>(m_cursor)];
    QString text = QStringLiteral("Dot %1 of %2: %3 ms, %4 kHz (interval %5 µs, %6)")
                       .arg(m_cursor + 1)
                       .arg(m_dots.size())
                       .arg(d.timeUs / 1000, 0, 'f', 3)
                       .arg(d.freqHz / 1000, 0, 'f', 2)
                       .arg(d.intervalUs, 0, 'f', 1)
                       .arg(QString::fromLatin1(zcfile::statusName(d.status)));
    if (m_second >= 0) {
        const Dot& e = m_dots[static_cast<std::size_t>(m_second)];
        const double dtMs = (e.timeUs - d.timeUs) / 1000, dfKHz = (e.freqHz - d.freqHz) / 1000;
        text += QStringLiteral("   Δt %1 ms, Δf %2 kHz").arg(dtMs, 0, 'f', 3).arg(dfKHz, 0, 'f', 2);
        if (std::fabs(dtMs) > 0)
            text += QStringLiteral(", %1 kHz/ms").arg(dfKHz / dtMs, 0, 'f', 2);
    }
    return text;
}

void CZcView::updateReadout()
{
    m_readout->setText(readout());
}

QString CZcView::dotsText() const
{
    QString text = QStringLiteral("Time (ms)\tFrequency (Hz)\tInterval (us)\tStatus\r\n");
    for (const Dot& d : m_dots) {
        if (d.timeUs < m_startUs || d.timeUs > m_startUs + m_spanUs)
            continue;
        text += QStringLiteral("%1\t%2\t%3\t%4\r\n")
                    .arg(d.timeUs / 1000, 0, 'f', 3)
                    .arg(d.freqHz, 0, 'f', 1)
                    .arg(d.intervalUs, 0, 'f', 1)
                    .arg(QString::fromLatin1(zcfile::statusName(d.status)));
    }
    return text;
}

void CZcView::addMarkAtCursor()
{
    if (m_cursor < 0)
        return;
    m_marks.push_back({m_nextMark++, m_dots[static_cast<std::size_t>(m_cursor)].timeUs});
    m_plot->update();
    emit viewChanged();
}

void CZcView::clearMarks()
{
    m_marks.clear();
    m_nextMark = 1;
    m_plot->update();
    emit viewChanged();
}

void CZcView::paintPlot(QPainter& p, const QRectF& target, bool cursors) const
{
    p.save();
    const double unit = std::max(6.0, std::min(target.height() / 30.0, target.width() / 60.0));
    QFont font = p.font();
    font.setPixelSize(std::max(6, static_cast<int>(unit * 1.1)));
    p.setFont(font);
    p.fillRect(target, Qt::white);
    const QRectF area = plotArea(target, unit);
    const double pen = std::max(1.0, unit / 10);

    const auto xOf = [&](double us) { return area.left() + (us - m_startUs) / m_spanUs * area.width(); };
    const auto yOf = [&](double hz) { return area.bottom() - (hz - m_lowHz) / (m_highHz - m_lowHz) * area.height(); };

    // Grid and labels: kHz up the left, ms along the bottom.
    p.setPen(QPen(QColor(225, 225, 225), pen));
    const double fStep = niceStep(m_highHz - m_lowHz, 8);
    for (double f = std::ceil(m_lowHz / fStep) * fStep; f <= m_highHz + 1e-6; f += fStep) {
        const double y = yOf(f);
        p.setPen(QPen(QColor(225, 225, 225), pen));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(target.left(), y - unit, area.left() - target.left() - unit / 2, 2 * unit),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(f / 1000));
    }
    const double tStep = niceStep(m_spanUs, 8);
    for (double t = std::ceil(m_startUs / tStep) * tStep; t <= m_startUs + m_spanUs + 1e-6; t += tStep) {
        const double x = xOf(t);
        p.setPen(QPen(QColor(225, 225, 225), pen));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.setPen(Qt::black);
        const double ms = t / 1000;
        p.drawText(QRectF(x - 4 * unit, area.bottom() + unit / 3, 8 * unit, 1.5 * unit), Qt::AlignCenter,
                   QString::number(ms, 'f', tStep < 1000 ? (tStep < 100 ? 2 : 1) : 0));
    }
    p.drawText(QRectF(area.left(), area.bottom() + 1.8 * unit, area.width(), 1.5 * unit), Qt::AlignCenter,
               QStringLiteral("Time (ms)"));
    p.save();
    p.translate(target.left() + unit, area.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-area.height() / 2, -unit, area.height(), 2 * unit), Qt::AlignCenter,
               QStringLiteral("Frequency (kHz)"));
    p.restore();
    p.setPen(QPen(Qt::black, pen));
    p.drawRect(area);

    // The dots, the off ones first so that the others stand on top.
    p.setClipRect(area);
    const double size = std::max(2.0, unit / 5);
    const auto first = std::lower_bound(m_dots.begin(), m_dots.end(), m_startUs,
                                        [](const Dot& d, double t) { return d.timeUs < t; });
    for (int pass = 0; pass < 2; ++pass) {
        for (auto it = first; it != m_dots.end() && it->timeUs <= m_startUs + m_spanUs; ++it) {
            if ((it->status == DotStatus::Off) != (pass == 0) || it->freqHz <= 0)
                continue;
            const QPointF c(xOf(it->timeUs), yOf(it->freqHz));
            p.fillRect(QRectF(c.x() - size / 2, c.y() - size / 2, size, size), statusColour(it->status));
        }
    }
    // Marks: dashed lines with their numbers.
    p.setPen(QPen(QColor(0, 130, 0), pen, Qt::DashLine));
    for (const Mark& m : m_marks) {
        const double x = xOf(m.timeUs);
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.drawText(QPointF(x + unit / 3, area.top() + 1.2 * unit), QString::number(m.number));
    }
    // Cursors: a cross through their dot.
    const auto cross = [&](int dot, const QColor& colour) {
        if (dot < 0)
            return;
        const Dot& d = m_dots[static_cast<std::size_t>(dot)];
        const QPointF c(xOf(d.timeUs), yOf(d.freqHz));
        p.setPen(QPen(colour, pen));
        p.drawLine(QPointF(c.x(), area.top()), QPointF(c.x(), area.bottom()));
        p.drawLine(QPointF(area.left(), c.y()), QPointF(area.right(), c.y()));
    };
    if (cursors) {
        cross(m_cursor, QColor(220, 0, 0));
        cross(m_second, QColor(0, 150, 150));
    }
    p.restore();
}

int CZcView::dotAt(const QPointF& pos, const QRectF& target) const
{
    const double unit = std::max(6.0, std::min(target.height() / 30.0, target.width() / 60.0));
    const QRectF area = plotArea(target, unit);
    int best = -1;
    double bestD = 1e300;
    const auto first = std::lower_bound(m_dots.begin(), m_dots.end(), m_startUs,
                                        [](const Dot& d, double t) { return d.timeUs < t; });
    for (auto it = first; it != m_dots.end() && it->timeUs <= m_startUs + m_spanUs; ++it) {
        if (it->status == DotStatus::Off || it->freqHz <= 0)
            continue;
        const double x = area.left() + (it->timeUs - m_startUs) / m_spanUs * area.width();
        const double y = area.bottom() - (it->freqHz - m_lowHz) / (m_highHz - m_lowHz) * area.height();
        const double d = (x - pos.x()) * (x - pos.x()) + (y - pos.y()) * (y - pos.y());
        if (d < bestD) {
            bestD = d;
            best = static_cast<int>(it - m_dots.begin());
        }
    }
    return best;
}

void CZcView::plotClicked(const QPointF& pos, const QRectF& area, bool second)
{
    const int dot = dotAt(pos, area);
    if (dot >= 0)
        setCursorDot(dot, second);
}

void CZcView::plotWheel(int steps, bool zoom)
{
    if (zoom)
        zoomBy(steps > 0 ? 0.5 : 2.0);
    else
        setTimeRange(m_startUs - steps * m_spanUs / 10, m_spanUs);
}

void CZcView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left: stepCursor(-1); break;
    case Qt::Key_Right: stepCursor(1); break;
    case Qt::Key_Plus: zoomBy(0.5); break;
    case Qt::Key_Minus: zoomBy(2.0); break;
    case Qt::Key_Home: setTimeRange(0, m_spanUs); break;
    case Qt::Key_End: setTimeRange(m_lengthUs, m_spanUs); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void CZcView::registerCommands()
{
    m_commands.on(cmd::ZoomIn, [this](int) { zoomBy(0.5); });
    m_commands.on(cmd::ZoomOut, [this](int) { zoomBy(2.0); },
                  [this](int, CommandState& s) { s.enabled = m_spanUs < m_lengthUs; });
    m_commands.on(cmd::ZoomEntireFile, [this](int) { zoomEntireFile(); });
    m_commands.on(cmd::ZoomDefault, [this](int) { setTimeRange(m_startUs, std::min(m_lengthUs, 100000.0)); });
    m_commands.on(cmd::ZoomFullRange, [this](int) {
        // 0 to the highest shown dot, rounded up to 10 kHz; again: back to 0–150 kHz.
        double top = 0;
        for (const Dot& d : m_dots)
            if (d.status != DotStatus::Off)
                top = std::max(top, std::min(d.freqHz, 500000.0));
        top = std::max(20000.0, std::ceil(top / 10000) * 10000);
        m_highHz = m_highHz == top ? 150000 : top;
        m_plot->update();
    });
    m_commands.on(cmd::ScrollLineLeft, [this](int) { setTimeRange(m_startUs - m_spanUs / 10, m_spanUs); });
    m_commands.on(cmd::ScrollLineRight, [this](int) { setTimeRange(m_startUs + m_spanUs / 10, m_spanUs); });
    m_commands.on(cmd::MoveToBeginning, [this](int) { setTimeRange(0, m_spanUs); });
    m_commands.on(cmd::MoveToEnd, [this](int) { setTimeRange(m_lengthUs, m_spanUs); });
    const auto hasDots = [this](int, CommandState& s) { s.enabled = !m_dots.empty(); };
    m_commands.on(cmd::CursorLeft, [this](int) { stepCursor(-1); }, hasDots);
    m_commands.on(cmd::CursorRight, [this](int) { stepCursor(1); }, hasDots);
    const auto hasCursor = [this](int, CommandState& s) { s.enabled = m_cursor >= 0; };
    m_commands.on(cmd::SaveCursorAsMark, [this](int) { addMarkAtCursor(); }, hasCursor);
    m_commands.on(cmd::ClearAllMarks, [this](int) { clearMarks(); },
                  [this](int, CommandState& s) { s.enabled = !m_marks.empty(); });
    m_commands.on(cmd::FilePrint, [this](int) { vprint::runPrint(*this, this, false); });
    m_commands.on(cmd::FilePrintDirect, [this](int) { vprint::runPrint(*this, this, true); });
    m_commands.on(cmd::FilePrintPreview, [this](int) { vprint::openPrintPreview(*this, this); });
    m_commands.on(cmd::EditCopy, [this](int) { vprint::copyPictureToClipboard(*this); });
    m_commands.on(cmd::EditCopyAscii, [this](int) { QApplication::clipboard()->setText(dotsText()); });
    m_commands.on(cmd::ExportGraphics, [this](int) {
        vprint::runGraphicsExport(*this, this, QString::fromStdString(std::filesystem::path(m_path).stem().string()));
    });
    m_commands.on(cmd::FileProperties, [this](int) { emit propertiesRequested(); });
    m_commands.on(cmd::FileClose, [this](int) { emit closeRequested(); });
}

QSize CZcView::pictureSize() const
{
    return m_plot->size();
}

double CZcView::pictureDpi() const
{
    return m_plot->logicalDpiX();
}

void CZcView::paintPicture(QPainter& p, const QRectF& target, PictureMedium medium)
{
    paintPlot(p, target, medium != PictureMedium::Printer);
}

PageTexts CZcView::pageTexts() const
{
    return {title(), QStringLiteral("Vesperon by Vallomer"), QStringLiteral("Zero-crossing dots")};
}
