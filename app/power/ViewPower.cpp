#include "power/ViewPower.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "display/ViewParts.h"
#include "document/CVesSoundDoc.h"
#include "power/CPowerSettingsDlg.h"
#include "power/CPowerWnd.h"
#include "widgets/CNumEdit.h"

#include <QTimer>

#include <algorithm>

ViewPower::ViewPower(CVesAnaView& view, CommandHandlers& commands) : QObject(&view), m_view(&view)
{
    const auto hasSound = [this](int, CommandState& s) { s.enabled = m_view && m_view->doc().lengthFrames() > 0; };
    commands.on(cmd::PowerSpectrum, [this](int) { openPowerSpectrum(); }, hasSound);
    commands.on(cmd::PowerSettingsDefault, [this](int) {
        IViewHost& host = m_view->viewHost();
        CPowerSettingsDlg dlg(host.powerDefaults(), static_cast<double>(m_view->effectiveRateHz()), m_view);
        if (dlg.exec() == QDialog::Accepted)
            host.powerDefaults() = dlg.parms();
    });
    // The calculations read the document's samples: an edit in any view of
    // the document stops them first, and the windows calculate again on what
    // the edit left.
    view.beforeEdits([this] {
        if (!m_view)
            return;
        for (CVesAnaView* v : m_view->viewHost().views())
            if (ViewPower* p = ViewPower::of(v); p && p->m_view) {
                p->m_windows.stopAll();
                QTimer::singleShot(0, p, [p] { p->m_windows.recalculateAll(); });
            }
    });
    connect(&view, &CVesAnaView::measureRangeChanged, this, [this] {
        std::int64_t first = 0, last = -1;
        ChannelSel channel = ChannelSel::Both;
        if (m_view && m_view->measureRange(first, last, channel))
            m_windows.followAll(first, last, channel);
    });
    connect(&view, &CVesAnaView::closing, this, [this] {
        m_windows.closeAll();
        m_view = nullptr;
    });
}

ViewPower* ViewPower::of(const CVesAnaView* view)
{
    return viewPart<ViewPower>(view);
}

void ViewPower::registerPart()
{
    registerViewPart("power", [](CVesAnaView& view, CommandHandlers& commands) { new ViewPower(view, commands); });
}

CPowerWnd* ViewPower::openPowerSpectrum()
{
    CVesAnaView& view = *m_view;
    const int slot = m_windows.freeSlot();
    if (slot < 0) {
        CNumEdit::showMessage(&view, "Maximum number of power spectras already open.");
        return nullptr;
    }
    auto* w = new CPowerWnd(view.doc(), view.viewHost().powerDefaults(), slot, &view);
    m_windows.put(slot, w);
    connect(w, &CPowerWnd::closing, this, [this](int s) { m_windows.release(s); });
    // The stretch of a cursor-mode window shows as the view's selection.
    connect(w, &CPowerWnd::cursorStretch, this, [this](int, std::int64_t start, std::int64_t end) {
        if (m_view)
            m_view->showMeasureStretch(start, end);
    });
    // The range: the selection (on its channel), else one FFT length at the
    // marking cursor, else at the start of the view.
    const int channels = view.doc().format().channels;
    const PlotLayout& L = view.plot()->layout();
    const CursorRecord& cursor = view.cursorRecord();
    if (const auto& sel = view.selection()) {
        ChannelSel ch = sel->channel;
        if (channels >= 2 && ch != ChannelSel::Both && L.stereo && !L.bothChannels) {
            // A channel the view does not show is replaced by the one it shows.
            ch = channelSelFromCode(channelIndexValue(L.channels.front().channel) + 1);
        }
        w->setRange(sel->first(), sel->last(), ch);
    } else if (cursor.isSet() && cursor.type != CursorType::Level) {
        w->setRange(cursor.position, -1, cursor.channel);
    } else {
        w->setRange(std::max<std::int64_t>(0, view.parms().m_plotStart), -1, ChannelSel::Both);
    }
    w->show();
    return w;
}
