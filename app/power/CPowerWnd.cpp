#include "power/CPowerWnd.h"

#include "display/CNumEdit.h"
#include "document/CVesSoundDoc.h"
#include "power/CPowerPlot.h"
#include "power/CPowerSettingsDlg.h"
#include "display/CommandMenu.h"
#include "print/PaintedPicture.h"
#include "print/PictureClipboard.h"
#include "print/PicturePrinting.h"
#include "power/PowerScale.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

CPowerWnd::SaveChooser& saveChooser()
{
    static CPowerWnd::SaveChooser chooser;
    return chooser;
}

std::string askExportPath(QWidget* parent)
{
    if (saveChooser())
        return saveChooser()(parent);
    QString selected;
    const QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Ascii File Export"), QString(),
        QStringLiteral("Text Files (*.txt);;Worksheet Files (*.xls);;All Files (*)"), &selected);
    if (path.isEmpty())
        return {};
    std::string p = path.toStdString();
    if (p.find('.', p.find_last_of('/') + 1) == std::string::npos)
        p += ".txt";
    return p;
}

double effectiveRate(const CVesSoundDoc& doc)
{
    return static_cast<double>(doc.format().samplesPerSec) * static_cast<double>(doc.effectiveTimeExp25()) / 1000.0;
}

}  // namespace

void CPowerWnd::setSaveChooser(SaveChooser chooser)
{
    saveChooser() = std::move(chooser);
}

CPowerWnd::CPowerWnd(CVesSoundDoc& doc, const VesPowerParms& parms, int slot, QWidget* parent)
    : QWidget(parent, Qt::Window), m_doc(doc), m_parms(parms), m_slot(slot)
{
    setWindowTitle(QStringLiteral("Power Spectra"));
    setAccessibleName(QStringLiteral("Power spectrum window"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_plot = new CPowerPlot(this);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_plot);
    setGeometry(80, 80, kDefaultWidth, kDefaultHeight);
    connect(m_plot, &CPowerPlot::contextMenuRequested, this, &CPowerWnd::showContextMenu);
    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, &CPowerWnd::onProgress);
    m_resizeTimer.setSingleShot(true);
    m_resizeTimer.setInterval(150);
    connect(&m_resizeTimer, &QTimer::timeout, this, [this] {
        // An automatic FFT size follows the plot's width.
        if (m_parms.m_fftSize <= 0 && fftSizeToUse() != m_result.fftSize && !m_closed)
            recalculate();
    });
    m_picture = std::make_shared<vprint::PaintedPicture>(
        m_plot, [this](QPainter& p, const QRectF& target, double unitsPerTwip) { paintPicture(p, target, unitsPerTwip); },
        [this] { return windowPageTexts(QString::fromStdString(m_doc.title()), windowTitle()); });
    registerCommands();
    updatePicture();
}

CPowerWnd::~CPowerWnd()
{
    m_closed = true;
    stopCalculation();
}

void CPowerWnd::registerCommands()
{
    const auto hasResult = [this](int, CommandState& s) { s.enabled = !m_result.power.empty(); };
    m_commands.on(kCopy, [this](int) { copyPicture(); });
    m_commands.on(kPrint, [this](int) { vprint::runPrint(*m_picture, this, false); });
    m_commands.on(kCopyAscii, [this](int) { copyAscii(); }, hasResult);
    m_commands.on(kSettingsCurrent, [this](int) { editSettings(); });
    m_commands.on(kContinuousUpdate, [this](int) {
        m_parms.m_contUpd = !m_parms.m_contUpd;
        recalculate();
    }, [this](int, CommandState& s) { s.checked = m_parms.m_contUpd; });
    m_commands.on(kLogScale, [this](int) {
        m_parms.m_logScale = !m_parms.m_logScale;
        recalculate();
    }, [this](int, CommandState& s) { s.checked = m_parms.m_logScale; });
    m_commands.on(kAsciiExport, [this](int) {
        const std::string path = askExportPath(this);
        if (!path.empty())
            exportAscii(path);
    }, hasResult);
    m_commands.on(kPrintPreview, [this](int) { vprint::openPrintPreview(m_picture, this); });
}

void CPowerWnd::showContextMenu(const QPoint& globalPos)
{
    execCommandMenu(this, QStringLiteral("Power menue"), m_commands,
                    {{kCopy, "Copy", false},
                     {kCopyAscii, "Copy Ascii", false},
                     {kPrint, "Print", false},
                     {0, nullptr, false},
                     {kSettingsCurrent, "Settings - Current diagram", false},
                     {kContinuousUpdate, "Continuous update", true},
                     {kLogScale, "Logarithmic scale", true},
                     {0, nullptr, false},
                     {kAsciiExport, "Ascii File Export", false}}, globalPos);
}

int CPowerWnd::fftSizeToUse() const
{
    if (m_parms.m_fftSize > 0)
        return m_parms.m_fftSize;
    // The plot fills the window: its area at the window's size (which the
    // window has from its creation on, shown or not).
    const PowerPlotPainter geometry(m_plot->picture(), QRectF(QPointF(0, 0), QSizeF(size())));
    return powerAutoFftSize(static_cast<int>(geometry.plotArea().width()));
}

void CPowerWnd::setRange(std::int64_t start, std::int64_t end, ChannelSel channel)
{
    const std::int64_t length = m_doc.lengthFrames();
    start = std::clamp<std::int64_t>(start, 0, std::max<std::int64_t>(0, length));
    bool cursor = end <= start;
    if (!cursor) {
        end = std::min(end, length);
        cursor = end <= start;
    }
    // The stretch of a cursor-mode window comes back as the view's selection
    // (or as the same cursor): nothing to do.
    if (m_cursorMode && !m_calc && !m_result.power.empty() && start == m_result.start &&
        (cursor || end == m_result.end))
        return;
    m_cursorMode = cursor;
    m_start = start;
    m_end = cursor ? start : end;
    // Both (or no) channel of a stereo recording: the left one.
    m_channel = channel == ChannelSel::Right && m_doc.format().channels >= 2 ? ChannelIndex::Right : ChannelIndex::Left;
    recalculate();
}

