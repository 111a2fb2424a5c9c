// The pulse analysis windows of an analysis view: up to 16 pulse interval /
// pulse length histograms and one pulse characteristics dialog (with its
// result windows), and the "Settings - Default" of the histograms. The
// windows follow the view's selection and cursor; a histogram or the dialog
// shows its threshold on the view's level cursor and takes the user's moves
// of it; their workers stop before any edit of the document, and they close
// with the view. Attached to every view as a part (display/ViewParts.h).
#pragma once

#include "display/CMeasureWnd.h"
#include "pulse/CRateWnd.h"
#include "pulse/PulsCharDiagCls.h"
#include "records/VesSettings.h"

#include <QObject>
#include <QPointer>

#include <optional>
#include <vector>

class CVesAnaView;
class CommandHandlers;

class ViewPulse : public QObject {
    Q_OBJECT
public:
    ViewPulse(CVesAnaView& view, CommandHandlers& commands);

    static ViewPulse* of(const CVesAnaView* view);
    // Registers the part for every new view.
    static void registerPart();

    // A pulse interval (or pulse length) histogram; nullptr when all 16 are open.
    CRateWnd* openRateWindow(bool intervalMode);
    // The pulse characteristics dialog (one per view).
    PulsCharDiagCls* openPulseCharacteristics();
    std::vector<CRateWnd*> rateWindows() const { return m_rateWnds.windows(); }
    PulsCharDiagCls* pulseDialog() const { return m_pulseDlg.data(); }
    void stopWorkers();

private:
    void closeWindows();
    void followRange();
    // `w` (or the pulse dialog) becomes the level cursor's target.
    void targetLevel(CRateWnd* w);
    void targetPulseLevel();
    void showLevel(CRateWnd* w);
    void showPulseLevel();

    CVesAnaView* m_view;  // null once the view is going
    MeasureWindowSlots<CRateWnd> m_rateWnds;
    QPointer<PulsCharDiagCls> m_pulseDlg;
    std::optional<VesPulsParms> m_pulsParms;  // the view's own copy of the pulse settings
};
