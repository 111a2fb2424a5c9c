// File ▸ Open Project…: the project file's choice, the checks of what was
// opened (not a project, a newer schema, locked, a root that moved), and the
// project window. The questions go through IProjectDialogs so that tests
// answer them from a script; the program uses the real dialogs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QWidget;
class ProjectWindow;

class IProjectDialogs {
public:
    virtual ~IProjectDialogs() = default;
    // The open dialog for a project file; nothing when cancelled.
    virtual std::optional<std::string> projectFile(QWidget* parent, const std::string& start) = 0;
    // A folder browser; nothing when cancelled.
    virtual std::optional<std::string> chooseFolder(QWidget* parent, const std::string& title,
                                                    const std::string& start) = 0;
    virtual void message(QWidget* parent, const std::string& text) = 0;
    // Yes / No; true for Yes.
    virtual bool ask(QWidget* parent, const std::string& text) = 0;
};

class CProjectDialogs : public IProjectDialogs {
public:
    std::optional<std::string> projectFile(QWidget* parent, const std::string& start) override;
    std::optional<std::string> chooseFolder(QWidget* parent, const std::string& title,
                                            const std::string& start) override;
    void message(QWidget* parent, const std::string& text) override;
    bool ask(QWidget* parent, const std::string& text) override;
};

// The dialogs the project windows use; tests put their own in (null: the real ones).
IProjectDialogs& projectDialogs();
void setProjectDialogs(IProjectDialogs* dialogs);

// Where in a recording to show a call: its frames and frequencies.
struct CallPlace {
    std::int64_t startFrame = 0, endFrame = 0;
    double lowHz = 0, highHz = 0;
};
// Opens a recording in the program, at the call when one is given (the view
// scrolled to it with it selected); false when it did not open (the program
// said why).
using OpenRecordingFn = std::function<bool(const std::string& file, const std::optional<CallPlace>& call)>;

// Opens the project at `path` (asks for one when empty) in its window. Each
// fault is told in a message and the file is left as it was; a root folder
// that moved may be given again, checked against the recordings' hashes.
// Returns the window, or null when nothing opened.
ProjectWindow* openProjectWindow(QWidget* parent, const std::string& path, const OpenRecordingFn& open);
