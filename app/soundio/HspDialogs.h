// The questions and file dialogs of high-speed playback, behind one interface
// so that tests answer them: the file choices, the frequency question
// (NidaqPlayFreq), "Clear old play list?" and the message boxes.
#pragma once

#include <memory>
#include <string>
#include <vector>

class QWidget;

class IHspDialogs {
public:
    enum class Frequency { Selected, File, Cancel };
    enum class Answer { Yes, No, Cancel };

    virtual ~IHspDialogs() = default;
    // "Add file": recordings, several at once; empty when cancelled.
    virtual std::vector<std::string> openRecordings(QWidget* parent) = 0;
    // A play list to read or to save; empty when cancelled.
    virtual std::string openPlayList(QWidget* parent) = 0;
    virtual std::string savePlayList(QWidget* parent) = 0;
    // "The selected sampling frequency differs from the sampling frequency in the file!"
    virtual Frequency askFrequency(QWidget* parent) = 0;
    // "Clear old play list?"
    virtual Answer askClearOld(QWidget* parent) = 0;
    virtual void message(QWidget* parent, const std::string& text) = 0;
};

// The dialogs in use (the program's own unless a test set others).
IHspDialogs& hspDialogs();
// Null restores the program's own.
void setHspDialogs(std::unique_ptr<IHspDialogs> dialogs);
