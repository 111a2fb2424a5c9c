// The cursor, the selection made with the mouse and the keys, the status
// strip's read-outs, and the mark commands of an analysis view.
#include "display/CVesAnaView.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "display/CMarkDistDlg.h"
#include "display/CMarkPropDlg.h"
#include "widgets/CRecStatus.h"
#include "document/CVesSoundDoc.h"

#include <QApplication>
#include <QMouseEvent>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

// Every open view, for the marks of their documents (user-interface thread only).
std::vector<CVesAnaView*>& openViews()
{
    static std::vector<CVesAnaView*> views;
    return views;
}

ChannelSel channelOfHalf(const PlotLayout& L, int channelIndex)
{
    if (L.stereo && !L.bothChannels)
        return channelSelFromCode(channelIndexValue(L.channels.front().channel) + 1);
    if (L.bothChannels && channelIndex >= 0 && channelIndex < static_cast<int>(L.channels.size()))
        return channelSelFromCode(channelIndexValue(L.channels[static_cast<std::size_t>(channelIndex)].channel) + 1);
    return ChannelSel::Both;
}

// The value under device point `pt` in the pane of channel half `ci`,
// clamped into the pane (a drag may leave it).
double valueInPane(const PlotLayout& L, const PlotPoint& pt, int ci, bool frequency)
{
    if (ci < 0 || ci >= static_cast<int>(L.channels.size()))
        ci = 0;
    const ChannelPanes& ch = L.channels[static_cast<std::size_t>(ci)];
    const TwipsRect& pane = frequency ? ch.freqPane : ch.oscPane;
    const std::int64_t yy = std::clamp<std::int64_t>(pt.yTwips, pane.bottom, pane.top);
    return frequency ? L.yToFrequency(yy, pane) : L.yToAmplitude(yy, pane);
}

}  // namespace

void CVesAnaView::registerCursorCommands()
{
    openViews().push_back(this);
    connect(this, &QObject::destroyed, [this] {
        auto& v = openViews();
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    });
    setAccessibleName(QStringLiteral("Analysis view"));
    m_strip->setAccessibleName(QStringLiteral("Status read-out"));

    const auto typeCommand = [this](int id, CursorType t) {
        m_commands.on(id, [t](int) { setCurrentCursorType(t); },
                      [this, t](int, CommandState& s) {
                          s.checked = currentCursorType() == t;
                          if (t == CursorType::MarkingStereo)
                              s.enabled = m_doc.format().channels >= 2;
                          if (t == CursorType::Level)
                              s.enabled = s.checked;  // switched on by the pulse windows
                      });
    };
    typeCommand(cmd::CursorMarking, CursorType::Marking);
    typeCommand(cmd::CursorMarkingStereo, CursorType::MarkingStereo);
    typeCommand(cmd::CursorMeasurement, CursorType::Measurement);
    typeCommand(cmd::CursorLargeMeasurement, CursorType::LargeMeasurement);
    typeCommand(cmd::CursorLevel, CursorType::Level);

    const auto canMove = [this](int, CommandState& s) { s.enabled = m_cursor.isSet() || (m_moveMark && activeMark(m_doc)); };
    m_commands.on(cmd::CursorLeft, [this](int) { moveCursor(-1, 0); }, canMove);
    m_commands.on(cmd::CursorRight, [this](int) { moveCursor(+1, 0); }, canMove);
    m_commands.on(cmd::CursorUp, [this](int) { moveCursor(0, +1); }, canMove);
    m_commands.on(cmd::CursorDown, [this](int) { moveCursor(0, -1); }, canMove);
    const auto visible = [this](int, CommandState& s) { s.enabled = markingCursorVisible(); };
    m_commands.on(cmd::CursorStepLeft, [this](int) { stepCursor(-1); }, visible);
    m_commands.on(cmd::CursorStepRight, [this](int) { stepCursor(+1); }, visible);
    m_commands.on(cmd::SaveCursorAsMark, [this](int) { saveCursorAsMark(); }, visible);
    m_commands.on(cmd::SaveCursor, [this](int) { saveCursorAsMark(); }, visible);
    const auto hasActive = [this](int, CommandState& s) { s.enabled = activeMark(m_doc) != nullptr; };
    m_commands.on(cmd::ActiveMarkProperties, [this](int) { markProperties(); }, hasActive);
    m_commands.on(cmd::MoveActiveMark, [this](int) { m_moveMark = !m_moveMark; },
                  [this](int, CommandState& s) {
                      s.enabled = activeMark(m_doc) != nullptr;
                      s.checked = m_moveMark && s.enabled;
                  });
    const auto hasMarks = [this](int, CommandState& s) { s.enabled = !m_doc.marks().empty(); };
    m_commands.on(cmd::MarkDistances, [this](int) { markDistances(); }, hasMarks);
    m_commands.on(cmd::ClearAllMarks, [this](int) { clearAllMarks(); }, hasMarks);
    syncMarkDisplays();
}

