// The call measurements as stored, one REAL column each (Project.cpp), for
// the other files of the project layer that store calls (the shard files).
#pragma once

#include "project/Project.h"
#include "project/Sqlite.h"
#include "pulse/CallMeasures.h"

#include <string>

namespace projectcolumns {

// ", name1, name2, ..." with `prefix` before and `suffix` after each name.
std::string measureColumns(const char* prefix, const char* suffix);
int measureCount();
// Binds the measurements to ?first .. ?(first + measureCount() - 1).
void bindMeasures(sql::Stmt& s, int first, const CallMeasures& c);
// Reads them from columns first .. first + measureCount() - 1.
void readMeasures(const sql::Stmt& s, int first, CallMeasures& c);

// The recordings table's columns in the order readRecording takes them,
// each with `table` and a dot before it when one is given ("r").
std::string recordingColumns(const char* table = nullptr);
// A RecordingRow from a statement whose first columns are recordingColumns().
RecordingRow readRecording(const sql::Stmt& s);

}  // namespace projectcolumns
