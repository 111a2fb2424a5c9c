// The command numbers that the engine and the desktop program both use. The
// program's command table (app/shell/CommandTable.h) takes these from here
// and keeps its own numbers for the commands only it knows.
#pragma once

namespace cmdid {
// Posted through IDocHost::postViewCommand: every view sets the document's
// length in frames from the size of its sample store, scrolls to the end and
// repaints; then all views get ViewUpdateKind::Format.
constexpr int MsgLengthFromStore = 1074;  // WM_USER + 50

// Window: one more combined view of the active document.
constexpr int NewCombinedView = 32780;
// The cursor menu's mark lists: + mark number, 100 entries each.
constexpr int SetActiveMarkFirst = 32859;
constexpr int SetActiveMarkLast = 32958;
constexpr int ScrollToMarkFirst = 32959;
constexpr int ScrollToMarkLast = 33058;
}  // namespace cmdid
