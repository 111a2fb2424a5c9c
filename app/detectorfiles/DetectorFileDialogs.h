// The command "R450Z/R9000Z File Management...": the folder choice, then the
// list dialog (CFileHandlingList) on that folder. The questions the list and
// copy dialogs ask go through IDetectorFileDialogs, so that tests answer them
// from a script; the program uses the real dialogs.
#pragma once

#include <optional>
#include <string>

class QDialog;
class QWidget;

class IDetectorFileDialogs {
public:
    enum class Icon { Information, Warning, Stop };

    virtual ~IDetectorFileDialogs() = default;
    // A folder browser titled `title` selecting `start` at first; the chosen
    // object (a folder, or a file), nothing when cancelled.
    virtual std::optional<std::string> chooseFolder(QWidget* parent, const std::string& title,
                                                    const std::string& start) = 0;
    // The save dialog of Export; nothing when cancelled.
    virtual std::optional<std::string> exportFileName(QWidget* parent, const std::string& folder) = 0;
    virtual void message(QWidget* parent, const std::string& text, Icon icon) = 0;
    // OK / Cancel with a stop icon; true for OK.
    virtual bool askContinue(QWidget* parent, const std::string& text) = 0;
    // Runs a modal dialog (the list, the copy dialog); its result code.
    virtual int execDialog(QDialog& dialog) = 0;
};

class CDetectorFileDialogs : public IDetectorFileDialogs {
public:
    std::optional<std::string> chooseFolder(QWidget* parent, const std::string& title,
                                            const std::string& start) override;
    std::optional<std::string> exportFileName(QWidget* parent, const std::string& folder) override;
    void message(QWidget* parent, const std::string& text, Icon icon) override;
    bool askContinue(QWidget* parent, const std::string& text) override;
    int execDialog(QDialog& dialog) override;
};

// The dialogs in use: the real ones unless a test put others in place.
IDetectorFileDialogs& detectorFileDialogs();
// Puts `dialogs` in place (nullptr: the real ones again).
void setDetectorFileDialogs(IDetectorFileDialogs* dialogs);

// The folders remembered for the whole run of the program (not saved).
struct DetectorFolders {
    std::string source;       // last folder chosen for the command
    std::string destination;  // last destination chosen through "Browse"
};
DetectorFolders& detectorFolders();

// A chosen object that is not a folder stands for the folder holding it.
std::string folderOfChoice(const std::string& chosen);

// The whole command: choose a folder, remember it, show its list.
void runDetectorFileManagement(QWidget* parent);
