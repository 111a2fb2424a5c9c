#include "autorec/CAutoRecStatusDlg.h"

#include "autorec/AutoRecMessage.h"
#include "autorec/AutoRecRun.h"
#include "autorec/AutoRecTexts.h"
#include "autorec/RecDiskSpace.h"
#include "document/CVesSoundDoc.h"
#include "soundfiles/VesFileType.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QVBoxLayout>

#include <filesystem>
#include <optional>

namespace {
// Where the window was last, for the rest of the program's run.
std::optional<QPoint> g_position;

const QColor kGrey(32, 32, 32);
const QColor kRecording(128, 32, 32);
const QColor kDarkRed(128, 0, 0);

bool storeRun(const VesAutoRecParms& p)
{
    return p.m_trigger == autorec::TriggerType::Continuous || p.m_fileSwitch == autorec::FileNaming::SingleFile;
}
}  // namespace

CAutoRecStatusDlg::CAutoRecStatusDlg(AutoRecRun& run, const VesAutoRecParms& parms, const QString& title,
                                     QWidget* parent)
    : QDialog(parent), m_run(run), m_parms(parms)
{
    // A window of its own, not a child of the parameters dialog.
    setParent(nullptr, Qt::Dialog);
    setModal(true);
    setWindowTitle(title.isEmpty() ? QStringLiteral("Recording status") : title);
    setAccessibleName(QStringLiteral("Recording status"));

    m_state = new QTextEdit(this);
    m_state->setReadOnly(true);
    m_state->setFixedHeight(34);
    m_state->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_state->setAccessibleName(QStringLiteral("State"));
    m_startStop = new QPushButton(QStringLiteral("Stop"), this);
    m_startStop->setAccessibleName(QStringLiteral("Stop or Start"));
    m_startStop->setToolTip(QStringLiteral("Pause or resume the run (key S)"));
    m_clear = new QPushButton(QStringLiteral("Clear file"), this);
    m_clear->setAccessibleName(QStringLiteral("Clear file"));
    m_newFile = new QPushButton(QStringLiteral("New file"), this);
    m_newFile->setAccessibleName(QStringLiteral("New file"));
    m_exit = new QPushButton(QStringLiteral("Exit"), this);
    m_exit->setAccessibleName(QStringLiteral("Exit"));
    m_fileFormat = new QPushButton(QStringLiteral("File format"), this);
    m_fileFormat->setEnabled(false);
    m_fileFormat->hide();
    m_log = new QPlainTextEdit(this);
    m_log->setReadOnly(true);
    m_log->setAccessibleName(QStringLiteral("Log"));
    m_log->setMinimumSize(420, 160);
    m_time = new QLabel(this);
    m_time->setAccessibleName(QStringLiteral("Recorded time"));
    m_disk = new QLabel(this);
    m_disk->setAccessibleName(QStringLiteral("Free disk space"));
    m_counts = new QLabel(this);
    m_counts->setAccessibleName(QStringLiteral("Counts"));
    m_graphics = new QCheckBox(QStringLiteral("Realtime graphics"), this);
    m_graphics->setAccessibleName(QStringLiteral("Realtime graphics"));
    m_graphics->setChecked(parms.m_graphics);

    auto* top = new QHBoxLayout;
    top->addWidget(m_state, 1);
    top->addWidget(m_startStop);
    top->addWidget(m_clear);
    top->addWidget(m_newFile);
    top->addWidget(m_exit);
    auto* bottom = new QGridLayout;
    bottom->addWidget(m_time, 0, 0);
    bottom->addWidget(m_disk, 0, 1);
    bottom->addWidget(m_counts, 1, 0, 1, 2);
    bottom->addWidget(m_graphics, 2, 0);
    bottom->addWidget(m_fileFormat, 2, 1);
    auto* box = new QVBoxLayout(this);
    box->addLayout(top);
    box->addWidget(m_log, 1);
    box->addLayout(bottom);

    connect(m_startStop, &QPushButton::clicked, this, &CAutoRecStatusDlg::onStartStop);
    connect(m_clear, &QPushButton::clicked, this, &CAutoRecStatusDlg::onClearFile);
    connect(m_newFile, &QPushButton::clicked, this, &CAutoRecStatusDlg::onNewFile);
    connect(m_exit, &QPushButton::clicked, this, &CAutoRecStatusDlg::onExit);
    connect(m_graphics, &QCheckBox::toggled, this, [this](bool on) { m_run.engine().setGraphics(on); });
    connect(&m_run, &AutoRecRun::stateReport, this, &CAutoRecStatusDlg::onStateReport);
    connect(&m_run, &AutoRecRun::logLine, this, [this](const QString& t) { addLog(t); });
    connect(&m_run, &AutoRecRun::titleChanged, this, [this](const QString& t) { setWindowTitle(t); });
    connect(&m_run, &AutoRecRun::graphicsChanged, this, [this](bool on) {
        const QSignalBlocker block(m_graphics);
        m_graphics->setChecked(on);
    });
    connect(&m_run, &AutoRecRun::errorReport, this, &CAutoRecStatusDlg::onError);
    connect(&m_run, &AutoRecRun::runEnded, this, &CAutoRecStatusDlg::onRunEnded);

    setState(QStringLiteral("Initiating  "), Qt::black);
    // A run into the document waits for Start when the document holds sound;
    // a run that writes files of its own leaves the document alone.
    if (!storeRun(m_parms) || m_run.doc().samples().length() == 0) {
        m_run.engine().listen();
        m_running = true;
        m_startStop->setText(QStringLiteral("Stop"));
        m_newFile->setEnabled(false);
        m_clear->setEnabled(false);
    } else {
        // Nothing is recorded until Start: the state says so.
        setState(QStringLiteral("Paused"), kGrey);
        updateRecordedTime();
        addLog(QStringLiteral("File not empty!"), &kDarkRed, true);
        m_running = false;
        m_startStop->setText(QStringLiteral("Start"));
        m_newFile->setEnabled(true);
        m_clear->setEnabled(true);
    }
    checkDisk();
    updateRecordedTime();
    m_diskTimer.setInterval(kDiskCheckMs);
    connect(&m_diskTimer, &QTimer::timeout, this, &CAutoRecStatusDlg::checkDisk);
    m_diskTimer.start();
    m_timeTimer.setInterval(kTimeTextMs);
    connect(&m_timeTimer, &QTimer::timeout, this, &CAutoRecStatusDlg::updateRecordedTime);
    m_timeTimer.start();
    if (g_position)
        move(*g_position);
}

