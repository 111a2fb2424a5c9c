// The plot window of an analysis view: draws the view's record of one
// document through the render/ painter, on demand.
//
// Painting. The plot keeps the picture of its data in an image of its own
// size and remembers which parts of it are out of date; a paint event draws
// the out-of-date columns it exposes with the painter (the full drawing:
// background, grids, axes, data, titles, colour bar, marks), copies the image
// to the screen and draws the selection over it. Moving another window over
// the plot therefore recomputes nothing.
//
// Coalescing. A repaint request (zoom, scroll, parameters, document changes)
// that arrives after a full paint does not recompute at once: its rectangle
// joins the pending rectangle and the repaint timer (re)starts, 250 ms when
// the spectrogram is shown, else 31 ms. When the timer fires, the pending
// rectangle (or the whole plot) is invalidated and painted in one go, so a
// burst of requests costs one recomputation. In live mode (recording
// monitor) requests are not deferred and nothing is drawn past the end of the
// recording less one FFT length.
#pragma once

#include "display/CursorMarks.h"
#include "display/PlotLayout.h"
#include "display/ViewPolicy.h"
#include "render/PlotPainter.h"

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class CVesSoundDoc;

class CAnaPlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSpectrogramDelayMs = 250;
    static constexpr int kOtherDelayMs = 31;
    // The playback position is drawn as a dashed line of this colour.
    static constexpr QRgb kPlayCursorColor = 0xff00ffff;

    CAnaPlot(CVesSoundDoc& doc, VesAnaParms& parms, QWidget* parent = nullptr);
    ~CAnaPlot() override;

    // Recomputes the layout from the view's record (which it may repair) at
    // the plot's current size, and marks the whole picture out of date.
    void prepareLayout();
    const PlotLayout& layout() const { return m_layout; }
    const PlotPainter* painter() const { return m_painter.get(); }
    // Twips measured by 10,000 screen pixels.
    std::int64_t twipsFor10000Pixels() const;

    // A repaint request, coalesced as described above.
    void requestRepaint();
    void requestRepaint(const QRect& rect);
    // The pixel columns between two frames (for live drawing of new samples).
    QRect columnsOfFrames(std::int64_t firstFrame, std::int64_t endFrame) const;

    void setLiveMode(bool on);
    bool liveMode() const { return m_live; }

    // 3 in the oscillogram, 1 in a spectrogram pane, 2 in a zero-crossing
    // pane, 0 elsewhere (a point in the right channel's half counts like the
    // same point in the left one's).
    int hitTest(const QPoint& pos) const;
    PlotPoint pointAt(const QPoint& pos) const;

    // The selection drawn inverted over the data (none: nullopt).
    void setSelection(const std::optional<ViewSelection>& selection);
    const std::optional<ViewSelection>& selection() const { return m_selection; }
    // The cursor drawn over the data (not set: none).
    void setCursorOverlay(const CursorRecord& cursor);
    // The cursor into any painter in the plot's pixel coordinates:
    // `inverting` as on the screen (exclusive-or, gone on the next paint),
    // else in black with a white edge, for pictures that cannot invert.
    void drawCursor(QPainter& p, bool inverting) const { drawCursor(p, m_cursor, inverting); }
    // The marks are drawn over the picture too: a change redraws no data.
    void marksChanged() { update(); }
    // Time of the last paint event in microseconds (for measurements).
    std::int64_t lastPaintMicros() const { return m_lastPaintMicros; }
    // The play cursor: a line across the panes at a frame (-1 removes it),
    // drawn over the data like the selection.
    void setPlayCursor(std::int64_t frame);
    std::int64_t playCursor() const { return m_playCursor; }
    // The detector cursor of the virtual bat detector: a line across the
    // panes at a frame and a mark at its tuning frequency (the frequency
    // axis's hertz) in every frequency pane; frame -1 removes it.
    void setDetectorCursor(std::int64_t frame, double frequencyHz);
    std::int64_t detectorCursorFrame() const { return m_detectorFrame; }
    double detectorCursorHz() const { return m_detectorHz; }

    // For tests: full drawings of data so far, whether requests are being
    // deferred, and the timer that ends the deferral.
    int dataPaintCount() const { return m_dataPaints; }
    bool deferred() const { return m_deferred; }
    QTimer& repaintTimer() { return m_timer; }
    const QRegion& pendingRegion() const { return m_pending; }
    // What the timer does when it fires: ends the deferral and invalidates
    // what is pending.
    void onTimer();

signals:
    // The layout was prepared again because the plot changed size.
    void layoutChanged();
    // Mouse input the view turns into a selection.
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);
    void contextMenuRequested(const QPoint& globalPos, int hit);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void invalidate(const QRegion& region);
    QRect selectionRect(const ChannelPanes& ch) const;
    void drawCursor(QPainter& p, const CursorRecord& c, bool inverting) const;

    CVesSoundDoc& m_doc;
    VesAnaParms& m_parms;
    PlotLayout m_layout;
    std::unique_ptr<PlotPainter> m_painter;
    QImage m_image;       // the picture of the data
    QRegion m_stale;      // parts of m_image that need drawing
    QRegion m_pending;    // requests waiting for the timer
    QTimer m_timer;
    bool m_deferred = false;
    bool m_live = false;
    int m_dataPaints = 0;
    std::optional<ViewSelection> m_selection;
    CursorRecord m_cursor;
    std::int64_t m_lastPaintMicros = 0;
    std::int64_t m_playCursor = -1;
    std::int64_t m_detectorFrame = -1;
    double m_detectorHz = 0;
    void drawDetectorCursor(QPainter& p) const;
    QRect playCursorRect() const;
};
