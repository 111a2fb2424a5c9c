// Cursors and marks of an analysis view apart from its window: the cursor
// record, the program-wide cursor types, one-pixel cursor moves, the mark
// store operations on a document, the synchronisation of a view's mark
// displays with its document, the mark distance table and the read-out texts
// of the status strip.
#pragma once

#include "document/ChannelSelection.h"
#include "records/VesRecData.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CVesSoundDoc;
class PlotLayout;

// CursorType comes with the mark record (records/MarkCodes.h).

bool isMeasurementType(CursorType t);

// One cursor of a plot (value semantics).
struct CursorRecord {
    std::int64_t position = -1;  // sample index; -1 = not set
    std::int64_t value = -1;     // Hz in the frequency pane, hundredths of a percent in the oscillogram
    bool hasValue = false;       // amplitudes may be -1 too, so "none" is kept apart
    ChannelSel channel = ChannelSel::Both;
    bool inFrequencyPane = true;
    CursorType type = CursorType::Marking;
    std::string label;
    bool showLabel = false;

    bool isSet() const { return position >= 0; }
    bool operator==(const CursorRecord&) const = default;
};

// The program-wide cursor type (user-interface thread only).
CursorType currentCursorType();
void setCurrentCursorType(CursorType t);
// Activating a view of a mono document: the stereo marking cursor falls back.
void cursorTypeForDocument(int channels);

// ---- one-pixel moves (PlotLayout scales) ----

// The sample one pixel left (dir < 0) or right of `sample`: at least one
// sample away, never outside 0 .. lengthFrames.
std::int64_t stepSampleByPixel(const PlotLayout& L, std::int64_t sample, int dir, std::int64_t lengthFrames);
// The value one pixel up (dir > 0) or down in the pane of channel half
// `channelIndex`; by one unit when a pixel does not change it. Kept inside
// the pane's range (frequency SpectMin .. SpectMax, amplitude AmpMin .. AmpMax
// and within +-10000).
std::int64_t stepValueByPixel(const PlotLayout& L, std::int64_t value, bool frequency, int dir,
                              std::size_t channelIndex = 0);

// ---- marks ----

AnaMarkSave markFromCursor(const CursorRecord& c);
CursorRecord cursorFromMark(const AnaMarkSave& m);

// The index of mark number `markNr` in the document's list, or -1.
int findMark(const CVesSoundDoc& doc, int markNr);
// The document's active mark, or null.
AnaMarkSave* activeMark(CVesSoundDoc& doc);
// Mark `markNr` becomes the document's only active mark (-1: none).
void setActiveMarkNr(CVesSoundDoc& doc, int markNr);
// A new mark from `cursor` (kind and channel from it), labelled `label` or,
// when that is empty, "Mark %d" with its number; it becomes the active mark.
// Returns its mark number.
int addCursorMark(CVesSoundDoc& doc, const CursorRecord& cursor, const std::string& label = {},
                  const std::string& comment = {});
// Clears the active mark, then removes mark `markNr`. False when there was none.
bool removeMark(CVesSoundDoc& doc, int markNr);
// Cuts `text` to at most `maxChars` characters (UTF-8 aware).
std::string limitChars(const std::string& text, std::size_t maxChars);
constexpr std::size_t kMarkLabelChars = 40;
constexpr std::size_t kMarkDescChars = 400;

// A view's copy of the document's marks, walked with the document's list in
// MarkNr order: marks in both are compared and copied when they differ, marks
// only in the view removed, marks only in the document added.
struct MarkSyncResult {
    int changed = 0, added = 0, removed = 0;
    bool any() const { return changed + added + removed > 0; }
};
MarkSyncResult syncMarkDisplays(std::vector<AnaMarkSave>& view, const std::vector<AnaMarkSave>& doc);

// PlotStart that puts `markSample` in the middle of a plot of `samplesPerPlot`.
std::int64_t scrollStartForMark(std::int64_t markSample, std::int64_t samplesPerPlot, std::int64_t lengthFrames);

// ---- distances ----

// Frequency difference text: "%d Hz" below 1000 Hz (in magnitude), else kHz
// with 3, 2, 1 or 0 decimals up to 9999, 99999, 999999 Hz and above.
std::string frequencyDifferenceText(std::int64_t diffHz);
// The table of the mark distances dialog: row 0 holds the labels (cell 0
// empty), column 0 the row's label. Below the diagonal the time from the
// column's mark to the row's as "%lld ms"; above it, for two frequency marks,
// the frequency difference row minus column; else "-".
using MicrosOfFrames = std::function<std::int64_t(std::int64_t frames)>;
std::vector<std::vector<std::string>> markDistanceTable(const std::vector<AnaMarkSave>& marks,
                                                        const MicrosOfFrames& micros);
// The table as the clipboard's text: cells by TAB, lines ended by CR LF.
std::string tableText(const std::vector<std::vector<std::string>>& table);

// ---- status strip read-outs ----

std::string timeReadout(const PlotLayout& L, std::int64_t sample, bool fine = false);
std::string timeDifferenceReadout(const PlotLayout& L, std::int64_t samples);
// The cursor's read-out: its time, and the value for a measurement cursor.
std::string cursorReadout(const PlotLayout& L, const CursorRecord& c);
// The selection's: "start - end Distance: duration".
std::string selectionReadout(const PlotLayout& L, std::int64_t a, std::int64_t b);
// The mouse read-out over a pane (measurement cursor types), relative to
// `reference` when it is a set measurement cursor in the same kind of pane.
std::string mouseReadout(const PlotLayout& L, std::int64_t sample, bool frequencyPane, double value,
                         const CursorRecord* reference);
