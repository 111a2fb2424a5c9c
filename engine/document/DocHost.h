// What a document needs from whoever shows it: a place for messages, a
// progress display that can ask to cancel, the status line, and the views.
// The desktop program implements it with message boxes and the status bar;
// the command-line tool prints; tests record what they are told.
#pragma once

#include "document/ViewUpdate.h"

#include <cstdint>
#include <string>

// Messages for a document's views. The numbers are those of the window
// messages they were, so a trace reads the same.
enum class ViewMessage : int {
    // Every view sets the document's length in frames from the size of its
    // sample store, scrolls to the end and repaints; then all views get
    // ViewUpdateKind::Format.
    LengthFromStore = 1074,  // WM_USER + 50
};

class IDocHost {
public:
    virtual ~IDocHost() = default;

    // A message box with one of the system's fixed texts.
    virtual void message(const std::string& text) = 0;
    // The status display ("Save <path>", the path being opened).
    virtual void status(const std::string& /*text*/) {}

    // Progress of a long operation, shown as "%s %3.0f%%". progress() returns
    // false when the user asked to cancel.
    virtual void beginOperation(const std::string& /*text*/) {}
    virtual bool progress(const std::string& /*text*/, std::int64_t /*done*/, std::int64_t /*total*/) { return true; }
    virtual void endOperation() {}

    // A message for the document's views, posted from any thread and handled
    // later on the user-interface thread.
    virtual void postViewMessage(ViewMessage /*message*/) {}
    // One more combined view of the document, after the ones it has (a
    // recording file holds more than one analysis parameter set).
    virtual void openCombinedView() {}

    // Free bytes on the file system that would hold `path`; −1 when unknown.
    virtual std::int64_t freeDiskSpace(const std::string& path);

    // The parameters of a compressed save ("Save Compressed Parameters");
    // false when the user cancels. The values come in as the current ones.
    virtual bool askCompressedSaveParms(int& /*silentLevelDb*/, int& /*beforeMs*/, int& /*afterMs*/) { return true; }
};

// Writes messages to standard error; never cancels.
class StderrDocHost : public IDocHost {
public:
    void message(const std::string& text) override;
};

// Implemented by every analysis view of a document.
class IDocView {
public:
    virtual ~IDocView() = default;
    // The document's length in frames changed.
    virtual void onLengthChanged(std::int64_t frames) = 0;
    // Something else changed (ViewUpdate.h).
    virtual void onDocumentUpdate(const ViewUpdate& /*update*/) {}
};
