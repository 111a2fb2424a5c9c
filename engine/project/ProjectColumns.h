// The call measurements as stored, one REAL column each (Project.cpp), for
// the other files of the project layer that store calls (the shard files).
#pragma once

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

}  // namespace projectcolumns
