// A power spectrum window ("Power Spectra"): the averaged power spectrum of a
// stretch of one channel of a document, computed by a PowerCalc worker so
// that the window stays responsive however long the stretch is. The worker
// reads the document's samples through mapped views; nothing is copied.
//
// Each calculation is a run with its own number; the completion message of
// a run that has since been replaced is ignored, so a late message can never
// take the result of, or delete, the worker that runs now.
//
// Its context menu ("Power menue"): Copy (the picture as a bitmap and SVG),
// Copy Ascii, Print (the picture on one page, with the document's title
// above it; a print preview is a command of the window too), Settings -
// Current diagram, Continuous update, Logarithmic scale, Ascii File Export.
#pragma once

#include "commands/CommandRouter.h"
#include "document/ChannelSelection.h"
#include "power/PowerCalc.h"
#include "records/VesSettings.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CPowerPlot;
class CVesSoundDoc;
class QPainter;
namespace vprint {
class PaintedPicture;
}

class CPowerWnd : public QWidget {
    Q_OBJECT
public:
    // Window commands.
    static constexpr int kCopy = 57634;
    static constexpr int kCopyAscii = 33077;
    static constexpr int kPrint = 32822;
    static constexpr int kPrintPreview = 32824;
    static constexpr int kSettingsCurrent = 32823;
    static constexpr int kContinuousUpdate = 32836;
    static constexpr int kLogScale = 32838;
    static constexpr int kAsciiExport = 32843;
    // The window's default size (its frame at (80, 80)-(600, 300)).
    static constexpr int kDefaultWidth = 520, kDefaultHeight = 220;

    CPowerWnd(CVesSoundDoc& doc, const VesPowerParms& parms, int slot, QWidget* parent = nullptr);
    ~CPowerWnd() override;

    int slot() const { return m_slot; }
    CVesSoundDoc& doc() { return m_doc; }
    VesPowerParms& parms() { return m_parms; }
    CPowerPlot* plot() const { return m_plot; }
    // The window's commands, with their enabled and checked states.
    CommandHandlers& commands() { return m_commands; }

    // The stretch: frames [start, end) of `channel` (Both: the left one). An
    // end at or before the start is a single position: one FFT length from
    // there (cursor mode, shown as the view's selection).
    void setRange(std::int64_t start, std::int64_t end, ChannelSel channel);
    // The view's selection or cursor changed: taken only with continuous update.
    bool followSelection(std::int64_t start, std::int64_t end, ChannelSel channel);
    // Stops a running calculation and starts one for the current stretch.
    void recalculate();
    // Stops (and joins) a running calculation; the window shows the stop.
    void stopCalculation();
    bool calculating() const { return m_calc != nullptr; }
    // The last complete result (empty before the first one).
    const PowerResult& result() const { return m_result; }
    bool cursorMode() const { return m_cursorMode; }
    std::int64_t rangeStart() const { return m_start; }
    std::int64_t rangeEnd() const { return m_end; }
    ChannelIndex channel() const { return m_channel; }
    // The FFT size the next calculation uses (automatic: from the plot's width).
    int fftSizeToUse() const;

    // The window's picture into any painter and rectangle (device units), at
    // `unitsPerTwip` device units per twip: the window, the clipboard copy,
    // printing and export all draw this.
    void paintPicture(QPainter& p, const QRectF& target, double unitsPerTwip = 1.0 / 15) const;
    QImage pictureImage(const QSize& size) const;
    // The text export of the result (header and one line per bin).
    std::string asciiText() const;

    bool copyPicture();
    bool copyAscii();
    // Writes the text export to `path` (created or truncated); false with the message shown.
    bool exportAscii(const std::string& path);
    // "Settings - Current diagram": the dialog on this window's copy; OK recalculates.
    bool editSettings();

    // Where "Ascii File Export" asks for the file: a save dialog unless a test replaces it.
    using SaveChooser = std::function<std::string(QWidget* parent)>;
    static void setSaveChooser(SaveChooser chooser);

signals:
    // The window is closing (the view frees its slot).
    void closing(int slot);
    // Cursor mode: the stretch analysed, to be shown as the view's selection;
    // (-1, -1) when the window no longer shows one.
    void cursorStretch(int slot, std::int64_t start, std::int64_t end);
    // A calculation ended with a result.
    void calculated(int slot);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void registerCommands();
    void showContextMenu(const QPoint& globalPos);
    void onDone(std::uint64_t run);
    void onProgress();
    void updateTitle();
    void updatePicture();

    CVesSoundDoc& m_doc;
    VesPowerParms m_parms;
    int m_slot;
    CPowerPlot* m_plot = nullptr;
    CommandHandlers m_commands;
    std::shared_ptr<vprint::PaintedPicture> m_picture;  // printing, preview and the clipboard
    std::int64_t m_start = 0, m_end = 0;
    ChannelIndex m_channel = ChannelIndex::Left;
    bool m_cursorMode = false;
    std::unique_ptr<PowerCalc> m_calc;
    std::uint64_t m_run = 0;      // number of the running (or last) calculation
    PowerResult m_result;
    QTimer m_progressTimer;
    QTimer m_resizeTimer;
    bool m_closed = false;
};
