// "Recording status": controls a running recording engine and shows its
// state, a log of what it did, the counts of the run, the time recorded and
// the free disk space. A top-level window, modal while it is open; it
// remembers its screen position for the rest of the program's run.
#pragma once

#include "autorec/AutoRecMessage.h"
#include "records/VesSettings.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>

class AutoRecRun;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;

class CAutoRecStatusDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDiskCheckMs = 15000;
    static constexpr int kTimeTextMs = 250;

    // Controls `run`; the folder of parms' file name (else the document's) and
    // the temporary folder are measured for free space.
    CAutoRecStatusDlg(AutoRecRun& run, const VesAutoRecParms& parms, const QString& title, QWidget* parent = nullptr);
    ~CAutoRecStatusDlg() override;

    bool runningState() const { return m_running; }
    QString stateText() const;
    QString logText() const;
    QPushButton* startStopButton() const { return m_startStop; }
    QPushButton* clearButton() const { return m_clear; }
    QPushButton* newFileButton() const { return m_newFile; }
    QPushButton* exitButton() const { return m_exit; }
    QCheckBox* graphicsBox() const { return m_graphics; }
    QLabel* timeLabel() const { return m_time; }
    QLabel* diskLabel() const { return m_disk; }
    QLabel* countsLabel() const { return m_counts; }

    // The timers' work, also for tests.
    void checkDisk();
    void updateRecordedTime();
    // Adds a line to the log and scrolls to its end.
    void addLog(const QString& text, const QColor* color = nullptr, bool bold = false);

    // How "New file" asks for a file in a single-file run whose record names
    // none: the program's save dialog (autorecui::askSavePath) unless replaced.
    void setAskSavePath(autorecui::SaveDialog ask) { m_askSave = std::move(ask); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setState(const QString& text, const QColor& color, bool bold = false);
    void onStateReport(int code);
    void onStartStop();
    void onClearFile();
    void onNewFile();
    void onExit();
    void onRunEnded();
    void onError(const QString& text, bool endsRun);
    void stopFor(const QString& state);
    void setButtonsForPaused(bool paused);
    void endRun();
    void savePosition();

    AutoRecRun& m_run;
    VesAutoRecParms m_parms;
    QTextEdit* m_state;
    QPushButton* m_startStop;
    QPushButton* m_clear;
    QPushButton* m_newFile;
    QPushButton* m_exit;
    QPushButton* m_fileFormat;
    QPlainTextEdit* m_log;
    QLabel* m_time;
    QLabel* m_disk;
    QLabel* m_counts;
    QCheckBox* m_graphics;
    QTimer m_diskTimer;
    QTimer m_timeTimer;
    bool m_running = false;
    bool m_ended = false;
    bool m_newFilePending = false;
    std::int64_t m_lastMicros = -1;
    autorecui::SaveDialog m_askSave;
};
