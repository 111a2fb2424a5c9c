// The measurement windows of an analysis view: up to 16 power spectra, up to
// 16 pulse interval / pulse length histograms and one pulse characteristics
// dialog. The view opens them, passes them its selection, cursor and level
// cursor, shows the level of the window that asks for it, stops their
// workers before its document is edited, and closes them when it goes.
#include "display/CVesAnaView.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "display/CNumEdit.h"
#include "document/CVesSoundDoc.h"
#include "power/CPowerSettingsDlg.h"
#include "power/CPowerWnd.h"
#include "pulse/CAnaRateSet.h"
#include "pulse/CRateWnd.h"
#include "pulse/PulsCharDiagCls.h"
#include "pulse/PulsCharDispCls.h"
#include "pulse/PulsCharSettings.h"

#include <QTimer>

#include <algorithm>

namespace {

// Every view with its document, so that an edit in one view stops the
// workers of all views of the same document (user-interface thread only).
std::vector<CVesAnaView*>& measuringViews()
{
    static std::vector<CVesAnaView*> views;
    return views;
}

}  // namespace

void CVesAnaView::registerMeasureCommands()
{
    measuringViews().push_back(this);
    m_forwardTimer = new QTimer(this);
    m_forwardTimer->setSingleShot(true);
    m_forwardTimer->setInterval(0);
    connect(m_forwardTimer, &QTimer::timeout, this, &CVesAnaView::sendToMeasurements);

    const auto hasSound = [this](int, CommandState& s) { s.enabled = m_doc.lengthFrames() > 0; };
    m_commands.on(cmd::PowerSpectrum, [this](int) { openPowerSpectrum(); }, hasSound);
    m_commands.on(cmd::PowerSettingsDefault, [this](int) {
        CPowerSettingsDlg dlg(m_host.powerDefaults(), static_cast<double>(effectiveRateHz()), this);
        if (dlg.exec() == QDialog::Accepted)
            m_host.powerDefaults() = dlg.parms();
    });
    m_commands.on(cmd::PulseInterval, [this](int) { openRateWindow(true); }, hasSound);
    m_commands.on(cmd::PulseLength, [this](int) { openRateWindow(false); }, hasSound);
    m_commands.on(cmd::RateSettingsDefault, [this](int) {
        CAnaRateSet dlg(m_host.rateDefaults(), m_host.rateDefaults().m_threshold <= 0, this);
        if (dlg.exec() == QDialog::Accepted)
            m_host.rateDefaults() = dlg.parms();
    });
    m_commands.on(cmd::PulseCharacteristics, [this](int) { openPulseCharacteristics(); },
                  [this](int, CommandState& s) {
                      s.enabled = m_selection.has_value() && m_plot->layout().showSpect && m_doc.lengthFrames() > 0;
                  });

    // Workers read the document's samples: an edit stops them first, and
    // the windows calculate again on what the edit left.
    for (int id : {cmd::EditCut, cmd::EditPaste, cmd::EditDelete, cmd::EditClear, cmd::EditReverse, cmd::EditVolume,
                   cmd::EditFilter, cmd::EditUndo})
        m_commands.beforeRun(id, [this] {
            for (CVesAnaView* v : measuringViews())
                if (&v->m_doc == &m_doc)
                    v->stopMeasurementWorkers();
            for (CVesAnaView* v : measuringViews())
                if (&v->m_doc == &m_doc)
                    QTimer::singleShot(0, v, [v] {
                        for (CPowerWnd* w : v->powerWindows())
                            w->recalculate();
                        for (CRateWnd* w : v->rateWindows())
                            w->recalculate();
                    });
        });
}

std::vector<CPowerWnd*> CVesAnaView::powerWindows() const
{
    std::vector<CPowerWnd*> out;
    for (const auto& w : m_powerWnds)
        if (w)
            out.push_back(w);
    return out;
}

std::vector<CRateWnd*> CVesAnaView::rateWindows() const
{
    std::vector<CRateWnd*> out;
    for (const auto& w : m_rateWnds)
        if (w)
            out.push_back(w);
    return out;
}

PulsCharDiagCls* CVesAnaView::pulseDialog() const
{
    return m_pulseDlg;
}

void CVesAnaView::stopMeasurementWorkers()
{
    for (CPowerWnd* w : powerWindows())
        w->stopCalculation();
    for (CRateWnd* w : rateWindows())
        w->stopCalculation();
    if (m_pulseDlg)
        m_pulseDlg->stopWorker();
}

void CVesAnaView::closeMeasurementWindows()
{
    auto& views = measuringViews();
    views.erase(std::remove(views.begin(), views.end(), this), views.end());
    // Each window stops and joins its worker when it is deleted.
    if (m_pulseDlg) {
        for (PulsCharDispCls* r : m_pulseDlg->resultWindows())
            delete r;
        delete m_pulseDlg.data();
    }
    for (auto& w : m_powerWnds)
        delete w.data();
    for (auto& w : m_rateWnds)
        delete w.data();
}

