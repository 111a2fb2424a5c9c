// What a document tells its views through IDocView::onDocumentUpdate: the
// update kinds, the record that may come with them, and the message that
// makes every view take its length from the sample store.
#pragma once

#include <cstdint>

namespace viewupdate {
// Repaint the plot and the status strip (also a view's first update).
constexpr int kRepaint = 0;
// Samples, format or time expansion changed.
constexpr int kFormat = 1;
// A block of samples was appended while recording with realtime graphics on.
constexpr int kAppend = 2;
// A light update while recording: the new length only, nothing is drawn.
constexpr int kLength = 4;

// Posted through IDocHost::postViewCommand: every view sets the document's
// length in frames from the size of its sample store, scrolls to the end and
// repaints; then all views get kind 1.
constexpr int kMsgLengthFromStore = 1074;  // WM_USER + 50
}  // namespace viewupdate

// The record of kinds 2 and 4.
struct ViewUpdateRecord {
    const std::uint8_t* block = nullptr;  // recorded bytes to draw from, or none
    std::int64_t blockBytes = 0;
    std::int64_t firstFrame = 0;          // the frames the block holds
    std::int64_t endFrame = 0;
    std::int64_t lengthFrames = 0;        // the new length of the recording
    bool fullRedraw = false;
};
