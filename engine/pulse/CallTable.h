// The text forms of detected calls: comma-separated values with one row per
// call, a selection table (one table for the calls of many files), and the
// rows of the program's result table.
#pragma once

#include "pulse/CallMeasures.h"
#include "records/AnnotationTable.h"

#include <string>
#include <vector>

// "file,call,start_ms,end_ms,duration_ms,max_freq_hz,min_freq_hz,peak_freq_hz,
// char_freq_hz,knee_freq_hz,bandwidth_hz,slope_khz_per_ms,interval_ms,snr_db\n"
std::string callCsvHeader();
// One row: times with 3 decimals, frequencies with 1, slope 3, SNR 2; the
// interval is empty for the first call of a file. The file name is quoted
// when it holds a comma, a quote or a line break.
std::string callCsvRow(const std::string& file, const CallMeasures& call);

// The calls of one file as selection-table rows (begin and end in seconds,
// lowest and highest contour frequency), with the file name in a
// "Begin File" column and every measurement in its own column.
void appendCallsToTable(AnnotationTable& table, const std::string& file, const std::vector<CallMeasures>& calls);
AnnotationTable emptyCallTable();

// The columns of the result table and the cells of a call, in the order of
// the comma-separated form (without the file).
std::vector<std::string> callColumnHeadings();
std::vector<std::string> callCells(const CallMeasures& call);
// Tab-separated text of the result table: the headings, then one line per
// call, lines ended by "\r\n" (what "Copy" puts on the clipboard).
std::string callTableText(const std::vector<CallMeasures>& calls);
