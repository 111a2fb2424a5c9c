// The window of an open project: its recordings as a table (night, site,
// calls, labels; sorted by a click on a heading, filtered by night, site,
// label and "not vetted"), a double-click or Enter opening a recording at its
// first call, Review for the passes of the filtered recordings, and "Write
// labels to files" for the manual labels into the recordings' GUANO.
#pragma once

#include "project/Project.h"
#include "project/ProjectDialogs.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class RecordingTableModel;
class ReviewWindow;

class ProjectWindow : public QWidget {
    Q_OBJECT
public:
    ProjectWindow(std::unique_ptr<Project> project, std::string path, OpenRecordingFn open, QWidget* parent = nullptr);
    ~ProjectWindow() override;

    Project& project() { return *m_project; }
    const std::string& path() const { return m_path; }
    std::string root() const;
    RecordingTableModel* model() const { return m_model; }
    QTableView* table() const { return m_table; }
    QComboBox* nightFilter() const { return m_night; }
    QComboBox* siteFilter() const { return m_site; }
    QComboBox* labelFilter() const { return m_label; }
    QCheckBox* notVettedFilter() const { return m_notVetted; }
    QString statusText() const;

    // Opens the recording of a table row at its first call.
    bool openRow(int row);
    // The review window over the filtered recordings, from the selected one.
    ReviewWindow* openReview();
    ReviewWindow* reviewWindow() const { return m_review; }
    // Writes the manual labels into the files; the number written.
    int writeLabels();

private:
    void applyFilter();
    void fillChoices();
    void updateStatus();

    std::unique_ptr<Project> m_project;
    std::string m_path;
    OpenRecordingFn m_open;
    RecordingTableModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QComboBox* m_night = nullptr;
    QComboBox* m_site = nullptr;
    QComboBox* m_label = nullptr;
    QCheckBox* m_notVetted = nullptr;
    QLabel* m_status = nullptr;
    QPointer<ReviewWindow> m_review;
};
