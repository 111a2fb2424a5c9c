// Labelled calls from selection tables: a person's boxes (or points: a
// selection whose begin and end are the same time) with the species in a
// column of its own, beside the recordings they were drawn on.
//
// The species comes from the first of these columns the table has (names
// compared without regard to case): "Species", "Species Code", "Class",
// "Annotation", "Label". Rows with an empty species are skipped. A row's
// recording is named by "Begin Path" (as written, or relative to the
// table's folder), else "Begin File" (in the table's folder), else the
// table's own name without ".Table.N.selections.txt" (or ".selections.txt",
// ".txt") and with ".wav" — the names the field's programs give a table
// saved beside its recording.
#pragma once

#include "classify/Classifier.h"

#include <string>
#include <string_view>
#include <vector>

namespace classify {

struct SpeciesSelection {
    double beginSeconds = 0, endSeconds = 0;  // real time
    double lowHz = -1, highHz = -1;           // below 0: no frequency range
    std::string species;
    std::string file;                         // Begin Path or Begin File as written; "" when none
};

// Reads the table's text. False with a message when it is not a selection
// table, has no species column, or no row names a species.
bool readSpeciesTable(std::string_view text, std::vector<SpeciesSelection>& out, std::string& error);

// The recording a row of the table at `tablePath` belongs to (see above).
// "" when none of the candidate files exists; `tried` gets the name looked for.
std::string recordingOfSelection(const std::string& tablePath, const SpeciesSelection& row, std::string& tried);

// The species of each of a recording's calls from the selections drawn on
// it: a call takes the species of the boxes it overlaps by at least half its
// duration (and whose frequency range, when they have one, holds its peak
// frequency within 10 %), or of the points within 1 ms of it. "" for a call
// that no selection names, or that selections of two species name.
std::vector<std::string> speciesOfCalls(const std::vector<CallMeasures>& calls,
                                        const std::vector<SpeciesSelection>& selections);

}  // namespace classify
