// The text forms of detected calls: comma-separated values with one row per
// call, a selection table (one table for the calls of many files), and the
// rows of the program's result table.
#pragma once

#include "pulse/CallMeasures.h"
#include "records/AnnotationTable.h"

#include <string>
#include <vector>

// "file,call,start_ms,end_ms,duration_ms,max_freq_hz,min_freq_hz,peak_freq_hz,
// char_freq_hz,knee_freq_hz,bandwidth_hz,slope_khz_per_ms,interval_ms,snr_db,
// fc_hz,tc_ms,sc_ops,s1_ops,fk_hz,tk_ms,fmean_hz,qual_pct,tbc_ms,
// low_freq_hz,high_freq_hz\n": the field's parameters (CallMeasures.h) and
// the call's box after the program's own columns, so that tables read by
// column position stay valid.
std::string callCsvHeader();
// One row: times with 3 decimals, frequencies with 1, slope 3, SNR, OPS
// slopes and Qual 2; the interval and TBC are empty for the first call of a
// file. The file name is quoted
// when it holds a comma, a quote or a line break.
std::string callCsvRow(const std::string& file, const CallMeasures& call);

// The calls of one file as selection-table rows (begin and end in seconds,
// the low and high frequency of the call's box), with the file name in a
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
