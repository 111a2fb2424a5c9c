#include "pulse/CRateWnd.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "display/CommandMenu.h"
#include "print/PaintedPicture.h"
#include "print/PictureClipboard.h"
#include "print/PicturePrinting.h"
#include "pulse/CAnaRateSet.h"
#include "pulse/CRatePlot.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

CRateWnd::CRateWnd(CVesSoundDoc& doc, const VesRateParms& parms, int slot, QWidget* parent)
    : QWidget(parent, Qt::Window), m_doc(doc), m_parms(parms), m_slot(slot)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_hist.intervalMode = parms.m_intervalMode;
    m_thresholdAutomatic = parms.m_threshold <= 0;
    setWindowTitle(QString::fromLatin1(parms.m_intervalMode ? "Pulse Interval Analysis" : "Pulse Length Analysis"));
    setAccessibleName(windowTitle());
    m_plot = new CRatePlot(this);
    m_plot->picture().histogram = &m_hist;
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_plot);
    setGeometry(80, 80, kDefaultWidth, kDefaultHeight);
    connect(m_plot, &CRatePlot::contextMenuRequested, this, &CRateWnd::showContextMenu);
    m_picture = std::make_shared<vprint::PaintedPicture>(
        m_plot, [this](QPainter& p, const QRectF& target, double unitsPerTwip) { paintPicture(p, target, unitsPerTwip); },
        [this] { return windowPageTexts(QString::fromStdString(m_doc.title()), windowTitle()); });
    registerCommands();
}

CRateWnd::~CRateWnd()
{
    m_closed = true;
    stopCalculation();
}

void CRateWnd::registerCommands()
{
    const auto calculatedOnly = [this](int, CommandState& s) { s.enabled = !m_hist.pending() && !calculating(); };
    m_commands.on(kCopy, [this](int) { copyPicture(); });
    m_commands.on(kPrint, [this](int) { vprint::runPrint(*m_picture, this, false); });
    m_commands.on(kCopyAscii, [this](int) { copyAscii(); }, calculatedOnly);
    m_commands.on(kSettingsCurrent, [this](int) { editSettings(); });
    m_commands.on(kContinuousUpdate, [this](int) {
        m_parms.m_contUpd = !m_parms.m_contUpd;
        recalculate();
    }, [this](int, CommandState& s) { s.checked = m_parms.m_contUpd; });
    m_commands.on(kAutomaticSettings, [this](int) {
        m_parms.m_autoCalc = !m_parms.m_autoCalc;
        recalculate();
    }, [this](int, CommandState& s) { s.checked = m_parms.m_autoCalc; });
    m_commands.on(kUpdateThreshold, [this](int) {
        m_parms.m_autoCalc = false;
        recalculate();
        emit levelTargetRequested(m_slot);
    });
}

void CRateWnd::showContextMenu(const QPoint& globalPos)
{
    execCommandMenu(this, QStringLiteral("Rate menue"), m_commands,
                    {{kCopy, "Copy", false},
                     {kCopyAscii, "Copy Ascii", false},
                     {kPrint, "Print", false},
                     {0, nullptr, false},
                     {kSettingsCurrent, "Settings - Current diagram", false},
                     {kContinuousUpdate, "Continuous update", true},
                     {kAutomaticSettings, "Automatic settings", true},
                     {kUpdateThreshold, "Update threshold", false}}, globalPos);
}

void CRateWnd::setRange(std::int64_t first, std::int64_t last, ChannelSel channel)
{
    const std::int64_t length = m_doc.lengthFrames();
    m_first = std::clamp<std::int64_t>(first, 0, std::max<std::int64_t>(0, length));
    m_last = last < 0 ? -1 : std::clamp<std::int64_t>(last, 0, std::max<std::int64_t>(0, length));
    if (m_doc.format().channels >= 2) {
        m_parms.m_leftChan = channel != ChannelSel::Right;
        m_parms.m_rightChan = channel != ChannelSel::Left;
    }
    recalculate();
}

bool CRateWnd::followSelection(std::int64_t first, std::int64_t last, ChannelSel channel)
{
    if (!m_parms.m_contUpd)
        return false;
    setRange(first, last, channel);
    return true;
}

void CRateWnd::setDetectionLevel(std::int64_t level)
{
    m_parms.m_threshold = RateLevelToThreshold(level);
    m_thresholdAutomatic = false;
    stopCalculation();
    m_hist.threshold = m_parms.m_threshold;
    recalculate();
}

