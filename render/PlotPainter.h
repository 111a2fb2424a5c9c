// The painter of an analysis plot: draws a document with the layout its
// view's parameters give (PrepareLayout) into any QPainter — a widget, an
// image, an SVG or PDF file, a printer. Everything the plot shows is drawn
// here: the oscillogram, spectrogram and zero-crossing panes of each channel,
// the time, frequency and amplitude axes with their ticks, labels and grids,
// the pane titles, the colour bar and the marks.
//
// The layout works in twips with y growing upwards (the window spans
// x = 0 .. width, y = 0 .. -height); the painter maps a twip to
// deviceScale() device units, 1 / twipsPerPixel by default, so that the plot
// comes out at the size it has on the screen. The painter's own world
// transform is left alone: a caller may translate or scale before painting.
//
// A plot widget uses it like this:
//
//   // on resize, zoom, scroll or a parameter change:
//   m_layout = PrepareLayout(m_parms, SoundInfo::of(doc),
//                            PlotDevice::fromScreen(width(), height(), twipsFor10000Pixels));
//   m_painter = std::make_unique<PlotPainter>(m_layout, doc);
//
//   // paintEvent: the full drawing of the exposed columns (the event's clip
//   // keeps the rest of the window untouched)
//   QPainter p(this);
//   const auto [first, end] = m_painter->columnsBetween(e->rect().left(), e->rect().right() + 1);
//   m_painter->paint(p, first, end);
//
//   // live recording: the new columns only, over what is there
//   m_painter->drawColumns(p, first, end);
//
//   // mouse: where a point lies, and back
//   const PlotPoint at = m_painter->pointAt(e->position());
//   const double x = m_painter->sampleToDeviceX(at.sample);
#pragma once

#include "display/ColumnEngine.h"
#include "display/PlotLayout.h"
#include "records/VesRecData.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QSizeF>

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

class CVesSoundDoc;
class QPainter;
class QString;

struct PlotColours {
    QColor background{255, 255, 255};
    QColor ink{0, 0, 0};
    QColor grid{196, 196, 196};        // dotted grid lines
    QColor activeMark{32, 128, 32};    // dotted pen of the active mark
    QColor mark{128, 32, 32};          // dotted pen of the other marks
};

// What lies under a device point.
struct PlotPoint {
    int channelIndex = -1;        // index into PlotLayout::channels; -1 outside the window
    ChannelIndex channel = ChannelIndex::Left;  // the sample channel
    int pane = 0;                 // 3 oscillogram, 1 spectrogram, 2 zero crossings, 0 elsewhere
    std::int64_t xTwips = 0, yTwips = 0;
    std::int64_t sample = 0;      // sample index under x (outside the plot: extrapolated)
    std::int64_t timeNs = 0;      // real time of that sample
    bool hasFrequency = false;    // in the frequency pane
    double frequencyHz = -1;
    bool hasAmplitude = false;    // in the oscillogram pane
    double amplitude = 0;         // hundredths of a percent of full scale
};

class PlotPainter {
public:
    // Both must outlive the painter; a new layout needs a new painter.
    PlotPainter(const PlotLayout& layout, CVesSoundDoc& doc);

    // Device units per twip; 1 / twipsPerPixel unless set.
    void setDeviceScale(double unitsPerTwip);
    double deviceScale() const { return m_scale; }
    // Vector output (SVG, PDF): pens one pixel plus 10 twips wide, so that the
    // columns of the spectrogram meet without hairline gaps in any viewer.
    void setVectorOutput(bool on);
    void setColours(const PlotColours& colours) { m_colours = colours; }
    const PlotColours& colours() const { return m_colours; }
    // Live mode: columns starting at or beyond this frame are not drawn (-1: none).
    void setDrawableEnd(std::int64_t frame) { m_drawableEnd = frame; }
    // Whether paint() draws the marks (a window draws them over its picture).
    void setMarksInPaint(bool on) { m_marksInPaint = on; }

    // The full drawing, with the data of columns [firstColumn, endColumn):
    // background, grids and axes, data, axes again over the data, titles,
    // colour bars, marks. False when the samples could not be mapped (the
    // samples concerned are drawn as 0).
    bool paint(QPainter& p, int firstColumn = 0, int endColumn = std::numeric_limits<int>::max());
    // The data of columns [firstColumn, endColumn) of every channel shown,
    // nothing else.
    bool drawColumns(QPainter& p, int firstColumn, int endColumn);
    // Pane frames, axes, ticks and labels, titles and colour bars; with
    // `grids` the grids first (they go under the data, so that they darken
    // only the background).
    void drawAxes(QPainter& p, bool grids);
    // Every shown mark of the document that belongs in this plot.
    void drawMarks(QPainter& p);

    // ---- conversions ----
    QSizeF deviceSize() const;
    QPointF toDevice(double xTwips, double yTwips) const { return {xTwips * m_scale, -yTwips * m_scale}; }
    std::int64_t toTwipsX(double deviceX) const;
    std::int64_t toTwipsY(double deviceY) const;
    // The columns [first, end) whose pixels meet device x in [x0, x1).
    std::pair<int, int> columnsBetween(double deviceX0, double deviceX1) const;
    PlotPoint pointAt(QPointF device) const;
    double sampleToDeviceX(double sample) const;
    // In the frequency / oscillogram pane of channel half `channelIndex`
    // (values beyond the range go to the pane's edge).
    double frequencyToDeviceY(double hz, std::size_t channelIndex = 0) const;
    double amplitudeToDeviceY(double amplitude, std::size_t channelIndex = 0) const;

    // FFTs of the last drawing (for tests and benchmarks).
    std::int64_t framesComputed() const { return m_framesComputed; }
    const PlotLayout& layout() const { return m_layout; }

private:
    friend class PlotColumnDrawer;
    QFont font(bool small) const;
    double penWidth() const;  // device units
    void drawText(QPainter& p, const QFont& f, double xTwips, double yTwips, int align, const QString& text) const;
    void drawPaneGrids(QPainter& p, const ChannelPanes& ch);
    void drawChannelAxes(QPainter& p, const ChannelPanes& ch);
    void drawTimeAxis(QPainter& p, const ChannelPanes& ch);
    void drawColourBar(QPainter& p, const ChannelPanes& ch);
    void drawMark(QPainter& p, const AnaMarkSave& mark, bool active);
    void fillTwips(QPainter& p, double left, double top, double right, double bottom, const QColor& c) const;
    void lineTwips(QPainter& p, double x0, double y0, double x1, double y1) const;

    const PlotLayout& m_layout;
    CVesSoundDoc& m_doc;
    ColumnEngine m_engine;
    PlotColours m_colours;
    bool m_marksInPaint = true;
    double m_scale = 1.0 / 15;
    bool m_vector = false;
    std::int64_t m_drawableEnd = -1;
    std::int64_t m_framesComputed = 0;
    std::vector<QColor> m_pens;  // palette entries or user pens
};
