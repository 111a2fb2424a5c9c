// The Sound menu's recording commands: "&Record sound" (manual recording,
// the engine with the trigger that keeps everything) and "Automatic
// recording" (the parameters dialog with the stored settings), both on the
// active view's document and both disabled while another sound activity runs.
#pragma once

#include <functional>

class CommandHandlers;
class CVesAnaView;
class QWidget;
struct VesAutoRecParms;
namespace vkit {
class RegCls;
}

namespace recording {

// `parms` are the program's recording settings, which "Automatic recording"
// starts with and, after OK, keeps and stores in `settings`.
void registerCommands(CommandHandlers& commands, VesAutoRecParms& parms, vkit::RegCls& settings,
                      std::function<CVesAnaView*()> activeView, QWidget* frame);

// The commands' work, for the frame and for tests. False when nothing was recorded.
bool recordSound(CVesAnaView& view, QWidget* parent);
bool automaticRecording(VesAutoRecParms& parms, vkit::RegCls& settings, CVesAnaView& view, QWidget* parent);

}  // namespace recording
