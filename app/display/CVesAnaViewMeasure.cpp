// What an analysis view shares with the measurement windows that its parts
// open: the range they follow, the level cursor that shows a window's
// threshold and sends the user's moves back to it, and the stretch a window
// shows as the selection. The windows themselves belong to their families
// (app/power, app/pulse), which add their commands to the view as parts.
#include "display/CVesAnaView.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "document/CVesSoundDoc.h"

#include <QTimer>

#include <algorithm>

void CVesAnaView::registerMeasureCommands()
{
    m_forwardTimer = new QTimer(this);
    m_forwardTimer->setSingleShot(true);
    m_forwardTimer->setInterval(0);
    connect(m_forwardTimer, &QTimer::timeout, this, &CVesAnaView::sendToMeasurements);
}

bool CVesAnaView::measureRange(std::int64_t& first, std::int64_t& last, ChannelSel& channel) const
{
    if (m_selection) {
        first = m_selection->first();
        last = m_selection->last();
        channel = m_selection->channel;
        return true;
    }
    if (m_cursor.isSet() && m_cursor.type != CursorType::Level) {
        first = m_cursor.position;
        last = -1;
        channel = m_cursor.channel;
        return true;
    }
    return false;
}

void CVesAnaView::setLevelTarget(QObject* owner, std::function<void(std::int64_t)> moved)
{
    m_levelOwner = owner;
    m_levelOwnerAlive = owner;
    m_levelMoved = std::move(moved);
}

void CVesAnaView::showLevelCursor(std::int64_t first, ChannelSel channel, std::int64_t level)
{
    setCurrentCursorType(CursorType::Level);
    CursorRecord c;
    c.type = CursorType::Level;
    c.position = std::max<std::int64_t>(0, first);
    c.hasValue = true;
    c.value = level;
    c.inFrequencyPane = false;
    c.channel = channel;
    m_cursor = c;
    m_levelSent = level;  // shown, not to be sent back
    m_plot->setCursorOverlay(m_cursor);
    m_host.viewSelectionChanged();
}

void CVesAnaView::leaveLevelCursor(const QObject* owner)
{
    if (!owner || m_levelOwner != owner)
        return;
    m_levelOwner = nullptr;
    m_levelOwnerAlive = nullptr;
    m_levelMoved = nullptr;
    if (currentCursorType() == CursorType::Level)
        setCurrentCursorType(CursorType::Marking);
    if (m_cursor.type == CursorType::Level) {
        m_cursor = CursorRecord{};
        m_plot->setCursorOverlay(m_cursor);
    }
}

void CVesAnaView::beforeEdits(std::function<void()> hook)
{
    for (int id : {cmd::EditCut, cmd::EditPaste, cmd::EditDelete, cmd::EditClear, cmd::EditReverse, cmd::EditVolume,
                   cmd::EditFilter, cmd::EditUndo})
        m_commands.beforeRun(id, hook);
}

void CVesAnaView::showMeasureStretch(std::int64_t start, std::int64_t end)
{
    m_showingMeasureStretch = true;
    if (start >= 0 && end > start) {
        ViewSelection s;
        s.a = start;
        s.b = std::min(end, m_doc.lengthFrames());
        s.channel = m_cursor.isSet() ? m_cursor.channel : ChannelSel::Both;
        setSelection(s);
    } else if (m_selection) {
        setSelection(std::nullopt);
    }
    m_showingMeasureStretch = false;
}

void CVesAnaView::forwardToMeasurements()
{
    // Coalesced: a drag sends its last position once per pass of the event loop.
    if (m_forwardTimer && !m_showingMeasureStretch)
        m_forwardTimer->start();
}

void CVesAnaView::sendToMeasurements()
{
    // The level cursor moved: its level goes to the window that asked for it.
    if (m_cursor.type == CursorType::Level && m_cursor.hasValue && m_cursor.value != m_levelSent) {
        m_levelSent = m_cursor.value;
        if (m_levelOwnerAlive && m_levelMoved) {
            const auto moved = m_levelMoved;
            moved(m_cursor.value);
        }
    }
    std::int64_t first = 0, last = -1;
    ChannelSel channel = ChannelSel::Both;
    if (measureRange(first, last, channel))
        emit measureRangeChanged();
}