bool CPowerWnd::followSelection(std::int64_t start, std::int64_t end, ChannelSel channel)
{
    if (!m_parms.m_contUpd)
        return false;
    setRange(start, end, channel);
    return true;
}

void CPowerWnd::stopCalculation()
{
    m_progressTimer.stop();
    if (!m_calc)
        return;
    m_calc->stop();
    m_calc->waitForEnd(120000);
    m_calc.reset();
    if (!m_closed)
        m_plot->setMessage("");
}

void CPowerWnd::recalculate()
{
    stopCalculation();
    if (m_closed)
        return;
    const int n = fftSizeToUse();
    PowerRequest req;
    req.start = m_start;
    req.end = m_cursorMode ? m_start + n : std::max(m_end, m_start + n);
    req.channel = m_channel;
    req.fftSize = n;
    req.window = m_parms.m_fftWindow;
    if (m_cursorMode)
        emit cursorStretch(m_slot, req.start, req.end);
    const std::uint64_t run = ++m_run;
    // The worker posts its completion, tagged with its run; the window joins
    // the worker before it goes, and Qt drops what was posted to it then.
    CPowerWnd* self = this;
    m_calc = std::make_unique<PowerCalc>(m_doc, req, [self, run](PowerCalc&) {
        QMetaObject::invokeMethod(self, [self, run] { self->onDone(run); }, Qt::QueuedConnection);
    });
    const std::int64_t bytes = (req.end - req.start) * std::max(1, m_doc.blockAlign());
    m_plot->setMessage(bytes > 100000 ? "Calculating..." : "");
    updatePicture();
    if (!m_calc->start()) {
        m_calc.reset();
        m_plot->setMessage("Can not generate power spectrum: the calculation could not be started.");
        return;
    }
    m_progressTimer.start();
}

void CPowerWnd::onProgress()
{
    if (!m_calc)
        return;
    char buf[64];
    std::snprintf(buf, sizeof buf, "Calculating... %d %%", m_calc->progressPermille() / 10);
    m_plot->setMessage(buf);
}

void CPowerWnd::onDone(std::uint64_t run)
{
    // A completion of a run that has been replaced (or stopped) since.
    if (run != m_run || !m_calc)
        return;
    m_calc->waitForEnd(120000);
    m_result = m_calc->result();
    m_calc.reset();
    m_progressTimer.stop();
    m_plot->setMessage("");
    updateTitle();
    updatePicture();
    emit calculated(m_slot);
}

void CPowerWnd::updateTitle()
{
    if (m_result.fftSize > 0)
        setWindowTitle(QString::fromStdString(
            powerWindowTitle(m_result.fftSize, m_parms.m_fftWindow, m_doc.format().channels, m_channel)));
}

void CPowerWnd::updatePicture()
{
    PowerPicture& pic = m_plot->picture();
    pic.result = m_result.power.empty() ? nullptr : &m_result;
    pic.parms = m_parms;
    pic.rateHz = effectiveRate(m_doc);
    const std::int64_t s = m_result.power.empty() ? m_start : m_result.start;
    const std::int64_t e = m_result.power.empty() ? m_end : m_result.end;
    pic.startMicros = m_doc.framesToRealMicros(s);
    pic.endMicros = m_doc.framesToRealMicros(e);
    pic.showRange = !m_result.power.empty();
    m_plot->pictureChanged();
}

void CPowerWnd::paintPicture(QPainter& p, const QRectF& target, double unitsPerTwip) const
{
    PowerPicture pic = m_plot->picture();
    pic.message.clear();
    PowerPlotPainter(pic, target, unitsPerTwip).paint(p);
}

QImage CPowerWnd::pictureImage(const QSize& size) const
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintPicture(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return img;
}

std::string CPowerWnd::asciiText() const
{
    return powerExportText(m_result, m_parms.m_logScale);
}

bool CPowerWnd::copyPicture()
{
    vprint::copyPictureToClipboard(*m_picture);
    return true;
}

bool CPowerWnd::copyAscii()
{
    if (m_result.power.empty())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::clipboard()->setText(QString::fromStdString(asciiText()));
    QApplication::restoreOverrideCursor();
    return true;
}

bool CPowerWnd::exportAscii(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        CNumEdit::showMessage(this, std::string("CANNOT CREATE FILE: ") + std::strerror(errno));
        return false;
    }
    std::string error;
    bool ok = writePowerExport(m_result, m_parms.m_logScale, f, error);
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        error = std::string("Error when exporting data to file: ") + std::strerror(errno);
    }
    if (!ok)
        CNumEdit::showMessage(this, error);
    return ok;
}

bool CPowerWnd::editSettings()
{
    CPowerSettingsDlg dlg(m_parms, effectiveRate(m_doc), this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_parms = dlg.parms();
    recalculate();
    return true;
}

void CPowerWnd::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        stopCalculation();
        if (m_cursorMode)
            emit cursorStretch(m_slot, -1, -1);
        emit closing(m_slot);
    }
    event->accept();
}

void CPowerWnd::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && m_calc) {
        stopCalculation();
        m_plot->setMessage("Calculation stopped.");
        return;
    }
    QWidget::keyPressEvent(event);
}

void CPowerWnd::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_parms.m_fftSize <= 0)
        m_resizeTimer.start();
}
