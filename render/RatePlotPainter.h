// The picture of a pulse interval or pulse length histogram: filled bars
// from bar 1 to N, the count axis with its ticks and labels, the time axis,
// and the two texts at the foot (status at the left; the analysed range and
// the count at the right). It draws into any QPainter and rectangle, so that
// the window, the clipboard copy, printing and the command-line tool show the
// same picture.
#pragma once

#include "pulse/RateHistogram.h"

#include <QPointF>
#include <QRectF>

#include <optional>
#include <string>

class QPainter;

struct RatePicture {
    const RateHistogram* histogram = nullptr;
    std::string status;                // left of the foot line
    std::string rangeText;             // "     0.10 s - 0.50 s", without the count
    std::optional<QPointF> marker;     // device point of the marker
};

class RatePlotPainter {
public:
    RatePlotPainter(const RatePicture& picture, const QRectF& target, double unitsPerTwip = 1.0 / 15);

    void paint(QPainter& p) const;

    const QRectF& plotArea() const { return m_area; }
    // The time (µs) and count at a device point, interpolated across the plot.
    double timeAtX(double x) const;
    double countAtY(double y) const;
    // The bar under device x (1..N), 0 outside.
    int barAtX(double x) const;

private:
    void drawAxes(QPainter& p) const;
    void drawBars(QPainter& p) const;
    void drawFoot(QPainter& p) const;

    const RatePicture& m_pic;
    QRectF m_target;
    double m_scale;
    QRectF m_area;
    QRectF m_foot;
};

// A time on the histogram's axis by the analysis plot's time-label formatter:
// the number in the label type of the axis step (Number), with a blank and
// its unit (Label), or in the finer type of read-outs with its unit (Readout).
enum class RateTimeText { Number, Label, Readout };
std::string rateTimeLabel(std::int64_t micros, std::int64_t stepMicros, RateTimeText kind = RateTimeText::Label);
