// The texts of pulse characteristics results: the result window's table
// (one column per enabled value, short headings for the list header, long
// headings in the first row), its "Copy " text, and the comma-separated form
// of the command-line tool, which has every column whatever the settings.
#pragma once

#include "pulse/PulseAnalysis.h"
#include "records/AnnotationTable.h"
#include "records/VesSettings.h"

#include <string>
#include <vector>

enum class PulseColumn { PulseNumber, Start, Stop, Duration, MaxFreq, MinFreq, StrongestFreq, MaxAmplitude };

// The enabled columns in their order: PulsNum, StartTime, StopTime,
// Duration, FreqMax, FreqMin, FreqStrong, AmpMaxAmp.
std::vector<PulseColumn> pulseTableColumns(const VesPulsParms& parms);
// "Pulse# ", "Start(ms) ", ... (the list header).
const char* pulseColumnHeading(PulseColumn column);
// "Pulse# ", "Start osc. (ms) ", ... (the first row).
const char* pulseColumnLongHeading(PulseColumn column);
// The cell of a result: " %4.0f " pulse number, " %5.2f " start and stop
// ms, " %4.2f " duration ms, " %4.0f " frequencies Hz, " %4.2f " level dB.
std::string pulseCell(PulseColumn column, const PulseResult& result);

// The first row: ten blanks, then the long headings.
std::vector<std::string> pulseTableFirstRow(const VesPulsParms& parms);
// A result's row: two blanks, then the cells.
std::vector<std::string> pulseTableRow(const VesPulsParms& parms, const PulseResult& result);
// A row as one line of the copied text: cells joined by tabs, at most 32000
// characters, ended by "\r\n".
std::string pulseTableLine(const std::vector<std::string>& cells);
// "Copy ": the first row and every result row.
std::string pulseTableText(const VesPulsParms& parms, const std::vector<PulseResult>& results);

// Comma-separated values: the header row
// "file,pulse,start_ms,end_ms,duration_ms,max_freq_hz,min_freq_hz,peak_freq_hz,peak_level_db"
// and one row per pulse (times in real-time ms from the start of the
// recording; frequencies 0 and the level "-inf" where nothing was found).
// Lines end with "\n"; the file name is quoted when it needs to be.
std::string pulseCsvHeader();
std::string pulseCsvRow(const std::string& file, const PulseResult& result);

// The pulses as an annotation table (records/AnnotationTable.h), in real time:
// a pulse is its start and end with its contour's lowest and highest
// frequency; extra columns "Pulse", "Duration (ms)", "Peak Freq (Hz)" and
// "Peak Power (dB)".
AnnotationTable pulsesToTable(const std::vector<PulseResult>& pulses);
