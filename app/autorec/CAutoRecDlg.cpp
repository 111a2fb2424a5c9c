#include "autorec/CAutoRecDlg.h"

#include "autorec/AutoRecMessage.h"
#include "autorec/AutoRecRun.h"
#include "autorec/AutoRecTexts.h"
#include "autorec/CAutoRecHelpDlg.h"
#include "autorec/CAutoRecStatusDlg.h"
#include "autorec/RecDiskSpace.h"
#include "display/CAnaPlot.h"
#include "widgets/CNumEdit.h"
#include "widgets/CRecStatus.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "soundfiles/VesFileType.h"
#include "soundio/CSndFormat.h"
#include "soundio/SoundDevices.h"
#include "soundio/SoundSystem.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>

using autorec::FileNaming;
using autorec::MarkType;
using autorec::TriggerChannels;
using autorec::TriggerType;

namespace {

constexpr int kFftSizes[8] = {2048, 1024, 512, 256, 128, 64, 32, 16};
struct WindowName {
    const char* name;
    int code;
};
constexpr WindowName kWindows[5] = {{"Rectangular", 0}, {"Hanning", 2}, {"Parzen", 1}, {"Hamming", 4}, {"Cosine", 8}};

CNumEdit* numField(QWidget* parent, const QString& name, int decimals, std::int64_t lo, std::int64_t hi)
{
    auto* e = new CNumEdit(NumEditFormat{decimals, lo, hi, false, false}, parent);
    e->setAccessibleName(name);
    return e;
}

QRadioButton* radio(QWidget* parent, const QString& text, QButtonGroup* group, int id)
{
    auto* r = new QRadioButton(text, parent);
    r->setAccessibleName(text);
    group->addButton(r, id);
    return r;
}

// A stored code as the id of its button or the index of its list entry.
template <class Code>
int id(Code code)
{
    return static_cast<int>(code);
}

}  // namespace

