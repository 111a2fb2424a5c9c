// The plot of a power spectrum window: draws the window's picture through
// render/PowerPlotPainter, sets the measurement cursor with a click and shows
// the read-out under the mouse in the status line.
#pragma once

#include "render/PowerPlotPainter.h"

#include <QWidget>

class CPowerPlot : public QWidget {
    Q_OBJECT
public:
    explicit CPowerPlot(QWidget* parent = nullptr);

    // What is drawn; the plot repaints after every change.
    PowerPicture& picture() { return m_picture; }
    const PowerPicture& picture() const { return m_picture; }
    void pictureChanged() { update(); }
    // The painter for the plot's current size.
    PowerPlotPainter painterForSize() const;
    // The status-line message that is not a read-out ("Calculating...").
    void setMessage(const std::string& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    PowerPicture m_picture;
    std::string m_message;
};
