// "Find calls" of an analysis view: the call detector over the view's range
// (the selection, else what the view shows), its result window, and the
// calls shown in the view as rectangle selections and marks.
#include "display/CVesAnaView.h"

#include "calls/CCallsWnd.h"
#include "commands/CommandTable.h"
#include "core/NumberText.h"
#include "display/CAnaPlot.h"
#include "document/CVesSoundDoc.h"
#include "document/MarkTables.h"
#include "pulse/CallDetector.h"
#include "pulse/CallTable.h"

#include <QMessageBox>

void CVesAnaView::registerCallCommands()
{
    m_commands.on(cmd::FindCalls, [this](int) { findCalls(); },
                  [this](int, CommandState& s) { s.enabled = m_doc.lengthFrames() > 0; });
}

CCallsWnd* CVesAnaView::callsWindow() const
{
    return m_callsWnd.data();
}

bool CVesAnaView::findCalls()
{
    std::int64_t first = 0, last = 0;
    CallDetectorSettings settings;
    if (m_selection) {
        first = m_selection->first();
        last = m_selection->last();
    } else {
        const PlotLayout& L = m_plot->layout();
        first = std::max<std::int64_t>(0, L.plotStart);
        last = std::min(m_doc.lengthFrames(), L.plotStart + L.samplesPerPlot);
    }
    if (m_doc.format().channels > 1 && m_selection && m_selection->channel != ChannelSel::Both)
        settings.channel = m_selection->channel == ChannelSel::Left ? CallChannel::Left : CallChannel::Right;
    std::vector<CallMeasures> calls;
    if (!findCallsWithProgress(this, m_doc, first, last, settings, calls))
        return false;
    if (!m_callsWnd) {
        m_callsWnd = new CCallsWnd(this);
        connect(m_callsWnd, &CCallsWnd::callChosen, this, [this](int index) { showCall(index); });
        connect(m_callsWnd, &CCallsWnd::markCallsAsked, this, [this] { markCalls(); });
    }
    const double from = static_cast<double>(m_doc.framesToRealMicros(first)) / 1e6;
    const double to = static_cast<double>(m_doc.framesToRealMicros(last)) / 1e6;
    const QString status = QString::fromStdString(
        vkit::formatC("%zu calls in %.3f to %.3f s", calls.size(), from, to));
    m_callsWnd->setCalls(std::move(calls), status);
    m_callsWnd->show();
    m_callsWnd->raise();
    return true;
}

void CVesAnaView::showCall(int index)
{
    if (!m_callsWnd || index < 0 || index >= static_cast<int>(m_callsWnd->calls().size()))
        return;
    const CallMeasures& c = m_callsWnd->calls()[static_cast<std::size_t>(index)];
    const std::int64_t length = m_doc.lengthFrames();
    ViewSelection sel;
    sel.a = std::clamp<std::int64_t>(c.startFrame, 0, length);
    sel.b = std::clamp<std::int64_t>(c.endFrame, 0, length);
    sel.channel = ChannelSel::Both;
    if (m_parms.m_spectPlot) {
        sel.timeOnly = false;
        sel.inFrequencyPane = true;
        sel.low = c.minFreqHz;
        sel.high = c.maxFreqHz;
    }
    const PlotLayout& L = m_plot->layout();
    if (sel.first() < L.plotStart || sel.last() > L.plotStart + L.samplesPerPlot) {
        m_zoom.scroll(AnaViewZoom::Scroll::Thumb, length, L.samplesPerPlot, samplesPerTick(),
                      scrollStartForMark(sel.first(), L.samplesPerPlot, length));
        relayout();
    }
    setSelection(sel);
}

int CVesAnaView::markCalls()
{
    if (!m_callsWnd || m_callsWnd->calls().empty())
        return 0;
    AnnotationTable table = emptyCallTable();
    appendCallsToTable(table, m_doc.path(), m_callsWnd->calls());
    std::string error;
    const int added = addMarksFromTable(m_doc, table, error);
    if (added < 0) {
        QMessageBox::warning(this, tr("Find calls"), QString::fromStdString(error));
        return 0;
    }
    marksChanged(m_doc);
    return added;
}
