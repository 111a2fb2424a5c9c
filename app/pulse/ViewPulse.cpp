#include "pulse/ViewPulse.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "display/ViewParts.h"
#include "document/CVesSoundDoc.h"
#include "pulse/CAnaRateSet.h"
#include "pulse/CRateWnd.h"
#include "pulse/PulsCharDiagCls.h"
#include "pulse/PulsCharDispCls.h"
#include "pulse/PulsCharSettings.h"
#include "widgets/CNumEdit.h"

#include <QTimer>

#include <algorithm>

namespace {

bool levelCursorShown()
{
    return currentCursorType() == CursorType::Level;
}

}  // namespace

ViewPulse::ViewPulse(CVesAnaView& view, CommandHandlers& commands) : QObject(&view), m_view(&view)
{
    const auto hasSound = [this](int, CommandState& s) { s.enabled = m_view && m_view->doc().lengthFrames() > 0; };
    commands.on(cmd::PulseInterval, [this](int) { openRateWindow(true); }, hasSound);
    commands.on(cmd::PulseLength, [this](int) { openRateWindow(false); }, hasSound);
    commands.on(cmd::RateSettingsDefault, [this](int) {
        IViewHost& host = m_view->viewHost();
        CAnaRateSet dlg(host.rateDefaults(), host.rateDefaults().m_threshold <= 0, m_view);
        if (dlg.exec() == QDialog::Accepted)
            host.rateDefaults() = dlg.parms();
    });
    commands.on(cmd::PulseCharacteristics, [this](int) { openPulseCharacteristics(); },
                [this](int, CommandState& s) {
                    s.enabled = m_view && m_view->selection().has_value() && m_view->plot()->layout().showSpect &&
                                m_view->doc().lengthFrames() > 0;
                });
    // The calculations read the document's samples: an edit in any view of
    // the document stops them first, and the histograms calculate again on
    // what the edit left.
    view.beforeEdits([this] {
        if (!m_view)
            return;
        for (CVesAnaView* v : m_view->viewHost().views())
            if (ViewPulse* p = ViewPulse::of(v); p && p->m_view) {
                p->stopWorkers();
                QTimer::singleShot(0, p, [p] { p->m_rateWnds.recalculateAll(); });
            }
    });
    connect(&view, &CVesAnaView::measureRangeChanged, this, &ViewPulse::followRange);
    connect(&view, &CVesAnaView::closing, this, &ViewPulse::closeWindows);
}

ViewPulse* ViewPulse::of(const CVesAnaView* view)
{
    return viewPart<ViewPulse>(view);
}

void ViewPulse::registerPart()
{
    registerViewPart("pulse", [](CVesAnaView& view, CommandHandlers& commands) { new ViewPulse(view, commands); });
}

void ViewPulse::stopWorkers()
{
    m_rateWnds.stopAll();
    if (m_pulseDlg)
        m_pulseDlg->stopWorker();
}

void ViewPulse::closeWindows()
{
    // Each window stops and joins its worker when it is deleted.
    if (m_pulseDlg) {
        for (PulsCharDispCls* r : m_pulseDlg->resultWindows())
            delete r;
        delete m_pulseDlg.data();
    }
    m_rateWnds.closeAll();
    m_view = nullptr;
}

void ViewPulse::targetLevel(CRateWnd* w)
{
    QPointer<CRateWnd> window(w);
    m_view->setLevelTarget(w, [window](std::int64_t level) {
        if (window)
            window->setDetectionLevel(level);
    });
}

void ViewPulse::targetPulseLevel()
{
    QPointer<PulsCharDiagCls> dlg(m_pulseDlg);
    m_view->setLevelTarget(m_pulseDlg, [dlg](std::int64_t level) {
        if (dlg)
            dlg->levelMoved(level);
    });
}

void ViewPulse::showLevel(CRateWnd* w)
{
    m_view->showLevelCursor(w->firstFrame(), w->analysedChannel(), w->levelCursorValue());
}

void ViewPulse::showPulseLevel()
{
    m_view->showLevelCursor(m_pulseDlg->first(), m_pulseDlg->analysedChannel(), m_pulseDlg->levelCursorValue());
}

void ViewPulse::followRange()
{
    std::int64_t first = 0, last = -1;
    ChannelSel channel = ChannelSel::Both;
    if (!m_view || !m_view->measureRange(first, last, channel))
        return;
    m_rateWnds.followAll(first, last, channel);
    if (m_pulseDlg) {
        m_pulseDlg->selectionChanged(first, last, channel);
        if (m_view->levelTarget() == m_pulseDlg.data() && levelCursorShown())
            showPulseLevel();
    }
}

