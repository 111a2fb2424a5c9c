// A power spectrum window ("Power Spectra"): the averaged power spectrum of a
// stretch of one channel of a document, computed by PowerCalc as the
// window's background job so that the window stays responsive however long
// the stretch is. The calculation reads the document's samples through
// mapped views; nothing is copied.
//
// Its context menu ("Power menue"): Copy (the picture as a bitmap and SVG),
// Copy Ascii, Print (the picture on one page, with the document's title
// above it; a print preview is a command of the window too), Settings -
// Current diagram, Continuous update, Logarithmic scale, Ascii File Export.
#pragma once

#include "display/CMeasureWnd.h"
#include "power/PowerCalc.h"
#include "records/VesSettings.h"

#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CPowerPlot;

class CPowerWnd : public CMeasureWnd {
    Q_OBJECT
public:
    // Window commands besides the frame's.
    static constexpr int kLogScale = 32838;
    static constexpr int kAsciiExport = 32843;
    // The window's default size (its frame at (80, 80)-(600, 300)).
    static constexpr int kDefaultWidth = 520, kDefaultHeight = 220;

    CPowerWnd(CVesSoundDoc& doc, const VesPowerParms& parms, int slot, QWidget* parent = nullptr);
    ~CPowerWnd() override;

    VesPowerParms& parms() { return m_parms; }
    CPowerPlot* plot() const { return m_plot; }

    // The stretch: frames [start, end) of `channel` (Both: the left one). An
    // end at or before the start is a single position: one FFT length from
    // there (cursor mode, shown as the view's selection).
    void setRange(std::int64_t start, std::int64_t end, ChannelSel channel) override;
    void recalculate() override;
    // The last complete result (empty before the first one).
    const PowerResult& result() const { return m_result; }
    bool cursorMode() const { return m_cursorMode; }
    std::int64_t rangeStart() const { return m_start; }
    std::int64_t rangeEnd() const { return m_end; }
    ChannelIndex channel() const { return m_channel; }
    // The FFT size the next calculation uses (automatic: from the plot's width).
    int fftSizeToUse() const;

    void paintPicture(QPainter& p, const QRectF& target, double unitsPerTwip = 1.0 / 15) const override;
    // The text export of the result (header and one line per bin).
    std::string asciiText() const override;
    bool hasResult() const override { return !m_result.power.empty(); }
    // Writes the text export to `path` (created or truncated); false with the message shown.
    bool exportAscii(const std::string& path);
    bool editSettings() override;

    // Where "Ascii File Export" asks for the file: a save dialog unless a test replaces it.
    using SaveChooser = std::function<std::string(QWidget* parent)>;
    static void setSaveChooser(SaveChooser chooser);

signals:
    // Cursor mode: the stretch analysed, to be shown as the view's selection;
    // (-1, -1) when the window no longer shows one.
    void cursorStretch(int slot, std::int64_t start, std::int64_t end);

protected:
    bool& continuousUpdate() override { return m_parms.m_contUpd; }
    void calculationStopped() override;
    void windowClosing() override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onProgress();
    void updateTitle();
    void updatePicture();

    VesPowerParms m_parms;
    CPowerPlot* m_plot = nullptr;
    std::int64_t m_start = 0, m_end = 0;
    ChannelIndex m_channel = ChannelIndex::Left;
    bool m_cursorMode = false;
    PowerResult m_result;
    QTimer m_progressTimer;
    QTimer m_resizeTimer;
};
