// Marks and pulse results as annotation tables (records/AnnotationTable.h),
// in real time: a mark is a point (its range when it marks one), a mark of
// time and frequency carries its frequency; a pulse is its start and end with
// its contour's lowest and highest frequency.
#pragma once

#include "records/AnnotationTable.h"

#include <string>
#include <vector>

class CVesSoundDoc;
struct PulseResult;

AnnotationTable marksToTable(const CVesSoundDoc& doc);

// Adds one mark per row (after the marks there are); rows past the end of the
// recording are refused with a message and nothing is added. Returns the
// number of marks added, −1 on a refusal.
int addMarksFromTable(CVesSoundDoc& doc, const AnnotationTable& table, std::string& error);

// The pulse table: extra columns "Pulse", "Duration (ms)", "Peak Freq (Hz)" and
// "Peak Power (dB)".
AnnotationTable pulsesToTable(const std::vector<PulseResult>& pulses);