CPowerWnd* CVesAnaView::openPowerSpectrum()
{
    const auto free = std::find_if(m_powerWnds.begin(), m_powerWnds.end(), [](const auto& w) { return w.isNull(); });
    if (free == m_powerWnds.end()) {
        CNumEdit::showMessage(this, "Maximum number of power spectras already open.");
        return nullptr;
    }
    const int slot = static_cast<int>(free - m_powerWnds.begin());
    auto* w = new CPowerWnd(m_doc, m_host.powerDefaults(), slot, this);
    *free = w;
    connect(w, &CPowerWnd::closing, this, [this](int s) { m_powerWnds[static_cast<std::size_t>(s)] = nullptr; });
    connect(w, &CPowerWnd::cursorStretch, this, [this](int, std::int64_t start, std::int64_t end) {
        // The stretch of a cursor-mode window shows as the view's selection.
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
    });
    // The range: the selection (on its channel), else one FFT length at the
    // marking cursor, else at the start of the view.
    const int channels = m_doc.format().channels;
    if (m_selection) {
        ChannelSel ch = m_selection->channel;
        if (channels >= 2 && ch != ChannelSel::Both && m_plot->layout().stereo && !m_plot->layout().bothChannels) {
            // A channel the view does not show is replaced by the one it shows.
            ch = channelSelFromCode(channelIndexValue(m_plot->layout().channels.front().channel) + 1);
        }
        w->setRange(m_selection->first(), m_selection->last(), ch);
    } else if (m_cursor.isSet() && m_cursor.type != CursorType::Level) {
        w->setRange(m_cursor.position, -1, m_cursor.channel);
    } else {
        w->setRange(std::max<std::int64_t>(0, m_parms.m_plotStart), -1, ChannelSel::Both);
    }
    w->show();
    return w;
}

CRateWnd* CVesAnaView::openRateWindow(bool intervalMode)
{
    const auto free = std::find_if(m_rateWnds.begin(), m_rateWnds.end(), [](const auto& w) { return w.isNull(); });
    if (free == m_rateWnds.end()) {
        CNumEdit::showMessage(this, "Maximum number of Pulse Interval/Pulse Length Analysis already open.");
        return nullptr;
    }
    const int slot = static_cast<int>(free - m_rateWnds.begin());
    VesRateParms parms = m_host.rateDefaults();
    parms.m_intervalMode = intervalMode;
    auto* w = new CRateWnd(m_doc, parms, slot, this);
    *free = w;
    connect(w, &CRateWnd::closing, this, [this](int s) {
        m_rateWnds[static_cast<std::size_t>(s)] = nullptr;
        if (m_levelTarget == s)
            leaveLevelCursor();
    });
    connect(w, &CRateWnd::levelTargetRequested, this, [this](int s) {
        CRateWnd* r = m_rateWnds[static_cast<std::size_t>(s)];
        if (!r)
            return;
        m_levelTarget = s;
        showLevelTarget(r->firstFrame(), r->lastFrame(), r->analysedChannel(), r->levelCursorValue());
    });
    connect(w, &CRateWnd::activated, this, [this](int s) {
        if (m_levelTarget == kPulseLevelTarget && currentCursorType() == CursorType::Level)
            return;  // the pulse dialog keeps the level cursor it asked for
        m_levelTarget = s;
        CRateWnd* r = m_rateWnds[static_cast<std::size_t>(s)];
        if (r && currentCursorType() == CursorType::Level)
            showLevelTarget(r->firstFrame(), r->lastFrame(), r->analysedChannel(), r->levelCursorValue());
    });
    connect(w, &CRateWnd::calculated, this, [this](int s) {
        // A threshold computed from the data shows on the level cursor.
        CRateWnd* r = m_rateWnds[static_cast<std::size_t>(s)];
        if (r && m_levelTarget == s && currentCursorType() == CursorType::Level)
            showLevelTarget(r->firstFrame(), r->lastFrame(), r->analysedChannel(), r->levelCursorValue());
    });
    if (m_selection)
        w->setRange(m_selection->first(), m_selection->last(), m_selection->channel);
    else
        w->setRange(m_cursor.isSet() ? m_cursor.position : 0, -1, m_cursor.channel);
    w->show();
    // The new window is the level cursor's target.
    m_levelTarget = slot;
    if (currentCursorType() == CursorType::Level)
        showLevelTarget(w->firstFrame(), w->lastFrame(), w->analysedChannel(), w->levelCursorValue());
    return w;
}

