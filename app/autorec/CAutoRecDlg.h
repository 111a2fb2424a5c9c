// "Automatic recording parameters": edits the automatic-recording settings
// and starts runs of the recording engine on a view's document. Start hides
// the dialog while the "Recording status" window controls the run and shows
// it again when that closes. With trigger type 9 (manual recording, "Record
// sound") the dialog starts at once and closes when the status window does.
#pragma once

#include "records/VesSettings.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>

class AutoRecRun;
class CAutoRecStatusDlg;
class CNumEdit;
class CVesAnaView;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTextEdit;

class CAutoRecDlg : public QDialog {
    Q_OBJECT
public:
    CAutoRecDlg(CVesAnaView& view, const VesAutoRecParms& parms, QWidget* parent = nullptr);
    ~CAutoRecDlg() override;

    // Shows the dialog application-modal until Close, Cancel or (manual
    // recording) the end of the run; hiding it for a run does not end it.
    int run();

    // The values the dialog holds after a successful read (Close or Start).
    const VesAutoRecParms& parms() const { return m_parms; }
    bool manualMode() const { return m_manual; }
    // Reads and checks every field into parms(); with `messages` a field out
    // of range shows its message and keeps the focus.
    bool readFields(bool messages);
    // The Start button. False when no run started (the reason was shown).
    bool start();
    // Whether a run has recorded anything into the document.
    bool recordedSomething() const { return m_recorded; }

    // The status window of the run in progress and the run (nullptr between runs).
    CAutoRecStatusDlg* statusDialog() const { return m_status; }
    AutoRecRun* currentRun() const { return m_run.get(); }

    // Fields, by their labels.
    CNumEdit* timeBefore() const { return m_before; }
    CNumEdit* timeAfter() const { return m_after; }
    CNumEdit* maxTime() const { return m_maxTime; }
    CNumEdit* maxCount() const { return m_maxCount; }
    CNumEdit* minDuration() const { return m_minDuration; }
    QLineEdit* fileName() const { return m_fileName; }
    QComboBox* fileNumbering() const { return m_fileSwitch; }
    CNumEdit* sequenceStart() const { return m_seqStart; }
    QComboBox* markType() const { return m_marks; }
    QButtonGroup* triggerType() const { return m_trigger; }
    QButtonGroup* triggerSource() const { return m_source; }
    CNumEdit* thresholdDb() const { return m_ampDb; }
    CNumEdit* thresholdPercent() const { return m_ampPercent; }
    CNumEdit* spectrumThreshold() const { return m_frecThres; }
    CNumEdit* lowerFrequency() const { return m_frecMin; }
    CNumEdit* upperFrequency() const { return m_frecMax; }
    QComboBox* fftSize() const { return m_fftSize; }
    QSpinBox* fftOverlap() const { return m_overlap; }
    QComboBox* fftWindow() const { return m_window; }
    QCheckBox* graphics() const { return m_graphics; }
    QLabel* freeSpaceLine() const { return m_freeLine; }
    QTextEdit* messageArea() const { return m_messages; }
    QPushButton* startButton() const { return m_start; }

    // The threshold coupling when a field is left.
    void dbLeft();
    void percentLeft();
    // The free disk space line (and the warning when space is short).
    void refreshFreeSpace(bool warn);

public slots:
    void accept() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void loadFields();
    void updateEnables();
    void browse();
    void soundFormat();
    void help();
    void applyPendingCoupling();
    bool stereo() const;
    void setLive(bool on);

    CVesAnaView& m_view;
    VesAutoRecParms m_parms;
    bool m_manual = false;
    bool m_recorded = false;
    int m_pendingCoupling = 0;  // 1 the dB field, 2 the percent field was edited
    std::unique_ptr<AutoRecRun> m_run;
    CAutoRecStatusDlg* m_status = nullptr;
    bool m_liveRefused = false;  // realtime graphics asked for, but the document holds sound

    CNumEdit* m_before;
    CNumEdit* m_after;
    CNumEdit* m_maxTime;
    CNumEdit* m_maxCount;
    CNumEdit* m_minTimeNext;
    CNumEdit* m_minDuration;
    QLineEdit* m_fileName;
    QPushButton* m_browse;
    QComboBox* m_fileSwitch;
    CNumEdit* m_seqStart;
    QComboBox* m_marks;
    QButtonGroup* m_trigger;
    QRadioButton* m_external;
    QButtonGroup* m_source;
    CNumEdit* m_ampDb;
    CNumEdit* m_ampPercent;
    CNumEdit* m_frecThres;
    CNumEdit* m_frecMin;
    CNumEdit* m_frecMax;
    QComboBox* m_fftSize;
    QSpinBox* m_overlap;
    QComboBox* m_window;
    QCheckBox* m_graphics;
    QLabel* m_freeLine;
    QTextEdit* m_messages;
    QPushButton* m_start;
};
