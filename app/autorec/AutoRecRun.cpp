#include "autorec/AutoRecRun.h"

#include "autorec/AutoRecTexts.h"
#include "display/CursorMarks.h"
#include "document/CVesSoundDoc.h"
#include "document/ViewUpdate.h"
#include "records/GuanoRecord.h"
#include "soundfiles/VesFileType.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace {
std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

AutoRecRun::AutoRecRun(CVesSoundDoc& doc, QObject* parent) : QObject(parent), m_doc(doc) {}

AutoRecRun::~AutoRecRun()
{
    finish();
}

bool AutoRecRun::start(const autorec::AutoRecConfig& config, std::string& error)
{
    m_config = config;
    m_startedEmpty = m_doc.lengthFrames() == 0;
    m_fileType = m_doc.saveType();
    m_started = m_engine.start(config, *this, error);
    m_finished = !m_started;
    return m_started;
}

void AutoRecRun::finish(int timeoutMs)
{
    if (m_finished)
        return;
    m_finished = true;
    m_engine.end();
    m_engine.wait(timeoutMs);
    // What the threads reported before they ended (the last length, marks).
    QCoreApplication::sendPostedEvents(this);
    syncLength();
}

void AutoRecRun::syncLength()
{
    if (!m_config.store)
        return;
    const std::int64_t frames = m_doc.bytesToFrames(m_doc.samples().length());
    if (frames != m_doc.lengthFrames()) {
        m_doc.setLengthFrames(frames);
        m_doc.updateAllViews(viewupdate::Format{});
    }
}

// ---- worker threads ----

void AutoRecRun::recState(autorec::StateCode code)
{
    QMetaObject::invokeMethod(
        this,
        [this, code] {
            // Paused: the store holds all the run wrote so far.
            if (code == autorec::StateCode::Paused)
                syncLength();
            emit stateReport(static_cast<int>(code));
        },
        Qt::QueuedConnection);
}

void AutoRecRun::recLog(const std::string& text)
{
    QMetaObject::invokeMethod(this, [this, t = QString::fromStdString(text)] { emit logLine(t); },
                              Qt::QueuedConnection);
}

void AutoRecRun::recTitle(const std::string& title)
{
    QMetaObject::invokeMethod(this, [this, t = QString::fromStdString(title)] { emit titleChanged(t); },
                              Qt::QueuedConnection);
}

void AutoRecRun::recDisplay(const autorec::DisplayUpdate& update)
{
    QMetaObject::invokeMethod(this, [this, update] { onDisplay(update); }, Qt::QueuedConnection);
}

void AutoRecRun::recGraphics(bool on)
{
    QMetaObject::invokeMethod(this, [this, on] { emit graphicsChanged(on); }, Qt::QueuedConnection);
}

void AutoRecRun::recAddMark(std::int64_t frame, const std::string& name, const std::string& comment, int channels)
{
    QMetaObject::invokeMethod(
        this,
        [this, frame, name, comment, channels] {
            CursorRecord c;
            c.position = frame;
            c.type = channels == 3 ? CursorType::MarkingStereo : CursorType::Marking;
            c.channel = channels == 3 ? ChannelSel::Both : ChannelSel::Left;
            c.inFrequencyPane = true;
            c.showLabel = true;
            addCursorMark(m_doc, c, name, comment);
            m_doc.updateAllViews(viewupdate::Repaint{});
        },
        Qt::QueuedConnection);
}

void AutoRecRun::recStarted(const std::string& device, const std::string& localTime)
{
    QMetaObject::invokeMethod(
        this,
        [this, device, localTime] {
            m_doc.recData().m_recDev = device;
            m_doc.recData().m_recDate = localTime;
            addGuanoOfNewRecording(device);
            m_doc.setModified(true);
        },
        Qt::QueuedConnection);
}