CAutoRecStatusDlg::~CAutoRecStatusDlg()
{
    savePosition();
}

void CAutoRecStatusDlg::savePosition()
{
    if (isVisible())
        g_position = pos();
}

QString CAutoRecStatusDlg::stateText() const
{
    return m_state->toPlainText();
}

QString CAutoRecStatusDlg::logText() const
{
    return m_log->toPlainText();
}

void CAutoRecStatusDlg::setState(const QString& text, const QColor& color, bool bold)
{
    m_state->clear();
    QTextCharFormat f;
    f.setForeground(color);
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    QFont font = m_state->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    f.setFont(font, QTextCharFormat::FontPropertiesSpecifiedOnly);
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    QTextCursor c(m_state->document());
    c.insertText(text, f);
    m_state->setAccessibleDescription(text);
}

void CAutoRecStatusDlg::addLog(const QString& text, const QColor* color, bool bold)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (t.endsWith(QLatin1Char('\n')))
        t.chop(1);
    if (color || bold) {
        QString html = t.toHtmlEscaped();
        if (bold)
            html = QStringLiteral("<b>") + html + QStringLiteral("</b>");
        if (color)
            html = QStringLiteral("<span style=\"color:%1\">%2</span>").arg(color->name(), html);
        m_log->appendHtml(html);
    } else {
        m_log->appendPlainText(t);
    }
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}

