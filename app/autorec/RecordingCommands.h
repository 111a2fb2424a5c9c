// The Sound menu's recording commands: "&Record sound" (manual recording,
// the engine with the trigger that keeps everything) and "Automatic
// recording" (the parameters dialog with the stored settings), both on the
// active view's document and both disabled while another sound activity runs.
#pragma once

#include <functional>

class CommandHandlers;
class CVesAnaView;
class CVesSoundApp;
class QWidget;

namespace recording {

void registerCommands(CommandHandlers& commands, CVesSoundApp& app, std::function<CVesAnaView*()> activeView,
                      QWidget* frame);

// The commands' work, for the frame and for tests. False when nothing was recorded.
bool recordSound(CVesSoundApp& app, CVesAnaView& view, QWidget* parent);
bool automaticRecording(CVesSoundApp& app, CVesAnaView& view, QWidget* parent);

}  // namespace recording
