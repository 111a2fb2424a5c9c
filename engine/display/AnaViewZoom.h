// Zoom and scrolling of an analysis view: the zoom table, the zoom history of
// 31 states and the scroll requests, applied to the view's parameter set.
// The view asks the document for time conversions and gives the numbers the
// plot's layout knows (samples per plot, samples per time-axis tick).
#pragma once

#include "records/VesAnaParms.h"

#include <array>
#include <cstdint>
#include <vector>

struct ZoomState {
    std::int64_t plotSize = 0;  // microseconds
    std::int64_t spectMax = -1;
    std::int64_t spectMin = 0;
    std::int64_t ampMax = 10000;
    std::int64_t ampMin = -10000;
    bool operator==(const ZoomState&) const = default;
};

// A selection as the plot keeps it: two samples and, for a rectangle, the
// vertical extent in the pane it was made in.
struct ZoomSelection {
    std::int64_t a = 0, b = 0;  // samples, any order
    bool timeOnly = true;
    bool inFrequencyPane = true;   // else the oscillogram
    double low = 0, high = 0;      // Hz in a frequency pane, hundredths of a percent in the oscillogram
};

class AnaViewZoom {
public:
    static constexpr int kHistorySize = 31;
    // The zoom table in microseconds, largest first.
    static const std::array<std::int64_t, 31>& zoomTable();

    // `parms` is the view's record; its current zoom becomes the default zoom.
    explicit AnaViewZoom(VesAnaParms& parms);

    // With a selection: show it (and, for a rectangle, its vertical extent in
    // the view's panes). Without: the next smaller zoom-table size.
    // `microsBetween` is the real time between the selection's samples.
    void zoomIn(const ZoomSelection* selection, std::int64_t microsBetween, bool hasFrequencyPane, bool hasOscillogram);
    void zoomOut();
    void defaultZoom();
    void entireFile(std::int64_t durationMicros);
    void fullRange();

    // Scroll requests; positions are samples. Returns the new start.
    enum class Scroll { LineLeft, LineRight, PageLeft, PageRight, Thumb, LeftEnd, RightEnd };
    std::int64_t scroll(Scroll request, std::int64_t totalSamples, std::int64_t samplesPerPlot, std::int64_t samplesPerTick,
                        std::int64_t thumbPosition = 0);
    // The scroll bar's limits: 0 … max(total, per plot) − per plot.
    static std::int64_t maxScrollPosition(std::int64_t totalSamples, std::int64_t samplesPerPlot);

    int historyDepth() const { return static_cast<int>(m_history.size()); }
    const ZoomState& defaultState() const { return m_default; }
    ZoomState current() const;
    void clearHistory() { m_history.clear(); }
    // Oldest first.
    const std::vector<ZoomState>& history() const { return m_history; }
    // Multiplies the positive frequency limits of every history entry by
    // up / down (integer arithmetic): the time expansion or the rate of the
    // recording changed.
    void scaleHistoryFrequencies(std::int64_t up, std::int64_t down);

private:
    void push();
    void apply(const ZoomState& s);

    VesAnaParms& m_parms;
    ZoomState m_default;
    std::vector<ZoomState> m_history;  // oldest first
};