void CAutoRecStatusDlg::setButtonsForPaused(bool paused)
{
    m_startStop->setText(paused ? QStringLiteral("Start") : QStringLiteral("Stop"));
    m_startStop->setEnabled(!m_ended);
    m_newFile->setEnabled(paused && !m_ended);
    m_clear->setEnabled(paused && !m_ended);
}

void CAutoRecStatusDlg::onStateReport(int code)
{
    using autorec::StateCode;
    switch (static_cast<StateCode>(code)) {
    case StateCode::RecordingFinished:
        setState(QStringLiteral("Listening  "), kGrey);
        break;
    case StateCode::RecordingBegins:
        setState(QStringLiteral("RECORDING"), kRecording, true);
        break;
    case StateCode::Listening:
        setState(QStringLiteral("Listening"), kGrey);
        break;
    case StateCode::Ended:
        setState(QStringLiteral("Ended"), Qt::black);
        break;
    case StateCode::Paused:
        if (!m_ended)
            setState(QStringLiteral("Paused"), kGrey);
        m_running = false;
        setButtonsForPaused(true);
        break;
    case StateCode::Started:
        setState(QStringLiteral("Started"), Qt::black);
        m_running = true;
        setButtonsForPaused(false);
        break;
    }
    updateRecordedTime();
}

void CAutoRecStatusDlg::onStartStop()
{
    if (m_ended)
        return;
    m_startStop->setEnabled(false);
    if (m_running) {
        setState(QStringLiteral("Stopping  "), Qt::black);
        m_run.engine().pause();
        m_running = false;
        m_startStop->setText(QStringLiteral("Start"));
    } else {
        setState(QStringLiteral("Initiating  "), Qt::black);
        m_newFile->setEnabled(false);
        m_clear->setEnabled(false);
        m_run.engine().listen();
        m_running = true;
        m_startStop->setText(QStringLiteral("Stop"));
    }
}

void CAutoRecStatusDlg::onClearFile()
{
    m_run.engine().clearFile();
    m_lastMicros = -1;
}

void CAutoRecStatusDlg::onNewFile()
{
    if (!storeRun(m_parms)) {
        m_run.engine().newFile(m_parms.m_fileName);
        return;
    }
    // The recording in the document is saved here, while the run is paused:
    // under the record's file name, else under one chosen in the program's
    // save dialog, whose type the document keeps.
    CVesSoundDoc& doc = m_run.doc();
    std::string path = m_parms.m_fileName;
    int type = 0;
    if (path.empty()) {
        const std::optional<autorecui::SavePathChoice> choice =
            m_askSave ? m_askSave(this, VesFilePath(doc.path()).plain(), doc.saveType())
                      : autorecui::askSavePath(this, VesFilePath(doc.path()).plain(), doc.saveType());
        if (!choice || choice->path.empty())
            return;
        path = choice->path;
        type = choice->type;
        if (type > 0 && type != kTypeCodec)
            doc.setSaveType(type);
    }
    if (type <= 0 || type == kTypeCodec)
        type = fileTypeBySaveExtension(path);
    if (type <= 0)
        type = doc.saveType() > 0 && doc.saveType() != kTypeCodec ? doc.saveType() : kTypeWave;
    path = autorec::withExtension(path, extensionForType(type));
    m_run.syncLength();
    if (!doc.save(path, type))
        return;
    addLog(QStringLiteral("Saving file %1").arg(QString::fromStdString(std::filesystem::path(path).filename().string())));
    m_run.engine().clearFile();
    m_lastMicros = -1;
}

void CAutoRecStatusDlg::endRun()
{
    m_diskTimer.stop();
    m_timeTimer.stop();
    m_run.engine().pause();
    m_run.engine().end();
}

