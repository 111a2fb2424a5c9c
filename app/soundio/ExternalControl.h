// The messages another program sends an analysis view to play its recording
// and then start a recording (0x428, 0x429, 0x42A, 0x42C), over D-Bus: the
// session-bus service org.vesperon.Vesperon, object /Control, interface
// org.vesperon.Vesperon.Control, method Message(int number, int64 param),
// acting on the active view.
#pragma once

#include <QObject>

#include <functional>

class CVesAnaView;

class ExternalControl : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vesperon.Vesperon.Control")
public:
    static constexpr const char* kService = "org.vesperon.Vesperon";
    static constexpr const char* kPath = "/Control";

    // `activeView` finds the view to act on; `newThenRecord` sends "New" and
    // posts "&Record sound" to the main window.
    ExternalControl(std::function<CVesAnaView*()> activeView, std::function<void()> newThenRecord,
                    QObject* parent = nullptr);
    // Registers on the session bus; false when there is none or the name is taken.
    bool registerOnSessionBus();

public slots:
    // 0 when the message was taken, -1 for an unknown number or no view.
    Q_SCRIPTABLE int Message(int number, qlonglong param);

private slots:
    void onRecordAfterPlay();

private:
    std::function<CVesAnaView*()> m_activeView;
    std::function<void()> m_newThenRecord;
};
