#include "pulse/PulsCharDiagCls.h"

#include "core/NumberText.h"
#include "widgets/CNumEdit.h"
#include "document/CVesSoundDoc.h"
#include "pulse/PulsCharDispCls.h"
#include "pulse/PulsCharSettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// A stored integer shown divided by 10^d.
QString scaled(std::int64_t v, int d, bool trim)
{
    char buf[64];
    vkit::snprintfC(buf, sizeof buf, "%.*f", d, static_cast<double>(v) / std::pow(10.0, d));
    std::string s = buf;
    if (trim && s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.')
            s.pop_back();
    }
    return QString::fromStdString(s);
}

bool readScaled(QWidget* parent, QLineEdit* e, int d, double lo, double hi, std::int32_t& out)
{
    double v = 0;
    const std::string text = e->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toStdString();
    if (!vkit::parseDouble(text, v) || !std::isfinite(v) || v < lo || v > hi) {
        char buf[160];
        vkit::snprintfC(buf, sizeof buf, "Please enter a number between %g and %g.", lo, hi);
        CNumEdit::showMessage(parent, buf);
        e->setFocus();
        e->selectAll();
        return false;
    }
    out = static_cast<std::int32_t>(std::llround(v * std::pow(10.0, d)));
    return true;
}

QLineEdit* edit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setAccessibleName(QString::fromLatin1(name));
    return e;
}

QLabel* readOnly(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setAccessibleName(QString::fromLatin1(name));
    return l;
}

}  // namespace

// Where the worker delivers: queued calls to the dialog, tagged with the run.
// The dialog waits for the worker before it goes, so it outlives every call
// made here; Qt drops what is still queued for it then.
class PulsCharDiagCls::Sink : public IPulseSink {
public:
    Sink(PulsCharDiagCls* dialog, std::uint64_t run) : m_dialog(dialog), m_run(run) {}
    void pulseStatus(const std::string& text) override
    {
        PulsCharDiagCls* d = m_dialog;
        const std::uint64_t run = m_run;
        QMetaObject::invokeMethod(d, [d, run, text] { d->onStatus(run, text); }, Qt::QueuedConnection);
    }
    void pulseRow(PulseResult result) override
    {
        PulsCharDiagCls* d = m_dialog;
        const std::uint64_t run = m_run;
        QMetaObject::invokeMethod(d, [d, run, r = std::move(result)]() mutable { d->onRow(run, std::move(r)); },
                                  Qt::QueuedConnection);
    }

private:
    PulsCharDiagCls* m_dialog;
    std::uint64_t m_run;
};

