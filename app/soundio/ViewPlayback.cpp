#include "soundio/ViewPlayback.h"

#include "commands/CommandTable.h"
#include "core/VkitXML.h"
#include "display/CAnaPlot.h"
#include "widgets/CRecStatus.h"
#include "display/CVesAnaView.h"
#include "display/ViewParts.h"
#include "soundio/ViewDetector.h"
#include "document/CVesSoundDoc.h"
#include "soundio/CPlaySpeedDlg.h"
#include "soundio/CSndFormat.h"
#include "soundio/SoundDevices.h"
#include "soundio/SoundSystem.h"
#include "soundio/VirtualDetector.h"
#include "soundio/WaveError.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::multimap<CVesSoundDoc*, ViewPlayback*>& registry()
{
    static std::multimap<CVesSoundDoc*, ViewPlayback*> list;
    return list;
}

int g_volume = 65535;

QString secondsText(double s) { return QString::asprintf("%1.2f", s); }

}  // namespace

ViewPlayback::ViewPlayback(CVesAnaView& view, CommandHandlers& commands)
    : QObject(&view), m_view(view), m_doc(view.doc())
{
    registry().emplace(&m_doc, this);
    m_timer.setInterval(25);
    connect(&m_timer, &QTimer::timeout, this, &ViewPlayback::poll);
    view.installEventFilter(this);
    if (view.plot())
        view.plot()->installEventFilter(this);

    commands.on(cmd::PlaySound, [this](int) { play(); },
                [this](int, CommandState& s) { s.enabled = m_doc.lengthFrames() > 0 && !soundBusy(); });
    const auto stopEnabled = [this](int, CommandState& s) { s.enabled = m_state != Idle || soundBusy(); };
    commands.on(cmd::PausePlay, [this](int) { pause(); }, stopEnabled);
    commands.on(cmd::StopPlay, [this](int) { stop(); }, stopEnabled);
    // No back end changes the rate of a running stream: speeds are chosen
    // while nothing plays (the arrow keys change it while playing).
    commands.onRange(cmd::PlaySpeedFirst, cmd::PlaySpeedFirst + 6, [this](int id) { setMenuSpeed(id - cmd::PlaySpeedFirst); },
                     [this](int id, CommandState& s) {
                         s.enabled = !soundBusy() || soundDevices().playbackRateChange();
                         VesPlaySpeedDataLst list = presets(m_doc);
                         s.checked = menuSpeedIndex(list.current(soundDevices().playbackDeviceName())) ==
                                     id - cmd::PlaySpeedFirst;
                     });
    commands.on(cmd::PlaySpeedOther,
                [this](int) {
                    VesPlaySpeedDataLst list = presets(m_doc);
                    VesPlaySpeedData preset = list.current(soundDevices().playbackDeviceName());
                    CPlaySpeedDlg dlg(preset, &m_view);
                    if (dlg.exec() == QDialog::Accepted) {
                        list.set(dlg.result());
                        programPresets().set(dlg.result());
                        storePresets(m_doc, list);
                    }
                },
                [this](int, CommandState& s) {
                    s.enabled = !soundBusy() || soundDevices().playbackRateChange();
                    VesPlaySpeedDataLst list = presets(m_doc);
                    s.checked = menuSpeedIndex(list.current(soundDevices().playbackDeviceName())) == 7;
                });
    // Moving to either end also cancels a paused playback.
    const auto canMove = [this](int, CommandState& s) { s.enabled = m_doc.lengthFrames() > 0 && !soundBusy(); };
    commands.on(cmd::MoveToBeginning, [this](int) { cancelPause(); m_view.scroll(AnaViewZoom::Scroll::LeftEnd); }, canMove);
    commands.on(cmd::MoveToEnd, [this](int) { cancelPause(); m_view.scroll(AnaViewZoom::Scroll::RightEnd); }, canMove);
    // The cursor steps extend the selection: not while the sound plays
    // (the arrow keys then change speed and volume).
    const auto canStep = [this](int, CommandState& s) {
        s.enabled = m_view.markingCursorVisible() && !playing() && !soundBusy();
    };
    commands.on(cmd::CursorStepLeft, [this](int) { m_view.stepCursor(-1); }, canStep);
    commands.on(cmd::CursorStepRight, [this](int) { m_view.stepCursor(+1); }, canStep);
    // A mark saved from the cursor forgets where a paused playback stopped:
    // the next Play starts afresh from the selection or the cursor.
    for (int id : {cmd::SaveCursorAsMark, cmd::SaveCursor})
        commands.beforeRun(id, [this] { cancelPause(); });
    commands.on(cmd::SoundFormat, [this](int) { runSoundFormat(m_view); },
                [](int, CommandState& s) { s.enabled = !soundBusy(); });
}

