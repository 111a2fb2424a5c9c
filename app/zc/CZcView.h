// The window of a zero-crossing file: its dots (time across, frequency up,
// coloured by status) with zoom, scrolling, two cursors on dots with their
// read-out, marks, printing, picture copies and the file's properties.
//
// A zero-crossing file holds no samples, so the commands that need them
// (play, edit, filter, power spectrum, pulse analysis, saving as a sound
// file) find no handler here and stay disabled; the window says why on its
// status line. Marks live as long as the window: the format has no place
// for them.
#pragma once

#include "commands/CommandRouter.h"
#include "render/PrintablePicture.h"
#include "zcfiles/ZcFile.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QScrollBar;
class CZcPlot;

class CZcView : public QWidget, public IPrintablePicture {
    Q_OBJECT
public:
    CZcView(zcfile::ZcFile file, std::string path, QWidget* parent = nullptr);

    CommandHandlers& commands() { return m_commands; }
    const zcfile::ZcFile& file() const { return m_file; }
    const std::vector<zcfile::Dot>& dots() const { return m_dots; }
    const std::string& path() const { return m_path; }
    QString title() const;

    // The time range shown (µs from the start of the file) and the frequencies.
    double startUs() const { return m_startUs; }
    double spanUs() const { return m_spanUs; }
    double lowHz() const { return m_lowHz; }
    double highHz() const { return m_highHz; }
    void setTimeRange(double startUs, double spanUs);
    void zoomBy(double factor);  // < 1 zooms in, about the cursor when it is shown
    void zoomEntireFile();

    // The cursors stand on dots (−1: not set). The first follows clicks and
    // the arrow keys, the second shift-clicks; the read-out measures both.
    int cursorDot() const { return m_cursor; }
    int secondCursorDot() const { return m_second; }
    void setCursorDot(int dot, bool second = false);
    void stepCursor(int delta);
    QString readout() const;
    QString dotsText() const;  // the dots shown, as tab-separated text

    struct Mark {
        int number = 0;
        double timeUs = 0;
    };
    const std::vector<Mark>& marks() const { return m_marks; }
    void addMarkAtCursor();
    void clearMarks();

    // Draws the plot into `target` (the screen, paper, a picture file).
    void paintPlot(QPainter& p, const QRectF& target, bool cursors = true) const;
    // The dot nearest to a point of the plot widget, −1 when none is shown.
    int dotAt(const QPointF& pos, const QRectF& area) const;

    QSize pictureSize() const override;
    double pictureDpi() const override;
    void paintPicture(QPainter& p, const QRectF& target, PictureMedium medium) override;
    PageTexts pageTexts() const override;

signals:
    void closeRequested();
    void propertiesRequested();
    void viewChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class CZcPlot;
    void registerCommands();
    void updateScroll();
    void updateReadout();
    void plotClicked(const QPointF& pos, const QRectF& area, bool second);
    void plotWheel(int steps, bool zoom);

    zcfile::ZcFile m_file;
    std::vector<zcfile::Dot> m_dots;
    std::string m_path;
    CommandHandlers m_commands;
    double m_lengthUs = 1;
    double m_startUs = 0, m_spanUs = 1;
    double m_lowHz = 0, m_highHz = 150000;
    int m_cursor = -1, m_second = -1;
    std::vector<Mark> m_marks;
    int m_nextMark = 1;
    CZcPlot* m_plot = nullptr;
    QScrollBar* m_scroll = nullptr;
    QLabel* m_readout = nullptr;
    QLabel* m_noSamples = nullptr;
    bool m_updatingScroll = false;
};