PulsCharDiagCls::PulsCharDiagCls(CVesSoundDoc& doc, const VesPulsParms& parms, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_parms(parms)
{
    setWindowTitle(QStringLiteral("Pulse characteristics analysis"));
    setAccessibleName(windowTitle());
    setModal(false);
    auto* form = new QFormLayout;
    m_ampThres = edit(this, "Oscillogram threshold");
    m_ampSeparation = edit(this, "Minimum separation ");
    m_durTime = edit(this, "Minimum duration");
    m_freqThreshold = edit(this, "Spectrogram threshold");
    m_freqSeparation = edit(this, "Frequency separation");
    m_minFreq = edit(this, "Lower frequency limit");
    m_maxFreq = edit(this, "Upper frequency limit");
    form->addRow(QStringLiteral("Oscillogram threshold (dB)"), m_ampThres);
    form->addRow(QStringLiteral("Minimum separation (ms)"), m_ampSeparation);
    form->addRow(QStringLiteral("Minimum duration (ms)"), m_durTime);
    form->addRow(QStringLiteral("Spectrogram threshold (dB)"), m_freqThreshold);
    form->addRow(QStringLiteral("Frequency separation (Hz)"), m_freqSeparation);
    form->addRow(QStringLiteral("Lower frequency limit (Hz)"), m_minFreq);
    form->addRow(QStringLiteral("Upper frequency limit (Hz)"), m_maxFreq);
    m_fftSize = readOnly(this, "FFT size");
    m_fftOverlap = readOnly(this, "FFT overlap");
    m_fftWindow = readOnly(this, "FFT window");
    m_start = readOnly(this, "Start");
    m_end = readOnly(this, "End");
    form->addRow(QStringLiteral("FFT size"), m_fftSize);
    form->addRow(QStringLiteral("FFT overlap"), m_fftOverlap);
    form->addRow(QStringLiteral("FFT window"), m_fftWindow);
    form->addRow(QStringLiteral("Start (ms)"), m_start);
    form->addRow(QStringLiteral("End (ms)"), m_end);

    auto* grid = new QGridLayout;
    const std::pair<const char*, bool VesPulsParms::*> checks[] = {
        {"Start time", &VesPulsParms::m_startTime},
        {"End time", &VesPulsParms::m_stopTime},
        {"Duration", &VesPulsParms::m_duration},
        {"Mark start time", &VesPulsParms::m_startTimeMark},
        {"Mark end time", &VesPulsParms::m_stopTimeMark},
        {"Max frequency", &VesPulsParms::m_freqMax},
        {"Min frequency", &VesPulsParms::m_freqMin},
        {"Frequency at max amplitude", &VesPulsParms::m_freqStrong},
        {"Maximum amplitude", &VesPulsParms::m_ampMaxAmp},
        {"Mark max frequency", &VesPulsParms::m_freqMaxMark},
        {"Mark min frequency", &VesPulsParms::m_freqMinMark},
        {"Mark max amp.", &VesPulsParms::m_freqStrongMark},
        {"Pulse number", &VesPulsParms::m_pulsNum},
    };
    int i = 0;
    for (const auto& [name, member] : checks) {
        auto* c = new QCheckBox(QString::fromLatin1(name), this);
        c->setAccessibleName(c->text());
        grid->addWidget(c, i / 2, i % 2);
        m_checks.emplace_back(c, member);
        ++i;
    }
    auto* calc = new QPushButton(QStringLiteral("Calculate"), this);
    calc->setAccessibleName(QStringLiteral("Calculate"));
    calc->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setAccessibleName(QStringLiteral("Close"));
    connect(calc, &QPushButton::clicked, this, &PulsCharDiagCls::calculate);
    connect(close, &QPushButton::clicked, this, &PulsCharDiagCls::closeDialog);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(calc);
    buttons->addWidget(close);
    auto* box = new QVBoxLayout(this);
    box->addLayout(form);
    box->addLayout(grid);
    box->addLayout(buttons);
    showFields();
    connect(m_ampThres, &QLineEdit::textEdited, this, [this] {
        std::int32_t v = 0;
        double d = 0;
        const std::string text = m_ampThres->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toStdString();
        if (vkit::parseDouble(text, d) && std::isfinite(d) && std::fabs(d) < 1e6) {
            v = static_cast<std::int32_t>(std::llround(d * 100));
            m_parms.m_ampThres = v;
            emit thresholdEdited();
        }
    });
}

PulsCharDiagCls::~PulsCharDiagCls()
{
    stopWorker();
}

void PulsCharDiagCls::showFields()
{
    m_ampThres->setText(scaled(m_parms.m_ampThres, 2, false));
    m_ampSeparation->setText(scaled(m_parms.m_ampSeparationMySec, 3, true));
    m_durTime->setText(scaled(m_parms.m_durTimeMySec, 3, true));
    m_freqThreshold->setText(scaled(m_parms.m_freqThreshold, 2, false));
    m_freqSeparation->setText(QString::number(m_parms.m_freqSeparation));
    m_minFreq->setText(QString::number(m_parms.m_minFrequency));
    m_maxFreq->setText(QString::number(m_parms.m_maxFrequency));
    for (auto& [box, member] : m_checks)
        box->setChecked(m_parms.*member);
    m_fftSize->setText(QString::fromStdString(pulsFftSizeText(m_parms.m_fftSize)));
    m_fftOverlap->setText(QString::fromStdString(pulsFftOverlapText(m_parms.m_fftOverlap, m_parms.m_fftSize)));
    m_fftWindow->setText(QString::fromStdString(pulsFftWindowText(m_parms.m_fftWindow)));
    showRange();
}

void PulsCharDiagCls::showRange()
{
    const std::int64_t last = m_last < 0 ? m_doc.lengthFrames() : m_last;
    m_start->setText(scaled(m_doc.framesToRealMicros(m_first), 3, false));
    m_end->setText(scaled(m_doc.framesToRealMicros(last), 3, false));
}

bool PulsCharDiagCls::readFields()
{
    VesPulsParms p = m_parms;
    if (!readScaled(this, m_ampThres, 2, -200, 200, p.m_ampThres) ||
        !readScaled(this, m_ampSeparation, 3, 0, 2000000, p.m_ampSeparationMySec) ||
        !readScaled(this, m_durTime, 3, 0, 2000000, p.m_durTimeMySec) ||
        !readScaled(this, m_freqThreshold, 2, -200, 200, p.m_freqThreshold) ||
        !readScaled(this, m_freqSeparation, 0, 0, 1e9, p.m_freqSeparation) ||
        !readScaled(this, m_minFreq, 0, 0, 1e9, p.m_minFrequency) ||
        !readScaled(this, m_maxFreq, 0, 0, 1e9, p.m_maxFrequency))
        return false;
    for (auto& [box, member] : m_checks)
        p.*member = box->isChecked();
    // Measurements the dialog does not offer are not carried on by it.
    p.m_startFreq = p.m_stopFreq = p.m_durationFreq = false;
    m_parms = p;
    return true;
}

void PulsCharDiagCls::setRange(std::int64_t first, std::int64_t last, ChannelSel channel)
{
    const std::int64_t length = m_doc.lengthFrames();
    first = std::clamp<std::int64_t>(first, 0, std::max<std::int64_t>(0, length));
    if (last >= 0)
        last = std::clamp<std::int64_t>(last, 0, std::max<std::int64_t>(0, length));
    if (last >= 0 && last < first)
        std::swap(first, last);
    m_first = first;
    m_last = last;
    m_parms.m_leftChan = channel != ChannelSel::Right;
    m_parms.m_rightChan = channel == ChannelSel::Right;
    showRange();
}

void PulsCharDiagCls::selectionChanged(std::int64_t first, std::int64_t last, ChannelSel channel)
{
    if (m_parms.m_contUpd)
        setRange(first, last, channel);
}

void PulsCharDiagCls::levelMoved(std::int64_t level)
{
    m_parms.m_ampThres = PulsLevelToAmpThres(level);
    m_ampThres->setText(scaled(m_parms.m_ampThres, 2, false));
}

std::int64_t PulsCharDiagCls::levelCursorValue() const
{
    return PulsAmpThresToLevel(m_parms.m_ampThres);
}

ChannelSel PulsCharDiagCls::analysedChannel() const
{
    if (m_doc.format().channels < 2)
        return ChannelSel::Left;
    return m_parms.m_leftChan ? ChannelSel::Left : ChannelSel::Right;
}

bool PulsCharDiagCls::calculate()
{
    if (m_worker || !readFields())
        return false;
    auto* window = new PulsCharDispCls(m_doc, m_parms, parentWidget());
    window->setWindowFlag(Qt::Window, true);
    m_results.emplace_back(window);
    m_target = window;
    emit resultWindowOpened(window);
    window->show();
    PulseRequest req;
    req.first = m_first;
    req.last = m_last;
    req.parms = m_parms;
    const std::uint64_t run = ++m_run;
    m_sink = std::make_unique<Sink>(this, run);
    PulsCharDiagCls* self = this;
    m_worker = std::make_unique<PulsCharWorker>(m_doc, req, *m_sink, [self, run](PulsCharWorker&) {
        QMetaObject::invokeMethod(self, [self, run] { self->onWorkerDone(run); }, Qt::QueuedConnection);
    });
    if (!m_worker->start()) {
        m_worker.reset();
        m_sink.reset();
        window->setStatus("Can't start pulse analysis (CreateThread failed)!");
        return false;
    }
    return true;
}

void PulsCharDiagCls::stopWorker()
{
    if (!m_worker)
        return;
    m_worker->stop();
    m_worker.reset();
    m_sink.reset();
    ++m_run;  // whatever is still queued belongs to a run that is over
}

void PulsCharDiagCls::onRow(std::uint64_t run, PulseResult result)
{
    if (run != m_run)
        return;
    // Marks belong to the document and are placed here, on the user-interface thread.
    placePulseMarks(m_doc, result);
    bool anyMark = false;
    for (int id : result.markIds)
        anyMark = anyMark || id >= 0;
    if (m_target)
        m_target->addRow(result);
    if (anyMark)
        emit marksChanged();
}

void PulsCharDiagCls::onStatus(std::uint64_t run, const std::string& text)
{
    if (run == m_run && m_target)
        m_target->setStatus(text);
}

void PulsCharDiagCls::onWorkerDone(std::uint64_t run)
{
    if (run != m_run || !m_worker)
        return;
    m_worker->stop();  // at its end already: only joins
    m_worker.reset();
    m_sink.reset();
    emit workerDone();
}

std::vector<PulsCharDispCls*> PulsCharDiagCls::resultWindows() const
{
    std::vector<PulsCharDispCls*> out;
    for (const auto& w : m_results)
        if (w)
            out.push_back(w);
    return out;
}

void PulsCharDiagCls::finish(int how)
{
    if (m_finished)
        return;
    m_finished = true;
    stopWorker();
    emit dialogClosing(how);
}

void PulsCharDiagCls::closeDialog()
{
    if (!readFields())
        return;
    finish(1);
}

void PulsCharDiagCls::reject()
{
    finish(2);
}

void PulsCharDiagCls::closeEvent(QCloseEvent* event)
{
    stopWorker();
    for (PulsCharDispCls* w : resultWindows())
        w->close();
    finish(2);
    event->accept();
}