ViewPlayback::~ViewPlayback()
{
    auto& list = registry();
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->second == this) {
            list.erase(it);
            break;
        }
    if (m_player) {
        m_player->stop();
        m_player.reset();  // joins the feeding thread
    }
    setPlayCursorEverywhere(-1);
}

ViewPlayback* ViewPlayback::of(CVesAnaView* view)
{
    return view ? view->findChild<ViewPlayback*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

VesPlaySpeedDataLst ViewPlayback::presets(CVesSoundDoc& doc)
{
    VesPlaySpeedDataLst list;
    list.fromXml(doc.playSpeedList());
    return list;
}

void ViewPlayback::storePresets(CVesSoundDoc& doc, const VesPlaySpeedDataLst& list)
{
    doc.setPlaySpeedList(list.toXml());
    doc.setModified(true);
}

VesPlaySpeedDataLst& ViewPlayback::programPresets()
{
    static VesPlaySpeedDataLst list;
    return list;
}

void ViewPlayback::copyProgramPresets(CVesSoundDoc& doc)
{
    if (programPresets().size() > 0)
        doc.setPlaySpeedList(programPresets().toXml());
}

void ViewPlayback::completeFromProgramPresets(CVesSoundDoc& doc)
{
    if (programPresets().size() == 0)
        return;
    // Not an edit of the recording: the modified flag stays as it is.
    VesPlaySpeedDataLst list = presets(doc);
    std::set<std::string> has;
    std::vector<const VkitXML::Node*> own, defaults;
    if (doc.playSpeedList())
        doc.playSpeedList()->collectChildren("PlaySpeedData", own);
    for (const VkitXML::Node* n : own) {
        std::string device = VesPlaySpeedDataLst::kDefaultName;
        n->getString("Device", device);
        has.insert(device);
    }
    const auto program = programPresets().toXml();
    program->collectChildren("PlaySpeedData", defaults);
    for (const VkitXML::Node* n : defaults) {
        VesPlaySpeedData d;
        n->getString("Device", d.device);
        n->getDouble("RelSpeed", d.relSpeed);
        n->getInt64("AbsSpeed", d.absSpeed);
        if (!has.count(d.device))
            list.set(d);
    }
    doc.setPlaySpeedList(list.toXml());
}

void ViewPlayback::setPlayCursorEverywhere(std::int64_t frame)
{
    auto range = registry().equal_range(&m_doc);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second->m_view.plot())
            it->second->m_view.plot()->setPlayCursor(frame);
}

bool ViewPlayback::play()
{
    if (soundBusy())
        return false;
    const std::int64_t total = m_doc.lengthFrames();
    if (total <= 0) {
        QMessageBox::warning(&m_view, QStringLiteral("Vesperon"), QStringLiteral("No sound to play."));
        return false;
    }
    const std::int64_t cursor = m_view.plot() ? m_view.plot()->playCursor() : -1;
    std::int64_t first = 0, end = total;
    QString text;
    if (m_paused && cursor >= 0 && cursor < total) {
        first = cursor;
        text = QStringLiteral("Playing from paused position");
    } else if (m_view.selection()) {
        first = m_view.selection()->first();
        end = m_view.selection()->last();
        text = QStringLiteral("Playing selection");
    } else if (ViewDetector* detector = ViewDetector::of(&m_view); detector && detector->on() && detector->cursorFrame() >= 0) {
        // The detector listens from its cursor.
        first = detector->cursorFrame();
        text = QStringLiteral("Playing from cursor");
    } else if (const CursorRecord& c = m_view.cursorRecord(); c.isSet() && c.type != CursorType::Level) {
        first = c.position;
        text = QStringLiteral("Playing from cursor");
    } else {
        first = std::max<std::int64_t>(0, m_view.parms().m_plotStart);
        text = QStringLiteral("Playing");
    }
    m_paused = false;
    if (first >= total || end <= first) {
        QApplication::beep();
        return false;
    }
    return startAt(first, end, text, true);
}

