// Where the recording dialogs show their messages: a plain message box,
// unless the program routes them elsewhere (its own message box, which tests
// script).
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace autorecui {

void message(QWidget* parent, const std::string& text);

// Routes the messages to `sink`; an empty one restores the plain box.
using MessageSink = std::function<void(QWidget* parent, const std::string& text)>;
void setMessageSink(MessageSink sink);

}  // namespace autorecui