// ---- cursor ----

bool CVesAnaView::markingCursorVisible() const
{
    if (!m_cursor.isSet() || m_cursor.type == CursorType::Level)
        return false;
    const PlotLayout& L = m_plot->layout();
    return m_cursor.position >= L.plotStart && m_cursor.position <= L.plotStart + L.samplesPerPlot;
}

void CVesAnaView::setCursorRecord(const CursorRecord& cursor)
{
    m_cursor = cursor;
    cursorOrSelectionChanged();
}

void CVesAnaView::cursorOrSelectionChanged()
{
    m_plot->setCursorOverlay(m_cursor);
    const PlotLayout& L = m_plot->layout();
    std::string text;
    if (m_selection)
        text = selectionReadout(L, m_selection->a, m_selection->b);
    else if (m_cursor.isSet() && m_cursor.type != CursorType::Level)
        text = cursorReadout(L, m_cursor);
    m_strip->setStatusText(QString::fromStdString(text));
    m_strip->setAccessibleDescription(QString::fromStdString(text));
    m_host.viewSelectionChanged();
    forwardToMeasurements();
}

void CVesAnaView::onMousePress(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const int hit = m_plot->hitTest(pos);
    if (hit == 0 || m_doc.lengthFrames() <= 0)
        return;
    const PlotPoint pt = m_plot->pointAt(pos);
    const PlotLayout& L = m_plot->layout();
    const CursorType type = currentCursorType();
    const bool inFreq = hit != 3;
    ChannelSel clicked = channelOfHalf(L, pt.channelIndex);
    if (type == CursorType::MarkingStereo)
        clicked = ChannelSel::Both;

    if (type == CursorType::Level) {
        if (hit != 3)
            return;
        m_cursor = CursorRecord{};
        m_cursor.type = CursorType::Level;
        m_cursor.position = clampSample(pt.sample);
        m_cursor.hasValue = true;
        m_cursor.value = std::llround(valueInPane(L, pt, pt.channelIndex, false));
        m_cursor.inFrequencyPane = false;
        m_cursor.channel = clicked;
        m_strip->setStatusText(QString::fromStdString(" " + L.ampScale.readout(static_cast<double>(m_cursor.value))));
        m_plot->setCursorOverlay(m_cursor);
        forwardToMeasurements();  // the level goes to the pulse window that asked for it
        return;
    }

    if (event->modifiers() & Qt::ShiftModifier) {
        const bool same = m_selection ? (m_selection->channel == ChannelSel::Both || m_selection->channel == clicked)
                                      : (m_cursor.channel == ChannelSel::Both || m_cursor.channel == clicked);
        if ((m_selection || markingCursorVisible()) && same) {
            if (m_selection && !m_cursor.isSet()) {
                // A selection without a cursor (Select All): extend from its start.
                m_cursor.position = m_selection->first();
                m_cursor.channel = m_selection->channel;
                m_cursor.type = CursorType::Marking;
            }
            m_dragging = true;
            m_extending = true;
            onMouseMove(event);
            return;
        }
    }

    CursorRecord c;
    c.type = type;
    c.position = clampSample(pt.sample);
    c.channel = clicked;
    c.inFrequencyPane = inFreq;
    if (isMeasurementType(type)) {
        c.hasValue = true;
        c.value = std::llround(valueInPane(L, pt, pt.channelIndex, inFreq));
    }
    m_cursor = c;
    m_anchor = c.position;
    m_dragChannel = clicked;
    m_dragging = true;
    m_extending = false;
    m_selection.reset();
    m_plot->setSelection(m_selection);
    cursorOrSelectionChanged();
}