void CAutoRecStatusDlg::onExit()
{
    savePosition();
    setEnabled(false);
    endRun();
    accept();
}

void CAutoRecStatusDlg::closeEvent(QCloseEvent* event)
{
    savePosition();
    endRun();
    QDialog::closeEvent(event);
}

void CAutoRecStatusDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_S && m_startStop->isEnabled()) {
        onStartStop();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CAutoRecStatusDlg::stopFor(const QString& state)
{
    m_startStop->setEnabled(false);
    setState(state, Qt::black);
    m_run.engine().pause();
    m_running = false;
}

void CAutoRecStatusDlg::onRunEnded()
{
    if (m_ended)
        return;
    stopFor(QStringLiteral("Stopping  "));
    m_ended = true;
    m_run.engine().end();
    onStateReport(static_cast<int>(autorec::StateCode::Ended));
    setButtonsForPaused(true);
    m_run.syncLength();
    updateRecordedTime();
}

void CAutoRecStatusDlg::onError(const QString& text, bool endsRun)
{
    if (endsRun)
        onRunEnded();
    addLog(text, &kDarkRed, true);
    autorecui::message(this, text.toStdString());
    if (endsRun) {
        savePosition();
        endRun();
        reject();
    }
}

void CAutoRecStatusDlg::checkDisk()
{
    CVesSoundDoc& doc = m_run.doc();
    const auto files = recdisk::diskSpaceOf(recdisk::recordingFolder(m_parms.m_fileName, VesFilePath(doc.path()).plain()));
    const auto work = recdisk::diskSpaceOf(recdisk::workFolder());
    m_disk->setText(QString::fromStdString(recdisk::freeSpaceLine(files, work, "Disk free:")));
    if (m_ended)
        return;
    // A store run still has to save the store where the files go.
    std::int64_t filesFree = recdisk::freeOf(files);
    if (filesFree >= 0 && storeRun(m_parms))
        filesFree = std::max<std::int64_t>(0, filesFree - doc.samples().length());
    const std::int64_t bytesPerSecond = autorec::realMillisToBytes(doc.format(), doc.effectiveTimeExp25(), 1000);
    if (!autorec::diskSpaceLow(filesFree, recdisk::freeOf(work), bytesPerSecond, kDiskCheckMs))
        return;
    stopFor(QStringLiteral("Stopping - Disk space low! "));
    addLog(QStringLiteral("Stopping - Disk space low!"), &kDarkRed, true);
    m_ended = true;
    m_run.engine().end();
    setState(QStringLiteral("Stopping - Disk space low! "), Qt::black);
    setButtonsForPaused(true);
}

void CAutoRecStatusDlg::updateRecordedTime()
{
    CVesSoundDoc& doc = m_run.doc();
    const autorec::AutoRecStatus st = m_run.status();
    const std::int64_t micros = storeRun(m_parms) ? doc.bytesToRealMicros(doc.samples().length()) : st.recordedMicros;
    if (micros != m_lastMicros) {
        m_lastMicros = micros;
        m_time->setText(QString::fromStdString(autorec::recordedTimeText(micros)));
    }
    QString counts = QStringLiteral("Recordings: %1   Files: %2   Lost buffers: %3   Device overruns: %4")
                         .arg(st.recordings)
                         .arg(st.filesWritten)
                         .arg(st.lostBuffers)
                         .arg(st.deviceOverruns);
    if (st.storeFailed) {
        counts += QStringLiteral("   Writing failed!");
        // The status never says recording while nothing can be written.
        if (!m_ended) {
            addLog(QStringLiteral("Writing the recording failed: the run was stopped."), &kDarkRed, true);
            onRunEnded();
        }
    }
    const bool bad = st.lostBuffers > 0 || st.deviceOverruns > 0 || st.storeFailed;
    m_counts->setStyleSheet(bad ? QStringLiteral("color: rgb(160,0,0); font-weight: bold") : QString());
    m_counts->setText(counts);
}