PulsCharDiagCls* CVesAnaView::openPulseCharacteristics()
{
    if (m_pulseDlg) {
        m_pulseDlg->raise();
        m_pulseDlg->activateWindow();
        return m_pulseDlg;
    }
    if (!m_pulsParms)
        m_pulsParms = m_host.pulsDefaults();
    VesPulsParms parms = *m_pulsParms;
    const bool autoSize = m_parms.m_fftSize == 0, autoOverlap = m_parms.m_fftOverLap < 0;
    const std::string warning = pulseFftWarning(autoSize, autoOverlap);
    if (!warning.empty())
        CNumEdit::showMessage(this, warning);
    takeSpectrogramSettings(parms, m_plot->layout().spect);
    auto* d = new PulsCharDiagCls(m_doc, parms, this);
    d->setWindowFlag(Qt::Window, true);
    m_pulseDlg = d;
    if (m_selection)
        d->setRange(m_selection->first(), m_selection->last(), m_selection->channel);
    else
        d->setRange(m_cursor.isSet() ? m_cursor.position : 0, -1, m_cursor.channel);
    connect(d, &PulsCharDiagCls::dialogClosing, this, [this](int how) {
        PulsCharDiagCls* dlg = m_pulseDlg;
        if (!dlg)
            return;
        if (how == 1) {
            m_pulsParms = dlg->parms();
            m_host.pulsDefaults() = dlg->parms();
        }
        if (m_levelTarget == kPulseLevelTarget)
            leaveLevelCursor();
        m_pulseDlg = nullptr;
        dlg->hide();
        dlg->deleteLater();
    });
    connect(d, &PulsCharDiagCls::levelTargetRequested, this, [this] {
        if (!m_pulseDlg)
            return;
        m_levelTarget = kPulseLevelTarget;
        showLevelTarget(m_pulseDlg->first(), m_pulseDlg->last(), m_pulseDlg->analysedChannel(),
                        m_pulseDlg->levelCursorValue());
    });
    connect(d, &PulsCharDiagCls::marksChanged, this, [this] { marksChanged(m_doc); });
    connect(d, &PulsCharDiagCls::resultWindowOpened, this, [this](PulsCharDispCls* r) {
        connect(r, &PulsCharDispCls::marksChanged, this, [this] { marksChanged(m_doc); });
    });
    d->show();
    return d;
}

void CVesAnaView::showLevelTarget(std::int64_t first, std::int64_t last, ChannelSel channel, std::int64_t level)
{
    setCurrentCursorType(CursorType::Level);
    CursorRecord c;
    c.type = CursorType::Level;
    c.position = std::max<std::int64_t>(0, first);
    c.hasValue = true;
    c.value = level;
    c.inFrequencyPane = false;
    c.channel = channel;
    (void)last;
    m_cursor = c;
    m_levelSent = level;  // shown, not to be sent back
    m_plot->setCursorOverlay(m_cursor);
    m_host.viewSelectionChanged();
}

void CVesAnaView::leaveLevelCursor()
{
    m_levelTarget = -1;
    if (currentCursorType() == CursorType::Level)
        setCurrentCursorType(CursorType::Marking);
    if (m_cursor.type == CursorType::Level) {
        m_cursor = CursorRecord{};
        m_plot->setCursorOverlay(m_cursor);
    }
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
    if (m_cursor.type == CursorType::Level && m_cursor.hasValue) {
        if (m_cursor.value != m_levelSent) {
            m_levelSent = m_cursor.value;
            if (m_levelTarget == kPulseLevelTarget && m_pulseDlg)
                m_pulseDlg->levelMoved(m_cursor.value);
            else if (m_levelTarget >= 0 && m_levelTarget < kMaxMeasureWindows)
                if (CRateWnd* r = m_rateWnds[static_cast<std::size_t>(m_levelTarget)])
                    r->setDetectionLevel(m_cursor.value);
        }
    }
    std::int64_t first = 0, last = -1;
    ChannelSel channel = ChannelSel::Both;
    if (m_selection) {
        first = m_selection->first();
        last = m_selection->last();
        channel = m_selection->channel;
    } else if (m_cursor.isSet() && m_cursor.type != CursorType::Level) {
        first = m_cursor.position;
        channel = m_cursor.channel;
    } else {
        return;
    }
    for (CPowerWnd* w : powerWindows())
        w->followSelection(first, last, channel);
    for (CRateWnd* w : rateWindows())
        w->followSelection(first, last, channel);
    if (m_pulseDlg) {
        m_pulseDlg->selectionChanged(first, last, channel);
        if (m_levelTarget == kPulseLevelTarget && currentCursorType() == CursorType::Level)
            showLevelTarget(m_pulseDlg->first(), m_pulseDlg->last(), m_pulseDlg->analysedChannel(),
                            m_pulseDlg->levelCursorValue());
    }
}
