// The picture of a power spectrum: the level axis, the frequency axis with
// its ticks and labels, the averaged spectrum as a curve, the measurement
// cursor and the status line (message at the left, analysed time range at the
// right). It draws into any QPainter and rectangle, so that the window, the
// clipboard copy, printing and the command-line tool show the same picture.
//
// Sizes are given in twips (1/1440 inch) and drawn at `unitsPerTwip` device
// units per twip; the screen uses 1/15 (96 dpi).
#pragma once

#include "power/PowerCalc.h"
#include "power/PowerScale.h"
#include "records/VesSettings.h"

#include <QPointF>
#include <QRectF>

#include <optional>
#include <string>

class QPainter;

struct PowerPicture {
    const PowerResult* result = nullptr;  // nothing drawn for the curve when null or empty
    VesPowerParms parms;
    double rateHz = 0;                    // effective rate (the frequency range without a result)
    std::string message;                  // left of the status line
    std::int64_t startMicros = 0;         // analysed range, real time
    std::int64_t endMicros = 0;
    bool showRange = false;
    std::optional<QPointF> cursor;        // measurement cursor: x = Hz, y = level on the window's scale
};

class PowerPlotPainter {
public:
    // `target` in device units.
    PowerPlotPainter(const PowerPicture& picture, const QRectF& target, double unitsPerTwip = 1.0 / 15);

    void paint(QPainter& p) const;

    // The area of the curve in device units.
    const QRectF& plotArea() const { return m_area; }
    const PowerFrequencyRange& range() const { return m_range; }
    double xOfFrequency(double hz) const;
    double frequencyAtX(double x) const;
    // The x of bin `bin`'s point on the curve: its frequency's x moved right
    // by half a bin's width plus one, b / 2 + 1 with b = 2 × width / N + 1
    // (whole pixels), so that the point stands in the middle of the bin.
    double binX(int bin) const;
    // Level on the window's scale (dB or V²) and back.
    double yOfLevel(double level) const;
    double levelAtY(double y) const;
    // The bin with the highest power in the frequency range (-1 without a result).
    int peakBin() const;

private:
    double levelMin() const;
    double levelMax() const;
    void drawAxes(QPainter& p) const;
    void drawCurve(QPainter& p) const;
    void drawStatus(QPainter& p) const;

    const PowerPicture& m_pic;
    QRectF m_target;
    double m_scale;
    QRectF m_area;
    QRectF m_status;
    PowerFrequencyRange m_range;
};
