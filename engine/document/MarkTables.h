// Marks as annotation tables (records/AnnotationTable.h), in real time: a
// mark is a point (its range when it marks one), a mark of time and frequency
// carries its frequency.
#pragma once

#include "records/AnnotationTable.h"

#include <string>
#include <vector>

class CVesSoundDoc;

AnnotationTable marksToTable(const CVesSoundDoc& doc);

// Adds one mark per row (after the marks there are); rows past the end of the
// recording are refused with a message and nothing is added. Returns the
// number of marks added, −1 on a refusal.
int addMarksFromTable(CVesSoundDoc& doc, const AnnotationTable& table, std::string& error);