CRateWnd* ViewPulse::openRateWindow(bool intervalMode)
{
    CVesAnaView& view = *m_view;
    const int slot = m_rateWnds.freeSlot();
    if (slot < 0) {
        CNumEdit::showMessage(&view, "Maximum number of Pulse Interval/Pulse Length Analysis already open.");
        return nullptr;
    }
    VesRateParms parms = view.viewHost().rateDefaults();
    parms.m_intervalMode = intervalMode;
    auto* w = new CRateWnd(view.doc(), parms, slot, &view);
    m_rateWnds.put(slot, w);
    connect(w, &CRateWnd::closing, this, [this, w](int s) {
        m_rateWnds.release(s);
        if (m_view)
            m_view->leaveLevelCursor(w);
    });
    connect(w, &CRateWnd::levelTargetRequested, this, [this, w](int) {
        if (!m_view)
            return;
        targetLevel(w);
        showLevel(w);
    });
    connect(w, &CRateWnd::activated, this, [this, w](int) {
        if (!m_view)
            return;
        if (m_pulseDlg && m_view->levelTarget() == m_pulseDlg.data() && levelCursorShown())
            return;  // the pulse dialog keeps the level cursor it asked for
        targetLevel(w);
        if (levelCursorShown())
            showLevel(w);
    });
    connect(w, &CRateWnd::calculated, this, [this, w](int) {
        // A threshold computed from the data shows on the level cursor.
        if (m_view && m_view->levelTarget() == w && levelCursorShown())
            showLevel(w);
    });
    if (const auto& sel = view.selection())
        w->setRange(sel->first(), sel->last(), sel->channel);
    else
        w->setRange(view.cursorRecord().isSet() ? view.cursorRecord().position : 0, -1, view.cursorRecord().channel);
    w->show();
    // The new window is the level cursor's target, and the view shows its
    // threshold on the level cursor.
    targetLevel(w);
    showLevel(w);
    return w;
}

PulsCharDiagCls* ViewPulse::openPulseCharacteristics()
{
    CVesAnaView& view = *m_view;
    // An open dialog goes without keeping its settings: the new one takes
    // the view's current selection and channel.
    if (m_pulseDlg) {
        PulsCharDiagCls* old = m_pulseDlg;
        old->close();
        if (m_pulseDlg == old) {  // it did not report its closing
            m_pulseDlg = nullptr;
            old->deleteLater();
        }
    }
    if (!m_pulsParms)
        m_pulsParms = view.viewHost().pulsDefaults();
    VesPulsParms parms = *m_pulsParms;
    const bool autoSize = view.parms().m_fftSize == 0, autoOverlap = view.parms().m_fftOverLap < 0;
    const std::string warning = pulseFftWarning(autoSize, autoOverlap);
    if (!warning.empty())
        CNumEdit::showMessage(&view, warning);
    takeSpectrogramSettings(parms, view.plot()->layout().spect);
    parms.m_fontSize = view.parms().m_fontSize;
    auto* d = new PulsCharDiagCls(view.doc(), parms, &view);
    d->setWindowFlag(Qt::Window, true);
    m_pulseDlg = d;
    if (const auto& sel = view.selection())
        d->setRange(sel->first(), sel->last(), sel->channel);
    else
        d->setRange(view.cursorRecord().isSet() ? view.cursorRecord().position : 0, -1, view.cursorRecord().channel);
    connect(d, &PulsCharDiagCls::dialogClosing, this, [this, d](int how) {
        PulsCharDiagCls* dlg = m_pulseDlg;
        if (!dlg || !m_view)
            return;
        if (how == 1) {
            m_pulsParms = dlg->parms();
            m_view->viewHost().pulsDefaults() = dlg->parms();
        }
        m_view->leaveLevelCursor(d);
        m_pulseDlg = nullptr;
        dlg->hide();
        dlg->deleteLater();
    });
    // The view's level cursor follows the threshold field only while it is shown.
    connect(d, &PulsCharDiagCls::thresholdEdited, this, [this] {
        if (!m_pulseDlg || !m_view || !levelCursorShown())
            return;
        targetPulseLevel();
        showPulseLevel();
    });
    connect(d, &PulsCharDiagCls::marksChanged, this, [this] {
        if (m_view)
            CVesAnaView::marksChanged(m_view->doc());
    });
    connect(d, &PulsCharDiagCls::resultWindowOpened, this, [this](PulsCharDispCls* r) {
        connect(r, &PulsCharDispCls::marksChanged, this, [this] {
            if (m_view)
                CVesAnaView::marksChanged(m_view->doc());
        });
    });
    d->show();
    return d;
}
