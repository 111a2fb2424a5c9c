#include "soundio/ExternalControl.h"

#include "display/CVesAnaView.h"
#include "soundio/ViewPlayback.h"

#include <QDBusConnection>

ExternalControl::ExternalControl(std::function<CVesAnaView*()> activeView, std::function<void()> newThenRecord,
                                 QObject* parent)
    : QObject(parent), m_activeView(std::move(activeView)), m_newThenRecord(std::move(newThenRecord))
{
}

bool ExternalControl::registerOnSessionBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportScriptableSlots))
        return false;
    return bus.registerService(QString::fromLatin1(kService));
}

void ExternalControl::onRecordAfterPlay()
{
    if (m_newThenRecord)
        m_newThenRecord();
}

int ExternalControl::Message(int number, qlonglong param)
{
    if (number != 0x428 && number != 0x429 && number != 0x42A && number != 0x42C)
        return -1;
    if (param == 0) {
        if (m_newThenRecord)
            m_newThenRecord();
        return 0;
    }
    ViewPlayback* playback = ViewPlayback::of(m_activeView ? m_activeView() : nullptr);
    if (!playback)
        return -1;
    // One connection per view: the recording follows the end of its playback.
    connect(playback, &ViewPlayback::recordAfterPlay, this, &ExternalControl::onRecordAfterPlay, Qt::UniqueConnection);
    playback->externalPlay(number, param);
    return 0;
}
