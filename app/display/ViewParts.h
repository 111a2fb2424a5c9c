// What the window families above the analysis view add to every view: the
// measurement windows, Find calls, filtering, playback and the virtual bat
// detector. Each family registers one function under its name, once, before
// views are made (the shell does so at start-up); every new view calls them in
// the order they were registered, after its own commands. A part is normally a
// QObject child of the view that adds handlers to the view's commands and
// connects to its signals (measureRangeChanged, closing), so the view includes
// none of the families and they reach it only through its public interface.
#pragma once

#include "display/CVesAnaView.h"

#include <functional>
#include <string>

class CommandHandlers;

using ViewPartFactory = std::function<void(CVesAnaView& view, CommandHandlers& commands)>;

// Registers (or, under a name already taken, replaces) a family's part.
void registerViewPart(const std::string& name, ViewPartFactory factory);

// Called by each new view: every registered part, in registration order.
void attachViewParts(CVesAnaView& view, CommandHandlers& commands);

// The part of type T that a family attached to `view` (a QObject child of
// it), or nullptr.
template <class T>
T* viewPart(const CVesAnaView* view)
{
    return view ? view->findChild<T*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}
