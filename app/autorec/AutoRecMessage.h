// Where the recording dialogs show their messages: a plain message box,
// unless the program routes them elsewhere (its own message box, which tests
// script).
#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace autorecui {

void message(QWidget* parent, const std::string& text);

// Routes the messages to `sink`; an empty one restores the plain box.
using MessageSink = std::function<void(QWidget* parent, const std::string& text)>;
void setMessageSink(MessageSink sink);

// A file chosen for a recording: its path and file type.
struct SavePathChoice {
    std::string path;
    int type = 0;
};
// The program's save dialog for the document's file types, proposing
// `proposed` and `type`; nullopt for Cancel. Without a dialog set by the
// program, a plain file dialog with the writable types.
using SaveDialog = std::function<std::optional<SavePathChoice>(QWidget* parent, const std::string& proposed, int type)>;
void setSaveDialog(SaveDialog dialog);
std::optional<SavePathChoice> askSavePath(QWidget* parent, const std::string& proposed, int type);

}  // namespace autorecui
