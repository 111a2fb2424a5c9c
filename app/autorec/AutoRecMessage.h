// Where the recording dialogs show their messages: the program's message
// box (which tests script) when the program runs, else a plain one.
#pragma once

#include <string>

class QWidget;

namespace autorecui {

void message(QWidget* parent, const std::string& text);

}  // namespace autorecui
