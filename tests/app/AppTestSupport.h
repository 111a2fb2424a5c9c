// Helpers of the desktop program's tests: the QApplication made once for all
// tests (offscreen), a script of answers for the shell's dialogs, a fixture
// that starts the program with its own settings file, and wave files of known
// tones.
#pragma once

#include "shell/ShellDialogs.h"

#include "TestSupport.h"

#include <QString>
#include <QWidget>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

class CAppDocument;
class CVesAnaView;
class CVesSoundApp;

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace apptest {

// Answers the shell's questions from queues filled by the test, and records
// the messages shown.
class ScriptedDialogs : public IShellDialogs {
public:
    std::deque<std::optional<OpenChoice>> openAnswers;  // empty queue: cancel
    std::deque<std::optional<SaveChoice>> saveAnswers;
    std::vector<std::pair<std::string, int>> saveQuestions;  // proposed path, document type
    int compressedLevel = -30, compressedBefore = 5, compressedAfter = 5;
    bool cancelCompressed = false;
    int compressedAsked = 0;
    Answer saveChangesAnswer = Answer::No;
    std::vector<std::string> messages;

    std::optional<OpenChoice> openFiles(QWidget*, const std::string&) override;
    std::vector<std::string> importAnswer;  // the files of the next import
    std::vector<std::string> importFiles(QWidget*, const std::string&) override { return std::exchange(importAnswer, {}); }
    std::optional<SaveChoice> saveFile(QWidget*, const std::string& initialPath, int documentType) override;
    bool compressedSaveParms(QWidget*, int& level, int& before, int& after) override;
    std::deque<std::optional<MarkTableChoice>> markTableAnswers;  // empty queue: cancel
    std::vector<std::string> markTableProposals;                  // the paths proposed
    std::optional<MarkTableChoice> markTableFile(QWidget*, bool, const std::string& proposed) override
    {
        markTableProposals.push_back(proposed);
        if (markTableAnswers.empty())
            return std::nullopt;
        auto a = markTableAnswers.front();
        markTableAnswers.pop_front();
        return a;
    }
    void message(QWidget*, const std::string& text, Icon) override { messages.push_back(text); }
    Answer askSaveChanges(QWidget*, const std::string&) override { return saveChangesAnswer; }
};

// Lets queued events, posted commands and paints run.
void processEvents();

// A fresh program with its own settings file; starts with the given files.
class AppTest : public ::testing::Test {
protected:
    AppTest();
    ~AppTest() override;

    // Starts the program (arguments after the program name).
    void start(const std::vector<std::string>& files = {});
    // Ends the program as the user would: closes the main window.
    void quit();

    CVesSoundApp& app() { return *m_app; }
    ScriptedDialogs& dialogs() { return *m_dialogs; }
    CVesAnaView* activeView();
    CAppDocument* activeDocument();
    // Save As the program's own recording file at `path`, Close, then Open it
    // again through the dialogs, as a user would; false when a command failed.
    bool saveOwnCloseAndReopen(const std::string& path);

    vestest::TempDir dir;
    std::string configHome;

private:
    std::unique_ptr<CVesSoundApp> m_app;
    ScriptedDialogs* m_dialogs = nullptr;
};

// The child of `parent` with the accessible name given (nullptr when none).
template <class T>
T* child(QWidget* parent, const QString& accessibleName)
{
    for (T* w : parent->findChildren<T*>())
        if (w->accessibleName() == accessibleName)
            return w;
    return nullptr;
}

// The text of a PDF file through pdftotext; nullopt when poppler's tools are missing.
std::optional<QString> pdfText(const std::string& pdf);

// Runs `answer` on the dialog the next modal loop shows.
void whenModal(std::function<void(QWidget*)> answer);

// A mono wave file of a sine tone (or silence with hz 0).
void writeToneWave(const std::string& path, std::uint32_t rate, double seconds, double hz, double amplitude = 0.5,
                   int bits = 16);

}  // namespace apptest