void CVesAnaView::onMouseMove(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const PlotLayout& L = m_plot->layout();
    const PlotPoint pt = m_plot->pointAt(pos);
    if (!m_dragging) {
        if (!isMeasurementType(currentCursorType()) && currentCursorType() != CursorType::Level)
            return;
        const int hit = m_plot->hitTest(pos);
        if (hit == 0 || m_doc.lengthFrames() <= 0) {
            m_plot->unsetCursor();
            cursorOrSelectionChanged();
            return;
        }
        m_plot->setCursor(Qt::CrossCursor);
        const bool freq = hit != 3;
        if (currentCursorType() == CursorType::Level) {
            if (!freq)
                m_strip->setStatusText(QString::fromStdString(" " + L.ampScale.readout(valueInPane(L, pt, pt.channelIndex, false))));
            return;
        }
        const double value = valueInPane(L, pt, pt.channelIndex, freq);
        const std::string text = mouseReadout(L, clampSample(pt.sample), freq, value, &m_cursor);
        m_strip->setStatusText(QString::fromStdString(text));
        m_strip->setAccessibleDescription(QString::fromStdString(text));
        return;
    }
    // Into the other channel's half of a two-channel view: ignored unless
    // the selection covers both channels.
    const ChannelSel channel = m_cursor.channel;
    if (L.bothChannels && channel != ChannelSel::Both && pt.channelIndex >= 0 &&
        channelOfHalf(L, pt.channelIndex) != channel)
        return;
    ViewSelection s;
    s.a = m_cursor.position;
    s.b = clampSample(pt.sample);
    s.channel = channel;
    s.timeOnly = !isMeasurementType(m_cursor.type);
    if (!s.timeOnly) {
        int ci = 0;
        for (std::size_t i = 0; i < L.channels.size(); ++i)
            if (channelOfHalf(L, static_cast<int>(i)) == channel || channel == ChannelSel::Both) {
                ci = static_cast<int>(i);
                break;
            }
        if (pt.channelIndex >= 0)
            ci = pt.channelIndex;
        s.inFrequencyPane = m_cursor.inFrequencyPane;
        const double v = valueInPane(L, pt, ci, s.inFrequencyPane);
        const double c = static_cast<double>(m_cursor.value);
        s.low = std::min(c, v);
        s.high = std::max(c, v);
    }
    setSelection(s);
    cursorOrSelectionChanged();
}

void CVesAnaView::onMouseRelease(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    m_extending = false;
    if (m_selection && m_plot->painter()) {
        const double x0 = m_plot->painter()->sampleToDeviceX(static_cast<double>(m_selection->a));
        const double x1 = m_plot->painter()->sampleToDeviceX(static_cast<double>(m_selection->b));
        if (std::abs(x1 - x0) < 3)
            setSelection(std::nullopt);
    }
    cursorOrSelectionChanged();
}

void CVesAnaView::moveCursor(int dx, int dy)
{
    const PlotLayout& L = m_plot->layout();
    const std::int64_t length = m_doc.lengthFrames();
    if (m_moveMark) {
        if (AnaMarkSave* m = activeMark(m_doc)) {
            if (dx)
                m->m_posX = stepSampleByPixel(L, m->m_posX, dx, length);
            if (dy && !m->m_anyY) {
                // A frequency mark moves only where a frequency pane is shown,
                // an amplitude mark only where the oscillogram is.
                const bool freq = m->m_spect;
                if ((freq && (L.showSpect || L.showZeroCross)) || (!freq && L.showOsc))
                    m->m_posY = stepValueByPixel(L, m->m_posY, freq, dy);
            }
            m_doc.setModified(true);
            marksChanged(m_doc);
            return;
        }
    }
    if (!m_cursor.isSet())
        return;
    if (dx)
        m_cursor.position = stepSampleByPixel(L, m_cursor.position, dx, length);
    if (dy && m_cursor.hasValue && (isMeasurementType(m_cursor.type) || m_cursor.type == CursorType::Level))
        m_cursor.value = stepValueByPixel(L, m_cursor.value, m_cursor.inFrequencyPane, dy);
    if (dx && m_cursor.type != CursorType::Level)
        setSelection(std::nullopt);
    cursorOrSelectionChanged();
}