bool ViewPlayback::startAt(std::int64_t first, std::int64_t end, const QString& text, bool askRate)
{
    SoundDeviceTables& devs = soundDevices();
    VesPlaySpeedDataLst list = presets(m_doc);
    const VesPlaySpeedData& preset = list.current(devs.playbackDeviceName());
    // In detector mode the detector's rate, and its processed frames.
    ViewDetector* detector = ViewDetector::of(&m_view);
    if (detector && !detector->on())
        detector = nullptr;
    const std::uint32_t rate = detector ? detector->playbackRateHz()
                                        : playbackRate(m_doc.format().samplesPerSec, preset, devs.playbackRateChange());
    if (rate == 0) {
        QApplication::beep();
        return false;
    }
    if (askRate && rate > devs.playbackHighestFrequency()) {
        const QString q = QStringLiteral("Do you really want to use a playback sampling rate of %1 Hz ?").arg(rate);
        if (QMessageBox::question(&m_view, QStringLiteral("Vesperon"), q) != QMessageBox::Yes)
            return false;
    }
    PlayRequest req;
    req.store = &m_doc.samples();
    req.format = m_doc.format();
    req.startFrame = first;
    req.endFrame = std::min(end, m_doc.lengthFrames());
    req.rateHz = rate;
    req.deviceId = devs.playbackDeviceId().empty() ? std::string("default") : devs.playbackDeviceId();
    if (detector) {
        req.source = detector->startPlayback(first, req.endFrame);
        if (!req.source)
            return false;
        req.bufferMs = 250;  // four play buffers: a new tuning is heard soon
    }
    auto player = std::make_unique<SoundPlayer>(audioBackend());
    player->setGain(g_volume / 65535.0);
    const int code = player->start(req);
    if (code != wave::NoError) {
        if (detector)
            detector->playEnded();
        QMessageBox::warning(&m_view, QStringLiteral("Vesperon"),
                             QString::fromStdString(WaveErrorText("Failed to open waveform output device.", code)));
        return false;
    }
    m_player = std::move(player);
    m_openedRate = m_player->openedRateHz();
    m_start = first;
    m_end = req.endFrame;
    m_state = Open;
    m_stopRequested = false;
    m_playText = text;
    // Seconds on the view's time axis: real time, before time expansion.
    const double rateD = std::max(1u, m_doc.format().samplesPerSec) * (m_doc.effectiveTimeExp25() / 1000.0);
    m_statusText = QString::fromLatin1(detector ? "%1 %2 - %3 " : "%1 %2 - %3. ")
                       .arg(text, secondsText(first / rateD), secondsText(m_end / rateD));
    if (CRecStatus* strip = m_view.statusStrip()) {
        strip->setStatusText(m_statusText);
        strip->setDeviceName(QString::fromStdString(devs.playbackDeviceName()));
        strip->setRate(m_openedRate, currentSpeed(preset), devs.playbackRateChange());
        // The detector names its tuning; a device that cannot play the rate
        // asked for says so in the override.
        QString middle;
        if (detector)
            middle = strip->deviceName() + QStringLiteral(", %1 Hz, detector at %2 kHz")
                                               .arg(m_openedRate)
                                               .arg(detector->tuningHz() / 1000.0, 0, 'f', 1);
        if (m_openedRate != rate)
            middle = (middle.isEmpty() ? strip->deviceName() + QStringLiteral(", %1 Hz").arg(m_openedRate) : middle) +
                     QStringLiteral(" (not %1 Hz)").arg(rate);
        strip->setMiddleText(middle);
    }
    if (!detector)
        setPlayCursorEverywhere(first);
    m_timer.start();
    return true;
}

void ViewPlayback::poll()
{
    if (!m_player)
        return;
    const std::int64_t pos = m_player->position();
    const double rateD = std::max(1u, m_doc.format().samplesPerSec) * (m_doc.effectiveTimeExp25() / 1000.0);
    if (!m_stopRequested) {
        ViewDetector* detector = ViewDetector::of(&m_view);
        if (detector && detector->playing())
            detector->followPlay(pos);
        else
            setPlayCursorEverywhere(pos);
        if (m_view.statusStrip())
            m_view.statusStrip()->setStatusText(m_statusText + QStringLiteral("current: %1").arg(secondsText(pos / rateD)));
    }
    if (m_player->finished())
        finish();
}

