#include "calls/ViewCalls.h"

#include "calls/CCallsWnd.h"
#include "commands/CommandTable.h"
#include "core/NumberText.h"
#include "display/CAnaPlot.h"
#include "display/CVesAnaView.h"
#include "display/ViewParts.h"
#include "document/CVesSoundDoc.h"
#include "document/MarkTables.h"
#include "pulse/CallDetector.h"
#include "pulse/CallTable.h"

#include <QMessageBox>

#include <algorithm>

ViewCalls::ViewCalls(CVesAnaView& view, CommandHandlers& commands) : QObject(&view), m_view(view)
{
    commands.on(cmd::FindCalls, [this](int) { findCalls(); },
                [this](int, CommandState& s) { s.enabled = m_view.doc().lengthFrames() > 0; });
    // The result window is the view's child: it goes with the view.
}

ViewCalls* ViewCalls::of(const CVesAnaView* view)
{
    return viewPart<ViewCalls>(view);
}

void ViewCalls::registerPart()
{
    registerViewPart("calls", [](CVesAnaView& view, CommandHandlers& commands) { new ViewCalls(view, commands); });
}

bool ViewCalls::findCalls()
{
    CVesSoundDoc& doc = m_view.doc();
    std::int64_t first = 0, last = 0;
    CallDetectorSettings settings;
    const auto& selection = m_view.selection();
    if (selection) {
        first = selection->first();
        last = selection->last();
    } else {
        const PlotLayout& L = m_view.plot()->layout();
        first = std::max<std::int64_t>(0, L.plotStart);
        last = std::min(doc.lengthFrames(), L.plotStart + L.samplesPerPlot);
    }
    if (doc.format().channels > 1 && selection && selection->channel != ChannelSel::Both)
        settings.channel = selection->channel == ChannelSel::Left ? CallChannel::Left : CallChannel::Right;
    std::vector<CallMeasures> calls;
    if (!findCallsWithProgress(&m_view, doc, first, last, settings, calls))
        return false;
    if (!m_wnd) {
        m_wnd = new CCallsWnd(&m_view);
        connect(m_wnd, &CCallsWnd::callChosen, this, [this](int index) { showCall(index); });
        connect(m_wnd, &CCallsWnd::markCallsAsked, this, [this] { markCalls(); });
    }
    const double from = static_cast<double>(doc.framesToRealMicros(first)) / 1e6;
    const double to = static_cast<double>(doc.framesToRealMicros(last)) / 1e6;
    const QString status = QString::fromStdString(vkit::formatC("%zu calls in %.3f to %.3f s", calls.size(), from, to));
    m_wnd->setCalls(std::move(calls), status);
    m_wnd->show();
    m_wnd->raise();
    return true;
}

void ViewCalls::showCall(int index)
{
    if (!m_wnd || index < 0 || index >= static_cast<int>(m_wnd->calls().size()))
        return;
    const CallMeasures& c = m_wnd->calls()[static_cast<std::size_t>(index)];
    const std::int64_t length = m_view.doc().lengthFrames();
    ViewSelection sel;
    sel.a = std::clamp<std::int64_t>(c.startFrame, 0, length);
    sel.b = std::clamp<std::int64_t>(c.endFrame, 0, length);
    sel.channel = ChannelSel::Both;
    if (m_view.parms().m_spectPlot) {
        sel.timeOnly = false;
        sel.inFrequencyPane = true;
        sel.low = c.minFreqHz;
        sel.high = c.maxFreqHz;
    }
    m_view.revealSelection(sel);
}

int ViewCalls::markCalls()
{
    if (!m_wnd || m_wnd->calls().empty())
        return 0;
    CVesSoundDoc& doc = m_view.doc();
    AnnotationTable table = emptyCallTable();
    appendCallsToTable(table, doc.path(), m_wnd->calls());
    std::string error;
    const int added = addMarksFromTable(doc, table, error);
    if (added < 0) {
        QMessageBox::warning(&m_view, tr("Find calls"), QString::fromStdString(error));
        return 0;
    }
    CVesAnaView::marksChanged(doc);
    return added;
}
