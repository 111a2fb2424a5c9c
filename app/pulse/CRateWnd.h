// A pulse interval or pulse length window: finds the pulses of one channel of
// a stretch by an amplitude threshold and shows the histogram of the
// intervals between their starts or of their lengths. The passes over the
// samples run on a worker thread (a stretch of hours would otherwise stop the
// window), one run at a time; the result of a run that has since been
// replaced is dropped.
//
// Its context menu ("Rate menue"): Copy (the picture as a bitmap and SVG),
// Copy Ascii, Print (the picture on one page, with the document's title
// above it), Settings - Current diagram, Continuous update, Automatic
// settings, Update threshold.
#pragma once

#include "display/CMeasureWnd.h"
#include "pulse/RateHistogram.h"
#include "records/VesSettings.h"

#include <cstdint>

class CRatePlot;

class CRateWnd : public CMeasureWnd {
    Q_OBJECT
public:
    // Window commands besides the frame's.
    static constexpr int kAutomaticSettings = 32837;
    static constexpr int kUpdateThreshold = 32839;
    static constexpr int kDefaultWidth = 420, kDefaultHeight = 220;

    // `parms.m_intervalMode` chooses the kind.
    CRateWnd(CVesSoundDoc& doc, const VesRateParms& parms, int slot, QWidget* parent = nullptr);
    ~CRateWnd() override;

    VesRateParms& parms() { return m_parms; }
    const RateHistogram& histogram() const { return m_hist; }
    CRatePlot* plot() const { return m_plot; }
    std::int64_t firstFrame() const { return m_first; }
    std::int64_t lastFrame() const { return m_last; }
    // The threshold was derived from the data (not typed or set by the level cursor).
    bool thresholdAutomatic() const { return m_thresholdAutomatic; }

    // Frames [first, last) (last −1: none) of `channel`.
    void setRange(std::int64_t first, std::int64_t last, ChannelSel channel) override;
    // The view's level cursor (hundredths of a percent of full scale).
    void setDetectionLevel(std::int64_t level);
    // Re-derives the layout and starts a calculation (stopping a running one).
    void recalculate() override;
    // The level the view's level cursor shows for this window's threshold.
    std::int64_t levelCursorValue() const;
    ChannelSel analysedChannel() const;

    void paintPicture(QPainter& p, const QRectF& target, double unitsPerTwip = 1.0 / 15) const override;
    std::string asciiText() const override { return m_hist.asciiTable(); }
    bool hasResult() const override { return !m_hist.pending() && !calculating(); }
    bool editSettings() override;

signals:
    // This window becomes the level-cursor target (message 1047).
    void levelTargetRequested(int slot);

protected:
    bool& continuousUpdate() override { return m_parms.m_contUpd; }

private:
    void updateFoot();

    VesRateParms m_parms;
    CRatePlot* m_plot = nullptr;
    std::int64_t m_first = 0, m_last = -1;
    bool m_thresholdAutomatic = true;
    RateHistogram m_hist;
};
