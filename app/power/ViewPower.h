// The power spectrum windows of an analysis view (up to 16): "Power
// Spectrum" opens one on the view's range, "Settings - Default" changes the
// program's defaults; the windows follow the view's selection and cursor,
// stop their calculations before any edit of the document and calculate again
// on what the edit left, and close with the view. Attached to every view as a
// part (display/ViewParts.h).
#pragma once

#include "display/CMeasureWnd.h"
#include "power/CPowerWnd.h"

#include <QObject>

#include <vector>

class CVesAnaView;
class CommandHandlers;

class ViewPower : public QObject {
    Q_OBJECT
public:
    ViewPower(CVesAnaView& view, CommandHandlers& commands);

    static ViewPower* of(const CVesAnaView* view);
    // Registers the part for every new view.
    static void registerPart();

    // A power spectrum of the selection (else of one FFT length at the
    // cursor or the start of the view); nullptr after the message when all
    // 16 are open.
    CPowerWnd* openPowerSpectrum();
    std::vector<CPowerWnd*> windows() const { return m_windows.windows(); }

private:
    CVesAnaView* m_view;  // null once the view is going
    MeasureWindowSlots<CPowerWnd> m_windows;
};
