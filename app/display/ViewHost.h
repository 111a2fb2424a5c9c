// What an analysis view needs from the program around it: its document, the
// default analysis settings, the list of the document's views, and the
// frame's help with menus, command states and saving. The shell's document
// wrapper (CAppDocument) implements it; the views know nothing of the shell.
#pragma once

#include "display/ColorMapStore.h"

#include <cstdint>
#include <vector>

class CVesAnaView;
class CVesSoundDoc;
class QPoint;
struct VesAnaParms;
struct VesDefData;

struct VesPowerParms;
struct VesPulsParms;
struct VesRateParms;

class IViewHost : public IColorMapStore {
public:
    virtual ~IViewHost() = default;

    virtual CVesSoundDoc& doc() = 0;
    // The program's default analysis settings, which a new view starts with.
    virtual const VesAnaParms& defaultAnaParms() const = 0;
    // OK in a defaults settings dialog: the new defaults, kept at once.
    virtual void setDefaultAnaParms(const VesAnaParms& parms) = 0;
    // The program's defaults for new recordings (sound format, recording
    // information); the Sound format dialog updates them.
    virtual VesDefData& defaultData() = 0;

    // The document's views: a view registers at construction and leaves at
    // destruction; the active one is the one a new view copies.
    virtual void addView(CVesAnaView* view) = 0;
    virtual void removeView(CVesAnaView* view) = 0;
    virtual CVesAnaView* activeView() const = 0;
    virtual const std::vector<CVesAnaView*>& views() const = 0;
    virtual void setActiveView(CVesAnaView* view) = 0;

    // The view's selection changed: the states of the commands follow.
    virtual void viewSelectionChanged() = 0;
    // The cursor menu at `globalPos` for the pane hit (PlotLayout::hitTest).
    virtual void showCursorMenu(const QPoint& globalPos, int hit) = 0;
    // Saves frames first .. last (all with last < 0) through the save dialog.
    virtual bool saveInterval(std::int64_t first, std::int64_t last) = 0;

    // The program's default records of the measurement windows: a new
    // window starts with them, the "Settings - Default" dialogs change them.
    virtual VesPowerParms& powerDefaults() = 0;
    virtual VesRateParms& rateDefaults() = 0;
    virtual VesPulsParms& pulsDefaults() = 0;
};
