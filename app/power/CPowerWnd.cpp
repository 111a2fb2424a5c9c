#include "power/CPowerWnd.h"

#include "document/CVesSoundDoc.h"
#include "power/CPowerPlot.h"
#include "power/CPowerSettingsDlg.h"
#include "power/PowerScale.h"
#include "widgets/CNumEdit.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QPainter>

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
    : CMeasureWnd(doc, slot, QStringLiteral("Power Spectra"), QStringLiteral("Power spectrum window"),
                  QSize(kDefaultWidth, kDefaultHeight), QStringLiteral("Power menue"), parent),
      m_parms(parms)
{
    m_plot = new CPowerPlot(this);
    setPlot(m_plot, {{kLogScale, "Logarithmic scale", true},
                     {0, nullptr, false},
                     {kAsciiExport, "Ascii File Export", false}});
    addMenuRowAfter(kPrint, {kPrintPreview, "Print Preview", false});
    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, &CPowerWnd::onProgress);
    m_resizeTimer.setSingleShot(true);
    m_resizeTimer.setInterval(150);
    connect(&m_resizeTimer, &QTimer::timeout, this, [this] {
        // An automatic FFT size follows the plot's width.
        if (m_parms.m_fftSize <= 0 && fftSizeToUse() != m_result.fftSize && !closed())
            recalculate();
    });
    commands().on(kLogScale, [this](int) {
        m_parms.m_logScale = !m_parms.m_logScale;
        recalculate();
    }, [this](int, CommandState& s) { s.checked = m_parms.m_logScale; });
    commands().on(kAsciiExport, [this](int) {
        const std::string path = askExportPath(this);
        if (!path.empty())
            exportAscii(path);
    }, [this](int, CommandState& s) { s.enabled = hasResult(); });
    updatePicture();
}

CPowerWnd::~CPowerWnd()
{
    stopCalculation();
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
    const std::int64_t length = doc().lengthFrames();
    start = std::clamp<std::int64_t>(start, 0, std::max<std::int64_t>(0, length));
    bool cursor = end <= start;
    if (!cursor) {
        end = std::min(end, length);
        cursor = end <= start;
    }
    // The stretch of a cursor-mode window comes back as the view's selection
    // (or as the same cursor): nothing to do.
    if (m_cursorMode && !calculating() && !m_result.power.empty() && start == m_result.start &&
        (cursor || end == m_result.end))
        return;
    m_cursorMode = cursor;
    m_start = start;
    m_end = cursor ? start : end;
    // Both (or no) channel of a stereo recording: the left one.
    m_channel = channel == ChannelSel::Right && doc().format().channels >= 2 ? ChannelIndex::Right : ChannelIndex::Left;
    recalculate();
}

void CPowerWnd::calculationStopped()
{
    m_progressTimer.stop();
    if (!closed())
        m_plot->setMessage("");
}

void CPowerWnd::recalculate()
{
    stopCalculation();
    if (closed())
        return;
    const int n = fftSizeToUse();
    PowerRequest req;
    req.start = m_start;
    req.end = m_cursorMode ? m_start + n : std::max(m_end, m_start + n);
    req.channel = m_channel;
    req.fftSize = n;
    req.window = m_parms.m_fftWindow;
    if (m_cursorMode)
        emit cursorStretch(slot(), req.start, req.end);
    auto calc = std::make_shared<PowerCalc>(doc(), req);
    const std::int64_t bytes = (req.end - req.start) * std::max(1, doc().blockAlign());
    m_plot->setMessage(bytes > 100000 ? "Calculating..." : "");
    updatePicture();
    const bool started = startJob([calc](vkit::BackgroundJob::Control& control) { calc->run(control); },
                                  [this, calc] {
                                      if (!calc->result().complete)
                                          return false;
                                      m_result = calc->result();
                                      m_progressTimer.stop();
                                      m_plot->setMessage("");
                                      updateTitle();
                                      updatePicture();
                                      return true;
                                  });
    if (!started) {
        m_plot->setMessage("Can't start power spectrum calculation (CreateThread failed)!");
        return;
    }
    m_progressTimer.start();
}

void CPowerWnd::onProgress()
{
    if (!calculating())
        return;
    char buf[64];
    std::snprintf(buf, sizeof buf, "Calculating... %d %%", jobProgressPermille() / 10);
    m_plot->setMessage(buf);
}

void CPowerWnd::updateTitle()
{
    if (m_result.fftSize > 0)
        setWindowTitle(QString::fromStdString(
            powerWindowTitle(m_result.fftSize, m_parms.m_fftWindow, doc().format().channels, m_channel)));
}

void CPowerWnd::updatePicture()
{
    PowerPicture& pic = m_plot->picture();
    pic.result = m_result.power.empty() ? nullptr : &m_result;
    pic.parms = m_parms;
    pic.rateHz = effectiveRate(doc());
    const std::int64_t s = m_result.power.empty() ? m_start : m_result.start;
    const std::int64_t e = m_result.power.empty() ? m_end : m_result.end;
    pic.startMicros = doc().framesToRealMicros(s);
    pic.endMicros = doc().framesToRealMicros(e);
    pic.showRange = !m_result.power.empty();
    m_plot->pictureChanged();
}

void CPowerWnd::paintPicture(QPainter& p, const QRectF& target, double unitsPerTwip) const
{
    PowerPicture pic = m_plot->picture();
    pic.message.clear();
    PowerPlotPainter(pic, target, unitsPerTwip).paint(p);
}

std::string CPowerWnd::asciiText() const
{
    return powerExportText(m_result, m_parms.m_logScale);
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
    CPowerSettingsDlg dlg(m_parms, effectiveRate(doc()), this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_parms = dlg.parms();
    recalculate();
    return true;
}

void CPowerWnd::windowClosing()
{
    if (m_cursorMode)
        emit cursorStretch(slot(), -1, -1);
}

void CPowerWnd::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && calculating()) {
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
