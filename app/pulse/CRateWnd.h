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

#include "commands/CommandRouter.h"
#include "document/ChannelSelection.h"
#include "pulse/RateHistogram.h"
#include "records/VesSettings.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

class CRatePlot;
class CVesSoundDoc;
class QPainter;
namespace vprint {
class PaintedPicture;
}

class CRateWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCopy = 57634;
    static constexpr int kCopyAscii = 33077;
    static constexpr int kPrint = 32822;
    static constexpr int kSettingsCurrent = 32823;
    static constexpr int kContinuousUpdate = 32836;
    static constexpr int kAutomaticSettings = 32837;
    static constexpr int kUpdateThreshold = 32839;
    static constexpr int kDefaultWidth = 420, kDefaultHeight = 220;

    // `parms.m_intervalMode` chooses the kind.
    CRateWnd(CVesSoundDoc& doc, const VesRateParms& parms, int slot, QWidget* parent = nullptr);
    ~CRateWnd() override;

    int slot() const { return m_slot; }
    VesRateParms& parms() { return m_parms; }
    const RateHistogram& histogram() const { return m_hist; }
    CRatePlot* plot() const { return m_plot; }
    CommandHandlers& commands() { return m_commands; }
    bool calculating() const { return m_worker != nullptr; }
    std::int64_t firstFrame() const { return m_first; }
    std::int64_t lastFrame() const { return m_last; }
    // The threshold was derived from the data (not typed or set by the level cursor).
    bool thresholdAutomatic() const { return m_thresholdAutomatic; }

    // Frames [first, last) (last −1: none) of `channel`.
    void setRange(std::int64_t first, std::int64_t last, ChannelSel channel);
    // Taken only with continuous update.
    bool followSelection(std::int64_t first, std::int64_t last, ChannelSel channel);
    // The view's level cursor (hundredths of a percent of full scale).
    void setDetectionLevel(std::int64_t level);
    // Re-derives the layout and starts a calculation (stopping a running one).
    void recalculate();
    void stopCalculation();
    // The level the view's level cursor shows for this window's threshold.
    std::int64_t levelCursorValue() const;
    ChannelSel analysedChannel() const;

    // The window's picture into any painter and rectangle (device units).
    void paintPicture(QPainter& p, const QRectF& target, double unitsPerTwip = 1.0 / 15) const;
    QImage pictureImage(const QSize& size) const;
    bool copyPicture();
    bool copyAscii();
    bool editSettings();

signals:
    void closing(int slot);
    // This window becomes the level-cursor target (message 1047).
    void levelTargetRequested(int slot);
    void calculated(int slot);
    // The window became the active one: the level cursor's target from now on.
    void activated(int slot);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void registerCommands();
    void showContextMenu(const QPoint& globalPos);
    void onDone(std::uint64_t run);
    void updateFoot();

    CVesSoundDoc& m_doc;
    VesRateParms m_parms;
    int m_slot;
    CRatePlot* m_plot = nullptr;
    CommandHandlers m_commands;
    std::shared_ptr<vprint::PaintedPicture> m_picture;  // printing, preview and the clipboard
    std::int64_t m_first = 0, m_last = -1;
    bool m_thresholdAutomatic = true;
    RateHistogram m_hist;
    // The running calculation: its own copies of the histogram and record.
    struct Run {
        RateHistogram hist;
        VesRateParms parms;
        std::atomic<bool> stop{false};
        bool ok = false;
    };
    std::unique_ptr<Run> m_pending;
    std::unique_ptr<std::thread> m_worker;
    std::uint64_t m_run = 0;
    bool m_closed = false;
};
