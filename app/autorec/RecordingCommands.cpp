#include "autorec/RecordingCommands.h"

#include "autorec/AutoRecMessage.h"
#include "autorec/AutoRecTypes.h"
#include "autorec/CAutoRecDlg.h"
#include "commands/CommandRouter.h"
#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "records/VesSettings.h"
#include "core/RegCls.h"
#include "soundio/CDevs.h"
#include "soundio/SoundDevices.h"
#include "soundio/SoundSystem.h"
#include "soundio/WaveError.h"

#include <QApplication>
#include <QGuiApplication>

namespace recording {

namespace {

// A recording device, after the "Sound devices" dialog when there is none.
bool haveRecordingDevice(QWidget* parent)
{
    if (soundDevices().recordingDevicePresent())
        return true;
    runSoundDevices(parent);
    if (soundDevices().recordingDevicePresent())
        return true;
    autorecui::message(parent, "No recording device selected!");
    return false;
}

// Holds the sound-busy flag while a recording dialog is open.
class SoundBusy {
public:
    SoundBusy() : m_held(acquireSoundBusy()) {}
    ~SoundBusy()
    {
        if (m_held)
            releaseSoundBusy();
    }
    bool held() const { return m_held; }

private:
    bool m_held;
};

void afterRun(CVesAnaView& view)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    view.lengthFromStore();
    view.viewHost().doc().updateAllViews(viewupdate::Format{});
    view.zoomEntireFile();
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace

bool recordSound(CVesAnaView& view, QWidget* parent)
{
    if (!haveRecordingDevice(parent))
        return false;
    CVesSoundDoc& doc = view.viewHost().doc();
    SoundDeviceTables& devs = soundDevices();
    const SoundFormat& f = doc.format();
    const int code = audioBackend().queryCapture(devs.inputs()[static_cast<std::size_t>(devs.selectedInput())].id,
                                                 AudioStreamFormat{f.channels, f.bitsPerSample, f.samplesPerSec});
    if (code != 0) {
        autorecui::message(parent, WaveErrorText("Failed to open waveform recording device.", code));
        return false;
    }
    // A fresh record with its defaults: the stored settings stay as they are.
    VesAutoRecParms parms;
    parms.m_trigger = autorec::TriggerType::Continuous;
    const SoundBusy busy;
    CAutoRecDlg dlg(view, parms, parent);
    dlg.run();
    if (!dlg.recordedSomething())
        return false;
    afterRun(view);
    return true;
}

bool automaticRecording(VesAutoRecParms& parms, vkit::RegCls& settings, CVesAnaView& view, QWidget* parent)
{
    if (!haveRecordingDevice(parent))
        return false;
    const SoundBusy busy;
    CAutoRecDlg dlg(view, parms, parent);
    const int result = dlg.run();
    if (result == QDialog::Accepted) {
        parms = dlg.parms();
        parms.save(settings);
    }
    if (!dlg.recordedSomething() && result != QDialog::Accepted)
        return false;
    afterRun(view);
    return true;
}

void registerCommands(CommandHandlers& commands, VesAutoRecParms& parms, vkit::RegCls& settings,
                      std::function<CVesAnaView*()> activeView, QWidget* frame)
{
    const auto enabled = [activeView](int, CommandState& s) { s.enabled = activeView() && !soundBusy(); };
    commands.on(
        cmd::RecordSound,
        [activeView, frame](int) {
            if (CVesAnaView* v = activeView())
                recordSound(*v, frame);
        },
        enabled);
    commands.on(
        cmd::AutomaticRecording,
        [&parms, &settings, activeView, frame](int) {
            if (CVesAnaView* v = activeView())
                automaticRecording(parms, settings, *v, frame);
        },
        enabled);
}

}  // namespace recording
