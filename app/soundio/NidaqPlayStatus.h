// "High-speed playback status": the state of the playback thread, Stop,
// Close, the log of what was played and the last line of it.
#pragma once

#include "soundio/NidaqPlayWorker.h"

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class NidaqPlayStatus : public QDialog {
    Q_OBJECT
public:
    NidaqPlayStatus(NidaqPlayWorker& worker, QWidget* parent = nullptr);

    // A message of the playback thread (queued to the dialog's thread).
    void hspMessage(HspMessage message, HspState code, const QString& text);

    QLabel* stateField() const { return m_state; }
    QPushButton* stopButton() const { return m_stop; }
    QPushButton* closeButton() const { return m_close; }
    // The log lines, joined by CR LF.
    const QString& logText() const { return m_logText; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void setState(const QString& text, QColor colour, bool bold);
    void addLog(const QString& text);
    void stop();

    NidaqPlayWorker& m_worker;
    QLabel* m_state;
    QPushButton* m_stop;
    QPushButton* m_close;
    QPlainTextEdit* m_log;
    QLabel* m_line;
    QString m_logText;
};
