// Annotation tables shared with other bat-acoustics and sound programs:
// selection tables (tab-separated, a header line naming the columns
// "Selection", "View", "Channel", "Begin Time (s)", "End Time (s)",
// "Low Freq (Hz)", "High Freq (Hz)" and any others) and label tracks (text
// lines "start<TAB>end<TAB>label", each optionally followed by a frequency
// line "\<TAB>low<TAB>high").
//
// Times are seconds of real time (time expansion applied), frequencies Hz.
// Numbers are written and read in the C locale.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct Annotation {
    double beginSeconds = 0;
    double endSeconds = 0;
    double lowHz = -1;   // below 0: no frequency range
    double highHz = -1;
    int channel = 1;     // 1 = first
    std::string label;
    std::vector<std::string> extra;  // one value per AnnotationTable::extraColumns
};

struct AnnotationTable {
    std::vector<std::string> extraColumns;
    std::vector<Annotation> rows;
};

// The selection table text, one row per annotation numbered from 1, with the
// label in an "Annotation" column and the extra columns after it.
std::string writeSelectionTable(const AnnotationTable& table);
// Reads a selection table. The begin and end time columns are required; a
// label comes from "Annotation" or "Label"; other columns than the standard
// ones are kept as extra columns. A selection listed once per view is taken
// once. False with a message naming the line and column on any fault (the
// table is then left empty).
bool readSelectionTable(std::string_view text, AnnotationTable& out, std::string& error);

// The label track text (frequency lines for rows that have a range).
std::string writeLabelTrack(const AnnotationTable& table);
bool readLabelTrack(std::string_view text, AnnotationTable& out, std::string& error);

// Guesses the kind of a table from its first line: true for a selection table.
bool looksLikeSelectionTable(std::string_view text);
