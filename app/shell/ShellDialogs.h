// The questions the shell asks the user: the sound file dialogs with their
// file-type choices, the compressed-save parameters, message boxes and the
// "save changes?" question. The program asks through real dialogs
// (CShellDialogs); tests answer through a script of their own.
#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

struct OpenChoice {
    std::vector<std::string> paths;
    int type = 0;  // the "Open as:" type; 0 = automatic detection
};

struct SaveChoice {
    std::string path;
    int type = 9;
};

// A file of marks: a selection table (tab-separated, as bat-acoustics
// programs read them) or a label track.
struct MarkTableChoice {
    std::string path;
    bool selectionTable = true;  // on opening, the file's first line decides
};

class IShellDialogs {
public:
    enum class Answer { Yes, No, Cancel };
    enum class Icon { Information, Warning, Critical };

    virtual ~IShellDialogs() = default;
    // The open dialog (CSndFileDialog), several files; nothing when cancelled.
    virtual std::optional<OpenChoice> openFiles(QWidget* parent, const std::string& folder) = 0;
    // "Import audio file", several files; empty when cancelled.
    virtual std::vector<std::string> importFiles(QWidget* parent, const std::string& folder) = 0;
    // The save dialog (CSndSaveDialog) proposing `initialPath` and the filter
    // of `documentType`; nothing when cancelled.
    virtual std::optional<SaveChoice> saveFile(QWidget* parent, const std::string& initialPath, int documentType) = 0;
    // "Save Compressed Parameters" (CSaveVcsParmsDlg); false when cancelled.
    virtual bool compressedSaveParms(QWidget* parent, int& silentLevelDb, int& beforeMs, int& afterMs) = 0;
    // "Export Marks" (saving, proposing `proposedPath`) and "Import Marks"; nothing when cancelled.
    virtual std::optional<MarkTableChoice> markTableFile(QWidget* parent, bool saving, const std::string& proposedPath) = 0;
    virtual void message(QWidget* parent, const std::string& text, Icon icon) = 0;
    // "Save changes to <title>?"
    virtual Answer askSaveChanges(QWidget* parent, const std::string& title) = 0;
};

// The real dialogs.
class CShellDialogs : public IShellDialogs {
public:
    std::optional<OpenChoice> openFiles(QWidget* parent, const std::string& folder) override;
    std::vector<std::string> importFiles(QWidget* parent, const std::string& folder) override;
    std::optional<SaveChoice> saveFile(QWidget* parent, const std::string& initialPath, int documentType) override;
    bool compressedSaveParms(QWidget* parent, int& silentLevelDb, int& beforeMs, int& afterMs) override;
    std::optional<MarkTableChoice> markTableFile(QWidget* parent, bool saving, const std::string& proposedPath) override;
    void message(QWidget* parent, const std::string& text, Icon icon) override;
    Answer askSaveChanges(QWidget* parent, const std::string& title) override;
};
