// Edit > Filter of an analysis view: the filter dialog, then the filter over
// the selection (without one, from the cursor or the start to the end).
// Attached to every view as a part (display/ViewParts.h).
#pragma once

#include <QObject>

class CVesAnaView;
class CommandHandlers;

class ViewFilter : public QObject {
    Q_OBJECT
public:
    ViewFilter(CVesAnaView& view, CommandHandlers& commands);

    static ViewFilter* of(const CVesAnaView* view);
    // Registers the part for every new view.
    static void registerPart();

    // False when cancelled.
    bool filterSelection();

private:
    CVesAnaView& m_view;
};
