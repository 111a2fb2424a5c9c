// "High-speed playback": the list of recordings to play through the
// data-acquisition card, each converted into 12-bit words when it is added,
// with its playback frequency and repeat count; play lists read from and
// saved to ".vpl" files; "Play" runs the playback thread under the status
// dialog.
#pragma once

#include "soundio/DaqCard.h"
#include "soundio/HspPlayList.h"
#include "soundio/NidaqPlayWorker.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class NidaqPlayStatus;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;

class NidaqPlayCls : public QDialog {
    Q_OBJECT
public:
    // `note` says why the simulated card plays when a real one was asked for.
    NidaqPlayCls(std::unique_ptr<IDaqCard> card, const std::string& note, QWidget* parent = nullptr);
    ~NidaqPlayCls() override;

    // The buttons' work after their file dialogs.
    void addFiles(const std::vector<std::string>& paths);
    void readFileList(const std::string& path);
    void saveFileList(const std::string& path);
    void removeSelected();
    // Plays the list under the (modal) status dialog; returns when it closes.
    void play();

    const std::vector<std::shared_ptr<HspPlayEntry>>& rows() const { return m_rows; }
    IDaqCard& card() { return *m_card; }
    QTreeWidget* list() const { return m_list; }
    QComboBox* frequencyField() const { return m_freq; }
    QSpinBox* repeatField() const { return m_repeat; }
    QLabel* cardField() const { return m_cardLabel; }
    // The status dialog while one is open.
    NidaqPlayStatus* statusDialog() const { return m_status; }
    // Where converted files are made (empty: the system's temporary folder).
    void setTempFolder(const std::string& folder) { m_tempFolder = folder; }

    // Closing stops the thread and lets every row go.
    void done(int result) override;

private:
    // Converts and appends one recording; false when it was not added (the
    // reason was shown, prefixed by "Error while reading file " when it
    // came from a list file).
    bool addEntry(const std::string& path, std::int64_t rateHz, std::int32_t repeat, bool fromList);
    void appendRow(const std::shared_ptr<HspPlayEntry>& entry);
    void clearRows();
    void updateButtons();
    void message(const std::string& text);

    std::unique_ptr<IDaqCard> m_card;
    std::unique_ptr<IHspSink> m_sink;
    std::unique_ptr<NidaqPlayWorker> m_worker;
    std::vector<std::shared_ptr<HspPlayEntry>> m_rows;
    std::string m_tempFolder;
    NidaqPlayStatus* m_status = nullptr;

    QTreeWidget* m_list;
    QComboBox* m_freq;
    QSpinBox* m_repeat;
    QLabel* m_cardLabel;
    QPushButton* m_play;
    QPushButton* m_add;
    QPushButton* m_read;
    QPushButton* m_save;
    QPushButton* m_remove;
    QPushButton* m_close;
};

// "High-speed playback" (menu Sound): the list dialog on the card the
// settings choose.
void runHighSpeedPlayback(QWidget* parent, const DaqCardSettings& settings);