void ViewPlayback::finish()
{
    m_timer.stop();
    const std::int64_t pos = m_player->position();
    const int failure = m_player->failure();
    m_player.reset();
    m_state = Closed;
    // A paused detector keeps its cursor where the sound stopped (Play goes
    // on from there); otherwise it returns to where listening began.
    ViewDetector* detector = ViewDetector::of(&m_view);
    const bool detectorPlayed = detector && detector->playing();
    if (detectorPlayed)
        detector->playEnded(m_paused ? pos : -1);
    if (m_restarting && failure == 0) {
        m_restarting = false;
        if (startAt(pos, m_end, m_playText, false))
            return;
    }
    m_restarting = false;
    if (m_view.statusStrip()) {
        m_view.statusStrip()->setStatusText(QStringLiteral("End of play"));
        m_view.statusStrip()->setMiddleText(QString());
        m_view.statusStrip()->setDeviceName(QString());
    }
    if (m_paused && !detectorPlayed)
        setPlayCursorEverywhere(pos);
    else
        setPlayCursorEverywhere(-1);
    if (failure != 0)
        QMessageBox::warning(&m_view, QStringLiteral("Vesperon"),
                             QString::fromStdString(WaveErrorText("Failed to write block to device", failure)));
    bool record = false;
    for (bool& p : m_pending)
        if (p) {
            p = false;
            record = true;
        }
    if (record)
        emit recordAfterPlay();
}

void ViewPlayback::pause()
{
    if (m_state == Idle || !m_player)
        return;
    m_paused = true;
    m_player->stop();
}

void ViewPlayback::stop()
{
    if (m_state == Idle)
        return;
    if (m_player) {
        m_stopRequested = true;
        m_player->stop();
    }
    if (m_paused) {
        m_paused = false;
        setPlayCursorEverywhere(-1);
    }
}

void ViewPlayback::cancelPause()
{
    if (m_paused && !playing()) {
        m_paused = false;
        setPlayCursorEverywhere(-1);
    }
}

void ViewPlayback::setMenuSpeed(int index)
{
    if (index < 0 || index > 6)
        return;
    VesPlaySpeedDataLst list = presets(m_doc);
    VesPlaySpeedData& p = list.ofDevice(soundDevices().playbackDeviceName().empty() ? std::string("Default")
                                                                                    : soundDevices().playbackDeviceName());
    p.relSpeed = VesPlaySpeedDataLst::kMenuSpeeds[index];
    p.absSpeed = 0;
    programPresets().set(p);
    storePresets(m_doc, list);
}

void ViewPlayback::changeSpeed(bool up)
{
    VesPlaySpeedDataLst list = presets(m_doc);
    VesPlaySpeedData p = list.current(soundDevices().playbackDeviceName());
    const double s = currentSpeed(p);
    if (up && s <= 50)
        p.relSpeed = s * 2;
    else if (!up && s >= 0.02)
        p.relSpeed = s / 2;
    else
        return;
    p.device = soundDevices().playbackDeviceName().empty() ? std::string("Default") : soundDevices().playbackDeviceName();
    list.set(p);
    programPresets().set(p);
    storePresets(m_doc, list);
    if (playing()) {
        m_restarting = true;
        m_player->stop();
    }
}

int ViewPlayback::volumeWord() { return g_volume; }

void ViewPlayback::changeVolume(bool up)
{
    const int v = g_volume;
    if (up)
        g_volume = v == 0 ? 2 : (v >= 32768 ? 65535 : 2 * v);
    else
        g_volume = v < 2 ? v : v / 2;
    if (m_player)
        m_player->setGain(g_volume / 65535.0);
}

void ViewPlayback::externalPlay(int message, long long param)
{
    const int flag = message == 0x428 ? 0 : (message == 0x42C ? 2 : 1);
    if (param != 0) {
        m_pending[flag] = true;
        if (!play())
            m_pending[flag] = false;
    } else {
        emit recordAfterPlay();
    }
}

bool ViewPlayback::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) && playing()) {
        auto* key = static_cast<QKeyEvent*>(event);
        const int k = key->key();
        if (key->modifiers() == Qt::NoModifier && (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down)) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            if (k == Qt::Key_Left || k == Qt::Key_Right)
                changeSpeed(k == Qt::Key_Right);
            else
                changeVolume(k == Qt::Key_Up);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void registerPlaybackParts()
{
    registerViewPart("playback", [](CVesAnaView& view, CommandHandlers& commands) { new ViewPlayback(view, commands); });
    registerViewPart("detector", [](CVesAnaView& view, CommandHandlers& commands) { new ViewDetector(view, commands); });
}
