// Review: one pass at a time — the spectrogram of the pass with its calls
// boxed, the calls' parameters and the automatic label — and one key per
// decision, stored at once with who vetted it and when:
//   A or Space   accept the automatic label as the manual one
//   1 … 9        the label of that number in the row of quick labels
//   /            type a species code (or Tab to its field), Enter stores it
//   N            noise
//   ← ↑ / → ↓    previous / next pass (a decision moves on by itself)
//   O            open the recording at the pass
//   Esc          close
// Usable by the keyboard alone; every field has an accessible name.
#pragma once

#include "project/Project.h"
#include "project/ProjectDialogs.h"

#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class CVesSoundDoc;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class ReviewDocHost;

// The pass's spectrogram with a box around each call.
class PassPicture : public QWidget {
    Q_OBJECT
public:
    explicit PassPicture(QWidget* parent = nullptr);
    void setPicture(const QImage& image, const QString& text);
    const QImage& picture() const { return m_image; }
    QSize sizeHint() const override { return {760, 300}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    QString m_text;  // shown instead of a picture (a missing recording)
};

class ReviewWindow : public QWidget {
    Q_OBJECT
public:
    ReviewWindow(Project& project, std::string root, review::RecordingFilter filter, OpenRecordingFn open,
                 QWidget* parent = nullptr);
    ~ReviewWindow() override;

    // The pass shown; nothing when the filter leaves none.
    const std::optional<review::Pass>& pass() const { return m_pass; }
    // Shows the first pass of the filter, or the pass of `recordingId`
    // holding call `number`.
    bool showFirst();
    bool showPass(std::int64_t recordingId, int number);
    bool next();
    bool previous();
    bool accept();
    bool label(const std::string& label);
    bool noise() { return label(review::kNoiseLabel); }
    bool openRecording();
    // Calls closer than this (end to start) are one pass; the pass shown is cut anew.
    void setPassGapMs(double ms);
    // The labels keys 1 … 9 give.
    const std::vector<std::string>& quickLabels() const { return m_quick; }
    QLineEdit* codeField() const { return m_code; }
    QTableWidget* callsTable() const { return m_calls; }
    PassPicture* picture() const { return m_picture; }
    QString statusText() const;
    // The name stored as who vetted: the login name.
    static std::string userName();

signals:
    // A decision was stored.
    void labelsChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void present(std::optional<review::Pass> pass);
    void render();
    void showQuickLabels();
    bool store(const std::function<bool()>& decide, const QString& done);
    void say(const QString& text);

    Project& m_project;
    std::string m_root;
    review::RecordingFilter m_filter;
    OpenRecordingFn m_open;
    double m_passGapMs = Project::kStoredPassGapMs;
    std::optional<review::Pass> m_pass;
    std::vector<std::string> m_quick;

    std::unique_ptr<ReviewDocHost> m_docHost;
    std::unique_ptr<CVesSoundDoc> m_doc;  // the recording of the pass, while it stays the same
    std::string m_docPath;

    QLabel* m_title = nullptr;
    QSpinBox* m_gap = nullptr;
    PassPicture* m_picture = nullptr;
    QTableWidget* m_calls = nullptr;
    QLabel* m_autoLabel = nullptr;
    QLabel* m_manualLabel = nullptr;
    QLabel* m_quickRow = nullptr;
    QLineEdit* m_code = nullptr;
    QLabel* m_status = nullptr;
};
