// What a document tells its views through IDocView::onDocumentUpdate: one of
// the update kinds, each with what comes with it.
#pragma once

#include <cstdint>
#include <variant>

// The update kinds by their numbers.
enum class ViewUpdateKind : int {
    Repaint = 0,  // repaint the plot and the status strip (also a view's first update)
    Format = 1,   // samples, format or time expansion changed
    Append = 2,   // a block of samples was appended while recording with realtime graphics on
    Length = 4,   // a light update while recording: the new length only, nothing is drawn
};

// What comes with kinds 2 and 4.
struct ViewUpdateRecord {
    const std::uint8_t* block = nullptr;  // recorded bytes to draw from, or none
    std::int64_t blockBytes = 0;
    std::int64_t firstFrame = 0;          // the frames the block holds
    std::int64_t endFrame = 0;
    std::int64_t lengthFrames = 0;        // the new length of the recording
    bool fullRedraw = false;
};

namespace viewupdate {
struct Repaint {};
struct Format {};
struct Append {
    ViewUpdateRecord record;
};
struct Length {
    ViewUpdateRecord record;
};
}  // namespace viewupdate

using ViewUpdate = std::variant<viewupdate::Repaint, viewupdate::Format, viewupdate::Append, viewupdate::Length>;

constexpr ViewUpdateKind viewUpdateKind(const ViewUpdate& update)
{
    constexpr ViewUpdateKind kinds[] = {ViewUpdateKind::Repaint, ViewUpdateKind::Format, ViewUpdateKind::Append,
                                        ViewUpdateKind::Length};
    return kinds[update.index()];
}