CAutoRecDlg::CAutoRecDlg(CVesAnaView& view, const VesAutoRecParms& parms, QWidget* parent)
    : QDialog(parent), m_view(view), m_parms(parms)
{
    m_manual = parms.m_trigger == TriggerType::Continuous;
    setWindowTitle(QStringLiteral("Automatic recording parameters"));
    setAccessibleName(QStringLiteral("Automatic recording parameters"));

    // ---- times and counts ----
    m_before = numField(this, QStringLiteral("Recording time before trigger"), 0, 0, 10000);
    m_after = numField(this, QStringLiteral("Recording time after trigger"), 0, 0, 10000);
    m_maxTime = numField(this, QStringLiteral("Max. recording time per file"), 0, 0, 2400000);
    m_maxCount = numField(this, QStringLiteral("Max. number of recordings"), 0, 0, 10000);
    m_minTimeNext = numField(this, QStringLiteral("Minimum time to next recording"), 0, 0, 10000);
    m_minTimeNext->hide();
    m_minDuration = numField(this, QStringLiteral("Minimum duration"), 0, INT32_MIN, INT32_MAX);
    auto* times = new QGroupBox(QStringLiteral("Recording"), this);
    auto* timesForm = new QFormLayout(times);
    timesForm->addRow(QStringLiteral("Recording time before trigger (ms)"), m_before);
    timesForm->addRow(QStringLiteral("Recording time after trigger (ms)"), m_after);
    timesForm->addRow(QStringLiteral("Max. recording time per file (ms)"), m_maxTime);
    timesForm->addRow(QStringLiteral("Max. number of recordings"), m_maxCount);
    timesForm->addRow(QStringLiteral("Minimum duration (ms)"), m_minDuration);

    // ---- files ----
    m_fileName = new QLineEdit(this);
    m_fileName->setAccessibleName(QStringLiteral("Beginning (optionally including path)"));
    m_browse = new QPushButton(QStringLiteral("Browse"), this);
    m_browse->setAccessibleName(QStringLiteral("Browse"));
    m_fileSwitch = new QComboBox(this);
    m_fileSwitch->setAccessibleName(QStringLiteral("File numbering"));
    for (int i = 0; i <= 5; ++i)
        m_fileSwitch->addItem(QString::fromLatin1(autorec::fileNamingName(i)));
    m_seqStart = numField(this, QStringLiteral("Start sequence number"), 0, INT32_MIN, INT32_MAX);
    m_marks = new QComboBox(this);
    m_marks->setAccessibleName(QStringLiteral("Mark start of recording"));
    for (int i = 0; i <= 4; ++i)
        m_marks->addItem(QString::fromLatin1(autorec::markTypeName(i)));
    m_freeLine = new QLabel(this);
    m_freeLine->setAccessibleName(QStringLiteral("Free disk space"));
    m_freeLine->setWordWrap(true);
    auto* files = new QGroupBox(QStringLiteral("File name"), this);
    auto* filesForm = new QFormLayout(files);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(m_fileName, 1);
    nameRow->addWidget(m_browse);
    filesForm->addRow(QStringLiteral(" Beginning (optionally including path)"), nameRow);
    filesForm->addRow(QStringLiteral("File numbering"), m_fileSwitch);
    filesForm->addRow(m_freeLine);
    filesForm->addRow(QStringLiteral("Start sequence number"), m_seqStart);
    filesForm->addRow(QStringLiteral("Mark start of recording"), m_marks);

    // ---- trigger ----
    m_trigger = new QButtonGroup(this);
    auto* trig = new QGroupBox(QStringLiteral("Trigger type"), this);
    auto* trigBox = new QVBoxLayout(trig);
    trigBox->addWidget(radio(trig, QStringLiteral("Oscillogram level"), m_trigger, id(TriggerType::Level)));
    trigBox->addWidget(radio(trig, QStringLiteral("Frequency domain level"), m_trigger, id(TriggerType::Spectrum)));
    m_external = radio(trig, QStringLiteral("External trigger"), m_trigger, id(TriggerType::External));
    m_external->hide();
    m_source = new QButtonGroup(this);
    auto* source = new QGroupBox(QStringLiteral("Trigger source"), this);
    auto* sourceBox = new QVBoxLayout(source);
    sourceBox->addWidget(radio(source, QStringLiteral("Both channels"), m_source, id(TriggerChannels::Both)));
    sourceBox->addWidget(radio(source, QStringLiteral("Left channel"), m_source, id(TriggerChannels::Left)));
    sourceBox->addWidget(radio(source, QStringLiteral("Right channel"), m_source, id(TriggerChannels::Right)));

    m_ampDb = numField(this, QStringLiteral("Oscillogram threshold (dB)"), 2, -10000, 0);
    m_ampPercent = numField(this, QStringLiteral("Oscillogram threshold (%)"), 2, 0, 9999);
    auto* level = new QGroupBox(QStringLiteral("Oscillogram threshold"), this);
    auto* levelRow = new QHBoxLayout(level);
    levelRow->addWidget(m_ampDb);
    levelRow->addWidget(new QLabel(QStringLiteral("dB"), level));
    levelRow->addWidget(m_ampPercent);
    levelRow->addWidget(new QLabel(QStringLiteral("%"), level));

    m_frecThres = numField(this, QStringLiteral("Power spectrum threshold"), 2, -10000, 0);
    m_frecMin = numField(this, QStringLiteral("Lower frequency limit"), 0, 0, 100000000);
    m_frecMax = numField(this, QStringLiteral("Upper frequency limit"), 0, 0, 100000000);
    m_fftSize = new QComboBox(this);
    m_fftSize->setAccessibleName(QStringLiteral("FFT size"));
    for (int n : kFftSizes)
        m_fftSize->addItem(QStringLiteral("%1 samples").arg(n));
    m_overlap = new QSpinBox(this);
    m_overlap->setRange(0, 100);
    m_overlap->setAccessibleName(QStringLiteral("FFT overlap"));
    m_window = new QComboBox(this);
    m_window->setAccessibleName(QStringLiteral("FFT window"));
    for (const WindowName& w : kWindows)
        m_window->addItem(QString::fromLatin1(w.name));
    auto* freq = new QGroupBox(QStringLiteral("Frequency domain"), this);
    auto* freqForm = new QFormLayout(freq);
    freqForm->addRow(QStringLiteral("Power spectrum threshold (dB)"), m_frecThres);
    freqForm->addRow(QStringLiteral("Lower frequency limit (Hz)"), m_frecMin);
    freqForm->addRow(QStringLiteral("Upper frequency limit (Hz)"), m_frecMax);
    freqForm->addRow(QStringLiteral("FFT size"), m_fftSize);
    freqForm->addRow(QStringLiteral("FFT overlap (%)"), m_overlap);
    freqForm->addRow(QStringLiteral("FFT window"), m_window);

    m_graphics = new QCheckBox(QStringLiteral("Realtime graphics"), this);
    m_graphics->setAccessibleName(QStringLiteral("Realtime graphics"));
    m_messages = new QTextEdit(this);
    m_messages->setReadOnly(true);
    m_messages->setFixedHeight(48);
    m_messages->setAccessibleName(QStringLiteral("Messages"));

    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setAccessibleName(QStringLiteral("Start"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setAccessibleName(QStringLiteral("Close"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    auto* format = new QPushButton(QStringLiteral("Sound format"), this);
    format->setAccessibleName(QStringLiteral("Sound format"));
    auto* helpButton = new QPushButton(QStringLiteral("Help"), this);
    helpButton->setAccessibleName(QStringLiteral("Help"));
    m_start->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(times, 0, 0);
    grid->addWidget(files, 0, 1);
    auto* trigRow = new QHBoxLayout;
    trigRow->addWidget(trig);
    trigRow->addWidget(source);
    auto* left = new QVBoxLayout;
    left->addLayout(trigRow);
    left->addWidget(level);
    left->addWidget(m_graphics);
    left->addStretch(1);
    grid->addLayout(left, 1, 0);
    grid->addWidget(freq, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(close);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(format);
    buttons->addWidget(helpButton);
    auto* box = new QVBoxLayout(this);
    box->addLayout(grid);
    box->addWidget(m_messages);
    box->addLayout(buttons);

    connect(m_start, &QPushButton::clicked, this, [this] { start(); });
    connect(close, &QPushButton::clicked, this, &CAutoRecDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CAutoRecDlg::reject);
    connect(format, &QPushButton::clicked, this, &CAutoRecDlg::soundFormat);
    connect(helpButton, &QPushButton::clicked, this, &CAutoRecDlg::help);
    connect(m_browse, &QPushButton::clicked, this, &CAutoRecDlg::browse);
    connect(m_trigger, &QButtonGroup::idClicked, this, [this](int) { updateEnables(); });
    connect(m_fileSwitch, &QComboBox::currentIndexChanged, this, [this](int) { updateEnables(); });
    connect(m_ampDb, &QLineEdit::textEdited, this, [this] { m_pendingCoupling = 1; });
    connect(m_ampPercent, &QLineEdit::textEdited, this, [this] { m_pendingCoupling = 2; });
    connect(m_ampDb, &QLineEdit::editingFinished, this, &CAutoRecDlg::dbLeft);
    connect(m_ampPercent, &QLineEdit::editingFinished, this, &CAutoRecDlg::percentLeft);
    connect(m_fileName, &QLineEdit::editingFinished, this, [this] { refreshFreeSpace(false); });

    loadFields();
    updateEnables();
    refreshFreeSpace(true);
}

CAutoRecDlg::~CAutoRecDlg() = default;

bool CAutoRecDlg::stereo() const
{
    return m_view.viewHost().doc().format().channels == 2;
}

void CAutoRecDlg::loadFields()
{
    const VesAutoRecParms& p = m_parms;
    m_before->setValue(p.m_recTimeBefore);
    m_after->setValue(p.m_recTimeAfter);
    m_maxTime->setValue(p.m_recMaxTime);
    m_maxCount->setValue(p.m_recMaxCnt);
    m_minTimeNext->setValue(p.m_recMinTimeNext);
    m_minDuration->setValue(p.m_ampMinDuration);
    m_fileName->setText(QString::fromStdString(p.m_fileName));
    m_fileSwitch->setCurrentIndex(id(std::clamp(p.m_fileSwitch, FileNaming::SingleFile, FileNaming::TimeMillis)));
    m_seqStart->setValue(p.m_fileSeqStart);
    m_marks->setCurrentIndex(id(std::clamp(p.m_fileMarks, MarkType::None, MarkType::RelativeTime)));
    if (QAbstractButton* b = m_trigger->button(id(m_manual ? TriggerType::Level : p.m_trigger)))
        b->setChecked(true);
    else
        m_trigger->button(id(TriggerType::Level))->setChecked(true);
    if (QAbstractButton* b = m_source->button(id(stereo() ? p.m_trigChans : TriggerChannels::Both)))
        b->setChecked(true);
    else
        m_source->button(id(TriggerChannels::Both))->setChecked(true);
    // The percent follows the dB value, inside the field's range.
    m_ampDb->setValue(std::clamp(p.m_ampThresDb, -10000, 0));
    m_ampPercent->setValue(autorec::thresholdDbToPercent(std::clamp(p.m_ampThresDb, -10000, 0)));
    m_frecThres->setValue(std::clamp(p.m_frecThres, -10000, 0));
    // 0 or less means the whole band; the fields show it as 0.
    m_frecMin->setValue(std::clamp(p.m_frecMin, 0, 100000000));
    m_frecMax->setValue(std::clamp(p.m_frecMax, 0, 100000000));
    int sizeIndex = 3;
    for (int i = 0; i < 8; ++i)
        if (kFftSizes[i] == p.m_fftSize)
            sizeIndex = i;
    m_fftSize->setCurrentIndex(sizeIndex);
    m_overlap->setValue(std::clamp(p.m_fftMinOverLap, 0, 100));
    int windowIndex = 1;
    for (int i = 0; i < 5; ++i)
        if (kWindows[i].code == p.m_fftWindow)
            windowIndex = i;
    m_window->setCurrentIndex(windowIndex);
    m_graphics->setChecked(p.m_graphics);
}

void CAutoRecDlg::updateEnables()
{
    const auto t = static_cast<TriggerType>(m_trigger->checkedId());
    const bool freq = !m_manual && t == TriggerType::Spectrum;
    const bool level = !m_manual && t == TriggerType::Level;
    for (QWidget* w : std::initializer_list<QWidget*>{m_frecMin, m_frecMax, m_frecThres, m_fftSize, m_window, m_overlap})
        w->setEnabled(freq);
    m_ampDb->setEnabled(level);
    m_ampPercent->setEnabled(level);
    m_minDuration->setEnabled(level || freq);
    for (QAbstractButton* b : m_trigger->buttons())
        b->setEnabled(!m_manual);
    for (QAbstractButton* b : m_source->buttons())
        b->setEnabled(stereo() && !m_manual);
    const auto naming = static_cast<FileNaming>(m_fileSwitch->currentIndex());
    m_fileName->setEnabled(naming != FileNaming::SingleFile);
    m_browse->setEnabled(naming != FileNaming::SingleFile);
    m_seqStart->setEnabled(naming == FileNaming::Sequence || naming == FileNaming::DateSequence);
}

void CAutoRecDlg::dbLeft()
{
    const NumEditRead r = m_ampDb->read();
    if (r.ok())
        m_ampDb->setValue(r.value);
    if (r.ok())
        m_ampPercent->setValue(autorec::thresholdDbToPercent(static_cast<std::int32_t>(r.value)));
    if (m_pendingCoupling == 1)
        m_pendingCoupling = 0;
}

void CAutoRecDlg::percentLeft()
{
    const NumEditRead r = m_ampPercent->read();
    if (r.ok())
        m_ampPercent->setValue(r.value);
    if (r.ok())
        m_ampDb->setValue(autorec::thresholdPercentToDb(static_cast<std::int32_t>(r.value)));
    if (m_pendingCoupling == 2)
        m_pendingCoupling = 0;
}

void CAutoRecDlg::applyPendingCoupling()
{
    if (m_pendingCoupling == 1)
        dbLeft();
    else if (m_pendingCoupling == 2)
        percentLeft();
    m_pendingCoupling = 0;
}

bool CAutoRecDlg::readFields(bool messages)
{
    applyPendingCoupling();
    VesAutoRecParms p = m_parms;
    const auto get = [messages](CNumEdit* e, std::int32_t& out) {
        std::int64_t v = 0;
        if (messages) {
            if (!e->readValue(v))
                return false;
        } else {
            const NumEditRead r = e->read();
            if (!r.ok())
                return false;
            v = r.value;
        }
        out = static_cast<std::int32_t>(v);
        return true;
    };
    if (!get(m_before, p.m_recTimeBefore) || !get(m_after, p.m_recTimeAfter) || !get(m_maxTime, p.m_recMaxTime) ||
        !get(m_maxCount, p.m_recMaxCnt) || !get(m_minTimeNext, p.m_recMinTimeNext) ||
        !get(m_minDuration, p.m_ampMinDuration) || !get(m_seqStart, p.m_fileSeqStart) ||
        !get(m_ampDb, p.m_ampThresDb) || !get(m_ampPercent, p.m_ampThresProc) || !get(m_frecThres, p.m_frecThres) ||
        !get(m_frecMin, p.m_frecMin) || !get(m_frecMax, p.m_frecMax))
        return false;
    const std::string name = m_fileName->text().toStdString();
    if (name.size() > VesAutoRecParms::kFileNameMax) {
        if (messages) {
            CNumEdit::showMessage(this, "The file name is too long (at most 259 bytes).");
            m_fileName->setFocus();
        }
        return false;
    }
    p.m_fileName = name;
    p.m_fileSwitch = static_cast<FileNaming>(m_fileSwitch->currentIndex());
    p.m_fileMarks = static_cast<MarkType>(m_marks->currentIndex());
    if (!m_manual)
        p.m_trigger = static_cast<TriggerType>(std::max(0, m_trigger->checkedId()));
    p.m_trigChans = stereo() ? static_cast<TriggerChannels>(std::max(0, m_source->checkedId())) : TriggerChannels::Both;
    // "Automatic" gives 0, the others their leading digits.
    const QString sizeText = m_fftSize->currentText();
    p.m_fftSize = sizeText == QStringLiteral("Automatic") ? 0 : sizeText.section(QLatin1Char(' '), 0, 0).toInt();
    p.m_fftMinOverLap = m_overlap->value();
    p.m_fftWindow = 0;
    for (const WindowName& w : kWindows)
        if (m_window->currentText() == QLatin1String(w.name))
            p.m_fftWindow = w.code;
    p.m_graphics = m_graphics->isChecked();
    m_parms = p;
    return true;
}

void CAutoRecDlg::refreshFreeSpace(bool warn)
{
    CVesSoundDoc& doc = m_view.viewHost().doc();
    const std::string name = m_fileName->text().toStdString();
    const auto files = recdisk::diskSpaceOf(recdisk::recordingFolder(name, VesFilePath(doc.path()).plain()));
    const auto work = recdisk::diskSpaceOf(recdisk::workFolder());
    m_freeLine->setText(QString::fromStdString(recdisk::freeSpaceLine(files, work, "Free:")));
    if (warn && autorec::diskSpaceShort(recdisk::freeOf(files), recdisk::freeOf(work)))
        m_messages->setHtml(QStringLiteral("<span style=\"color:#ff0000\">Disk(s) almost full!</span>"));
}

void CAutoRecDlg::browse()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Beginning of the file names"),
                                                      m_fileName->text());
    if (!path.isEmpty())
        m_fileName->setText(path);
    refreshFreeSpace(false);
}

void CAutoRecDlg::soundFormat()
{
    runSoundFormat(m_view);
    updateEnables();
    if (!stereo())
        m_source->button(0)->setChecked(true);
}

void CAutoRecDlg::help()
{
    CAutoRecHelpDlg dlg(QString(), this);
    dlg.exec();
}

int CAutoRecDlg::run()
{
    setResult(QDialog::Rejected);
    if (m_manual) {
        // Manual recording starts at once and never shows the parameters:
        // when it cannot start, nothing is left open.
        if (!start())
            done(QDialog::Rejected);
        return result();
    }
    setModal(true);
    show();
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    if (result() == 0 && isVisible())
        loop.exec();
    return result();
}

void CAutoRecDlg::accept()
{
    if (!readFields(true))
        return;
    QDialog::accept();
}

void CAutoRecDlg::closeEvent(QCloseEvent* event)
{
    // Closing while a run is in progress is left to the status window.
    if (m_run) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CAutoRecDlg::setLive(bool on)
{
    const QString device = QString::fromStdString(soundDevices().recordingDeviceName());
    const std::uint32_t rate = m_view.viewHost().doc().format().samplesPerSec;
    for (CVesAnaView* v : m_view.viewHost().views()) {
        if (CAnaPlot* plot = v->plot()) {
            plot->setLiveMode(on);
            if (!on)
                v->lengthFromStore();
        }
        // The strip names the device that records, and its rate.
        if (CRecStatus* strip = v->statusStrip()) {
            strip->setDeviceName(on ? device : QString());
            strip->setRate(rate, 1.0, false);
        }
    }
}

bool CAutoRecDlg::start()
{
    if (m_run)
        return false;
    if (!readFields(true))
        return false;
    SoundDeviceTables& devs = soundDevices();
    if (!devs.recordingDevicePresent()) {
        autorecui::message(this, "No recording device selected");
        return false;
    }
    CVesSoundDoc& doc = m_view.viewHost().doc();
    autorec::AutoRecConfig config;
    config.parms = m_parms;
    config.format = doc.format();
    config.timeExp25 = doc.effectiveTimeExp25();
    config.backend = &audioBackend();
    config.deviceId = devs.inputs()[static_cast<std::size_t>(devs.selectedInput())].id;
    config.deviceName = devs.recordingDeviceName();
    // Recording into the document writes its sample store: the samples still
    // read from the opened file must be copied in first.
    // A run of one file per recording goes through the document too when
    // its views are to draw it live: each recording replaces the sound, so
    // only a document without sound takes it.
    const bool intoDocument = m_manual || m_parms.m_fileSwitch == FileNaming::SingleFile;
    m_liveRefused = false;
    bool live = false;
    if (!intoDocument && m_parms.m_graphics) {
        live = doc.lengthFrames() == 0 && doc.samples().length() == 0;
        m_liveRefused = !live;
    }
    if ((intoDocument || live) && !doc.finishBackgroundCopy())
        return false;
    if (intoDocument || live)
        config.store = &doc.samples();
    config.documentPath = VesFilePath(doc.path()).plain();
    config.singleFilePath = config.documentPath;
    config.extension = "wav";
#ifdef VES_VERSION
    config.programVersion = VES_VERSION;
#endif
    auto run = std::make_unique<AutoRecRun>(doc);
    connect(run.get(), &AutoRecRun::sequenceNumber, this, [this](qint64 next) {
        m_seqStart->setValue(next);
        m_parms.m_fileSeqStart = static_cast<std::int32_t>(next);
    });
    connect(run.get(), &AutoRecRun::logLine, this, [this](const QString& t) {
        m_freeLine->setText(t.section(QLatin1Char('\n'), -1).trimmed());
    });
    connect(run.get(), &AutoRecRun::graphicsChanged, this, [this](bool on) { m_graphics->setChecked(on); });
    std::string error;
    if (!run->start(config, error)) {
        // The device refused before any status window exists: say so here.
        autorecui::message(this, error.empty() ? std::string("Can't start recording!") : error);
        return false;
    }
    m_run = std::move(run);
    m_recorded = true;
    setLive(true);
    if (isVisible())
        hide();
    {
        CAutoRecStatusDlg status(*m_run, m_parms, QStringLiteral("Recording Status"));
        m_status = &status;
        if (m_liveRefused)
            status.addLog(QStringLiteral("Realtime graphics needs a recording without sound: the files are written "
                                         "without drawing them."));
        status.exec();
        m_status = nullptr;
    }
    m_run->finish();
    const std::int64_t next = m_run->status().sequenceNumber;
    if (next != m_parms.m_fileSeqStart && m_parms.m_fileSwitch != FileNaming::SingleFile) {
        m_parms.m_fileSeqStart = static_cast<std::int32_t>(next);
        m_seqStart->setValue(next);
    }
    m_run.reset();
    setLive(false);
    if (m_manual) {
        done(QDialog::Rejected);
        return true;
    }
    if (!isVisible())
        show();
    return true;
}
