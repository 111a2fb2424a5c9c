// A way for tests to see what the program does when the system gives it no
// thread: the next thread starts fail as a failed thread creation does, and
// the owners report it as they would then.
#pragma once

namespace vkit {

// The next `count` thread starts (BackgroundJob, ThreadCls) fail.
void failNextThreadStarts(int count);
// Used by the thread starters: whether this start is one that fails.
bool threadStartFails();

}  // namespace vkit
