// "Find calls" of an analysis view: the call detector over the view's range
// (the selection, else what the view shows), its result window, and the
// calls shown in the view as rectangle selections and marks. "Identify
// calls" labels them with a species model the user trained (classify/):
// the species and probability in the result window, and in the labels of
// the marks over the calls. Attached to every
// view as a part (display/ViewParts.h).
#pragma once

#include "calls/CCallsWnd.h"

#include <QObject>
#include <QPointer>

#include <string>

class CVesAnaView;
class CommandHandlers;

class ViewCalls : public QObject {
    Q_OBJECT
public:
    ViewCalls(CVesAnaView& view, CommandHandlers& commands);

    static ViewCalls* of(const CVesAnaView* view);
    // Registers the part for every new view.
    static void registerPart();

    // Runs the call detector over the selection, else the shown range, and
    // shows the calls in the view's result window. False when cancelled.
    bool findCalls();
    CCallsWnd* callsWindow() const { return m_wnd.data(); }
    // Selects call `index` of the result window (a rectangle in the
    // spectrogram), scrolling to it when it is not shown.
    void showCall(int index);
    // A mark over every call of the result window (labelled with its
    // species once identified); how many were added.
    int markCalls();
    // Asks for a model file and labels the calls (finding them first when
    // there are none). False when cancelled or the model cannot be read.
    bool identifyCalls();
    // Labels the calls of the result window (found first when there are
    // none) with the model file at `path`; false with `error` set when it
    // cannot be read.
    bool identifyWith(const std::string& path, std::string& error);

private:
    CVesAnaView& m_view;
    QPointer<CCallsWnd> m_wnd;
};
