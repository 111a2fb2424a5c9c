// How an analysis view sets itself up and follows its document, apart from
// its window: which panes each kind of view shows, the parameter set a new
// view starts with, how a view follows changes of its document (format
// changes and appended samples), the horizontal scroll bar's numbers, and
// the sound-format text of the status strip. The desktop program's views
// and vesperon-cli's pictures set up their plots from here.
#pragma once

#include "display/AnaViewZoom.h"
#include "document/ChannelSelection.h"
#include "records/VesAnaParms.h"

#include <cstdint>
#include <optional>
#include <string>

class CVesSoundDoc;

enum class ViewKind { Base, Spectrogram, Oscillogram, Combined, ZeroCrossing };

// Sets the pane flags a view of `kind` has at construction (the base view
// keeps the record's).
void setViewPanes(VesAnaParms& parms, ViewKind kind);
// "Spectrogram", "Oscillogram", "Combined", "Zero Crossing Analysis", "Analysis".
const char* viewKindName(ViewKind kind);

// A selection as a view keeps it: two samples in any order, the channel it
// was made on and, for a rectangle, its vertical extent in the pane it was
// made in.
struct ViewSelection {
    std::int64_t a = 0, b = 0;
    ChannelSel channel = ChannelSel::Both;
    bool timeOnly = true;
    bool inFrequencyPane = true;
    double low = 0, high = 0;  // Hz in a frequency pane, hundredths of a percent in the oscillogram

    std::int64_t first() const { return a < b ? a : b; }
    std::int64_t last() const { return a < b ? b : a; }
    ZoomSelection zoomSelection() const { return {a, b, timeOnly, inFrequencyPane, low, high}; }
};

// The default analysis settings as a new view of `kind` starts with them
// before it looks at its recording: the record with no plot position, the
// panes of `kind` (the base kind keeps the record's), repaired
// (VesAnaParms::repair) and with the pane rules of every view (a view that
// would show the oscillogram with the zero-crossing analysis shows the
// spectrogram instead of the latter; a view without panes shows the
// oscillogram).
VesAnaParms defaultViewParms(const VesAnaParms& defaults, ViewKind kind);

// What a new view knows when it is created.
struct NewViewContext {
    ViewKind kind = ViewKind::Combined;
    const VesAnaParms* previous = nullptr;        // the document's previously active view, if any
    const ViewSelection* previousSelection = nullptr;
    const VesAnaParms* defaults = nullptr;        // the program's default analysis settings
};

// The parameter set of a new view of `doc`: the next set the document read
// from its file; else a copy of the previously active view's (keeping this
// kind's panes, starting at that view's selection if it has one); else the
// defaults with the default frequency range where it fits the recording.
// Then the repairs every new view makes (VesAnaParms::repair and the pane
// rules of defaultViewParms).
VesAnaParms initialViewParms(CVesSoundDoc& doc, const NewViewContext& context);

// What a view remembers of its document between updates.
class ViewDocTracker {
public:
    ViewDocTracker(std::int32_t timeExp25, std::uint32_t rateHz) : m_timeExp(timeExp25 < 1 ? 1000 : timeExp25), m_rate(rateHz) {}

    // ViewUpdateKind::Format (samples, format or time expansion changed): rescales the
    // frequency range and the zoom history's frequencies by E'/E and r'/r and
    // the plot size by E/E' and r/r' when the time expansion E or the rate r
    // changed since last seen.
    void formatChanged(VesAnaParms& parms, AnaViewZoom& zoom, std::int32_t timeExp25, std::uint32_t rateHz);

    // ViewUpdateKind::Append (samples appended while recording). `samplesOfPlotSize`
    // converts the plot size to samples. Returns what the plot must do.
    enum class Append { Nothing, Redraw, DrawNewColumns };
    Append appended(VesAnaParms& parms, std::int64_t newLength, std::int64_t samplesOfPlotSize, bool fullRedraw);

    std::int64_t lastLength() const { return m_lastLength; }
    void setLastLength(std::int64_t frames) { m_lastLength = frames; }
    std::int32_t timeExp25() const { return m_timeExp; }
    std::uint32_t rateHz() const { return m_rate; }

private:
    std::int64_t m_lastLength = -1;  // unknown
    std::int32_t m_timeExp;
    std::uint32_t m_rate;
};

// The horizontal scroll bar works in sample indices, which may exceed what
// the bar holds; it counts in units of `unit` samples.
struct ScrollBarNumbers {
    std::int64_t unit = 1;
    int maximum = 0;  // 0 .. max(total, per plot) - per plot, in units
    int page = 1;
    int value = 0;
    int singleStep = 1;

    static ScrollBarNumbers make(std::int64_t totalSamples, std::int64_t samplesPerPlot, std::int64_t samplesPerTick,
                                 std::int64_t position);
    std::int64_t toSamples(int barValue) const { return static_cast<std::int64_t>(barValue) * unit; }
};

// The sound-format text of the status strip: "Mono, %d bits, %d Hz." or
// "Stereo, ...", with ", Time exp %2.2f." for a time expansion other than 1.
std::string soundFormatText(int channels, int bits, std::uint32_t rateHz, std::int32_t timeExp25);