void AutoRecRun::addGuanoOfNewRecording(const std::string& device)
{
    // Recorded into the document: it gets the metadata a recorder writes, as
    // the files of a run do. Sound appended to a recording keeps its record;
    // the length is brought up to date when the recording is saved.
    GuanoRecord existing;
    std::string error;
    if (!m_config.store || !m_startedEmpty || m_doc.guano(existing, error) || !error.empty())
        return;
    NewRecordingInfo info;
    info.version = VES_VERSION;
    const std::time_t now = std::time(nullptr);
    info.unixSeconds = static_cast<std::int64_t>(now);
    std::tm local{};
    if (localtime_r(&now, &local))
        info.utcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    info.samplerate = m_doc.format().samplesPerSec;
    info.timeExpansion = m_doc.effectiveTimeExp25() / 1000.0;
    info.device = device;
    m_doc.setGuano(guanoForNewRecording(info));
}

void AutoRecRun::recFileWritten(const std::string& path, std::int64_t frames, std::int64_t number)
{
    QMetaObject::invokeMethod(
        this,
        [this, path, frames, number] {
            emit fileWritten(QString::fromStdString(inDocumentType(path)), frames, number);
        },
        Qt::QueuedConnection);
}

std::string AutoRecRun::inDocumentType(const std::string& path)
{
    // The engine writes wave files (with GUANO) as fast as the sound comes;
    // the other types are written from them once a recording is complete.
    const int type = m_fileType;
    if (type == kTypeNone || type == kTypeStandardWave || type == kTypeWave || type == kTypeCodec)
        return path;
    std::string stem = path;
    if (const std::size_t dot = stem.find_last_of('.'); dot != std::string::npos && stem.find('/', dot) == std::string::npos)
        stem.erase(dot);
    const std::string target = autorec::unusedPath(stem + "." + extensionForType(type));
    bool ok = false;
    {
        CVesSoundDoc wave(m_doc.host());
        ok = wave.open(path) && wave.finishBackgroundCopy() && wave.save(target, type);
    }
    if (!ok) {
        emit logLine(QStringLiteral("File %1 kept as wave: it could not be written as %2.")
                         .arg(QString::fromStdString(std::filesystem::path(path).filename().string()),
                              QString::fromLatin1(fileTypeDisplayName(type))));
        std::remove(target.c_str());
        return path;
    }
    std::remove(path.c_str());
    emit logLine(QStringLiteral("Saving file %1").arg(QString::fromStdString(std::filesystem::path(target).filename().string())));
    return target;
}

void AutoRecRun::recError(const std::string& text, bool endsRun)
{
    QMetaObject::invokeMethod(this, [this, t = QString::fromStdString(text), endsRun] { emit errorReport(t, endsRun); },
                              Qt::QueuedConnection);
}

void AutoRecRun::recEnded()
{
    QMetaObject::invokeMethod(this, [this] { emit runEnded(); }, Qt::QueuedConnection);
}

// ---- user-interface thread ----

void AutoRecRun::onDisplay(const autorec::DisplayUpdate& update)
{
    using autorec::DisplayKind;
    // A run that writes files of its own leaves the document as it is.
    if (!m_config.store && update.kind != DisplayKind::SequenceNumber) {
        if (update.kind == DisplayKind::Redraw)
            m_engine.displayDone();
        return;
    }
    switch (update.kind) {
    case DisplayKind::SequenceNumber:
        emit sequenceNumber(update.sequence);
        break;
    case DisplayKind::Redraw: {
        const std::int64_t frames = update.frames;
        const std::int64_t now = steadyMs();
        if (frames >= 0) {
            ViewUpdateRecord r;
            r.lengthFrames = frames;
            r.firstFrame = m_doc.lengthFrames();
            r.endFrame = frames;
            if (now - update.tickMs <= kStaleMs && now - m_lastRedrawMs > kRedrawSpacingMs) {
                m_doc.setLengthFrames(frames);
                m_doc.updateAllViews(viewupdate::Append{r});
                m_lastRedrawMs = now;
                ++m_redraws;
            } else if (++m_skipped % kLightEvery == 0) {
                m_doc.setLengthFrames(frames);
                m_doc.updateAllViews(viewupdate::Length{r});
                ++m_light;
            }
        }
        m_engine.displayDone();
        break;
    }
    case DisplayKind::Refresh:
        m_doc.updateAllViews(viewupdate::Repaint{});
        break;
    case DisplayKind::Reset:
        m_doc.removeAllMarks();
        m_doc.setLengthFrames(0);
        m_doc.updateAllViews(viewupdate::Format{});
        emit storeReset();
        break;
    }
}