std::int64_t CRateWnd::levelCursorValue() const
{
    const std::int32_t t = m_hist.threshold >= 0 ? static_cast<std::int32_t>(m_hist.threshold) : m_parms.m_threshold;
    return RateThresholdToLevel(std::max<std::int32_t>(0, t));
}

ChannelSel CRateWnd::analysedChannel() const
{
    if (m_doc.format().channels < 2)
        return ChannelSel::Left;
    return m_hist.channel == ChannelIndex::Right ? ChannelSel::Right : ChannelSel::Left;
}

void CRateWnd::stopCalculation()
{
    if (!m_worker)
        return;
    m_pending->stop = true;
    m_worker->join();
    m_worker.reset();
    m_pending.reset();
}

void CRateWnd::recalculate()
{
    stopCalculation();
    if (m_closed)
        return;
    if (m_thresholdAutomatic && m_parms.m_threshold <= 0)
        m_hist.threshold = -1;
    m_hist.prepare(m_parms, m_doc, m_first, m_last);
    m_hist.intervalMode = m_parms.m_intervalMode;
    std::string title = m_hist.title();
    setWindowTitle(QString::fromStdString(title));
    m_plot->setStatus("Calculating...");
    updateFoot();
    auto run = std::make_unique<Run>();
    run->hist = m_hist;
    run->parms = m_parms;
    Run* r = run.get();
    m_pending = std::move(run);
    const std::uint64_t id = ++m_run;
    CRateWnd* self = this;
    CVesSoundDoc* doc = &m_doc;
    // The window joins the worker before it goes; Qt drops what was posted to it then.
    m_worker = std::make_unique<std::thread>([self, r, id, doc] {
        r->ok = r->hist.calculate(*doc, r->parms, &r->stop);
        QMetaObject::invokeMethod(self, [self, id] { self->onDone(id); }, Qt::QueuedConnection);
    });
}

void CRateWnd::onDone(std::uint64_t id)
{
    if (id != m_run || !m_worker)
        return;  // a run that has been replaced since
    m_worker->join();
    m_worker.reset();
    std::unique_ptr<Run> r = std::move(m_pending);
    if (!r->ok)
        return;
    m_hist = r->hist;
    // What the calculation derives with automatic settings; the rest of the
    // record stays as it is now.
    if (r->parms.m_autoCalc) {
        m_parms.m_histStart = r->parms.m_histStart;
        m_parms.m_histEnd = r->parms.m_histEnd;
        m_parms.m_barAnt = r->parms.m_barAnt;
    }
    m_parms.m_threshold = r->parms.m_threshold;
    if (r->hist.thresholdFromData)
        m_thresholdAutomatic = true;
    m_plot->setStatus("");
    updateFoot();
    emit calculated(m_slot);
}

void CRateWnd::updateFoot()
{
    char buf[96];
    const double a = static_cast<double>(m_doc.framesToRealMicros(m_hist.firstFrame)) / 1e6;
    const double b = static_cast<double>(m_doc.framesToRealMicros(m_hist.lastFrame)) / 1e6;
    vkit::snprintfC(buf, sizeof buf, "     %.3f s - %.3f s", a, b);
    m_plot->picture().rangeText = buf;
    m_plot->update();
}

void CRateWnd::paintPicture(QPainter& p, const QRectF& target, double unitsPerTwip) const
{
    RatePicture pic = m_plot->picture();
    pic.status.clear();
    pic.marker.reset();
    RatePlotPainter(pic, target, unitsPerTwip).paint(p);
}

QImage CRateWnd::pictureImage(const QSize& size) const
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintPicture(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return img;
}

bool CRateWnd::copyPicture()
{
    vprint::copyPictureToClipboard(*m_picture);
    return true;
}

bool CRateWnd::copyAscii()
{
    if (m_hist.pending() || calculating())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::clipboard()->setText(QString::fromStdString(m_hist.asciiTable()));
    QApplication::restoreOverrideCursor();
    return true;
}

bool CRateWnd::editSettings()
{
    CAnaRateSet dlg(m_parms, m_thresholdAutomatic, this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_parms = dlg.parms();
    m_thresholdAutomatic = dlg.thresholdAutomatic();
    stopCalculation();
    m_hist.threshold = m_thresholdAutomatic ? -1 : m_parms.m_threshold;
    recalculate();
    return true;
}

void CRateWnd::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_closed)
        emit activated(m_slot);
}

void CRateWnd::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        stopCalculation();
        emit closing(m_slot);
    }
    event->accept();
}