void CVesAnaView::stepCursor(int dir)
{
    if (!markingCursorVisible())
        return;
    const PlotLayout& L = m_plot->layout();
    ViewSelection s;
    if (m_selection) {
        s = *m_selection;
    } else {
        s.a = s.b = m_cursor.position;
        s.channel = m_cursor.channel;
        s.timeOnly = true;
    }
    s.b = stepSampleByPixel(L, s.b, dir, m_doc.lengthFrames());
    setSelection(s);
    cursorOrSelectionChanged();
}

// ---- marks ----

void CVesAnaView::marksChanged(CVesSoundDoc& doc)
{
    // Views and menus change on the user-interface thread only: a call from
    // elsewhere is carried over there.
    if (QThread::currentThread() != qApp->thread()) {
        QMetaObject::invokeMethod(qApp, [&doc] { marksChanged(doc); }, Qt::QueuedConnection);
        return;
    }
    for (CVesAnaView* v : openViews())
        if (&v->m_doc == &doc)
            v->syncMarkDisplays();
}

void CVesAnaView::syncMarkDisplays()
{
    const MarkSyncResult r = ::syncMarkDisplays(m_markDisplays, m_doc.marks());
    if (!activeMark(m_doc))
        m_moveMark = false;  // nothing left to move
    if (r.any())
        m_plot->marksChanged();
    m_host.viewSelectionChanged();
}

int CVesAnaView::saveCursorAsMark()
{
    if (!markingCursorVisible())
        return -1;
    CursorRecord c = m_cursor;
    c.showLabel = true;
    const int nr = addCursorMark(m_doc, c);
    marksChanged(m_doc);
    return nr;
}

void CVesAnaView::setActiveMark(int markNr)
{
    if (findMark(m_doc, markNr) < 0)
        return;
    setActiveMarkNr(m_doc, markNr);
    marksChanged(m_doc);
}

void CVesAnaView::scrollToMark(int markNr)
{
    const int i = findMark(m_doc, markNr);
    if (i < 0)
        return;
    const PlotLayout& L = m_plot->layout();
    const std::int64_t start = scrollStartForMark(m_doc.marks()[static_cast<std::size_t>(i)].m_posX, L.samplesPerPlot,
                                                  m_doc.lengthFrames());
    m_zoom.scroll(AnaViewZoom::Scroll::Thumb, m_doc.lengthFrames(), L.samplesPerPlot, samplesPerTick(), start);
    relayout();
}

bool CVesAnaView::markProperties()
{
    AnaMarkSave* m = activeMark(m_doc);
    if (!m)
        return false;
    CMarkPropDlg dlg(*m, this);
    const int result = dlg.exec();
    if (result == CMarkPropDlg::Removed) {
        removeMark(m_doc, m->m_markNr);
    } else if (result == QDialog::Accepted) {
        if (AnaMarkSave* still = activeMark(m_doc))
            dlg.apply(*still);
        m_doc.setModified(true);
    } else {
        return false;
    }
    marksChanged(m_doc);
    return true;
}

void CVesAnaView::markDistances()
{
    CVesSoundDoc& doc = m_doc;
    CMarkDistDlg dlg(markDistanceTable(doc.marks(), [&doc](std::int64_t f) { return doc.framesToRealMicros(f); }),
                     this);
    dlg.exec();
}

void CVesAnaView::clearAllMarks()
{
    m_doc.removeAllMarks();
    m_doc.setModified(true);
    marksChanged(m_doc);
}
