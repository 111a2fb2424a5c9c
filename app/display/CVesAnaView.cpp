#include "display/CVesAnaView.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "widgets/CRecStatus.h"
#include "document/CVesSoundDoc.h"
#include "document/ViewUpdate.h"
#include "display/ViewParts.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

VesAnaParms startingParms(IViewHost& host, ViewKind kind)
{
    NewViewContext c;
    c.kind = kind;
    c.defaults = &host.defaultAnaParms();
    if (CVesAnaView* prev = host.activeView()) {
        c.previous = &prev->parms();
        if (prev->selection())
            c.previousSelection = &*prev->selection();
    }
    return initialViewParms(host.doc(), c);
}

}  // namespace

CVesAnaView* makeAnaView(IViewHost& doc, ViewKind kind, QWidget* parent)
{
    switch (kind) {
    case ViewKind::Spectrogram: return new CVesSpectView(doc, parent);
    case ViewKind::Oscillogram: return new CVesAmplView(doc, parent);
    case ViewKind::Combined: return new CVesCombView(doc, parent);
    case ViewKind::ZeroCrossing: return new CVesFreqView(doc, parent);
    case ViewKind::Base: break;
    }
    return new CVesAnaView(doc, ViewKind::Base, parent);
}

CVesAnaView::CVesAnaView(IViewHost& host, ViewKind kind, QWidget* parent)
    : QWidget(parent),
      m_host(host),
      m_doc(host.doc()),
      m_kind(kind),
      m_parms(startingParms(host, kind)),
      m_zoom(m_parms),
      m_tracker(host.doc().effectiveTimeExp25(), host.doc().format().samplesPerSec)
{
    setFocusPolicy(Qt::StrongFocus);
    m_doc.attachView(this, &m_parms);
    m_host.addView(this);
    m_host.setActiveView(this);

    m_plot = new CAnaPlot(m_doc, m_parms, this);
    m_plot->setObjectName(QStringLiteral("VpChild"));
    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_scroll->setTracking(false);
    m_strip = new CRecStatus(this);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(m_plot, 1);
    box->addWidget(m_scroll);
    box->addWidget(m_strip);

    connect(m_plot, &CAnaPlot::layoutChanged, this, [this] {
        m_doc.setViewParms(this, m_parms);
        updateScrollBar();
    });
    connect(m_scroll, &QScrollBar::actionTriggered, this, &CVesAnaView::onScrollAction);
    connect(m_scroll, &QScrollBar::valueChanged, this, &CVesAnaView::onScrollValue);
    connect(m_plot, &CAnaPlot::mousePressed, this, &CVesAnaView::onMousePress);
    connect(m_plot, &CAnaPlot::mouseMoved, this, &CVesAnaView::onMouseMove);
    connect(m_plot, &CAnaPlot::mouseReleased, this, &CVesAnaView::onMouseRelease);
    connect(m_plot, &CAnaPlot::contextMenuRequested, this, &CVesAnaView::onContextMenu);

    registerCommands();
    updateFormatText();
    m_plot->prepareLayout();
    m_doc.setViewParms(this, m_parms);
    updateScrollBar();
}

CVesAnaView::~CVesAnaView()
{
    emit closing();
    m_doc.detachView(this);
    m_host.removeView(this);
}

void CVesAnaView::registerCommands()
{
    auto always = CommandHandlers::Update{};
    m_commands.on(cmd::ZoomIn, [this](int) { zoomIn(); }, always);
    m_commands.on(cmd::ZoomOut, [this](int) { zoomOut(); }, always);
    m_commands.on(cmd::ZoomDefault, [this](int) { defaultZoom(); }, always);
    m_commands.on(cmd::ZoomEntireFile, [this](int) { zoomEntireFile(); }, always);
    m_commands.on(cmd::ZoomFullRange, [this](int) { zoomFullRange(); }, always);
    m_commands.on(cmd::ScrollLineLeft, [this](int) { scroll(AnaViewZoom::Scroll::LineLeft); }, always);
    m_commands.on(cmd::ScrollLineRight, [this](int) { scroll(AnaViewZoom::Scroll::LineRight); }, always);
    const auto hasSound = [this](int, CommandState& s) { s.enabled = m_doc.lengthFrames() > 0; };
    m_commands.on(cmd::MoveToBeginning, [this](int) { scroll(AnaViewZoom::Scroll::LeftEnd); }, hasSound);
    m_commands.on(cmd::MoveToEnd, [this](int) { scroll(AnaViewZoom::Scroll::RightEnd); }, hasSound);
    m_commands.on(cmd::SelectAll, [this](int) { selectAll(); }, hasSound);
    m_commands.on(cmd::SaveSelectedInterval, [this](int) { saveSelectedInterval(); },
                  [this](int, CommandState& s) { s.enabled = m_selection.has_value(); });
    m_commands.on(cmd::EditUndo, [this](int) { editUndo(); },
                  [this](int, CommandState& s) {
                      s.enabled = m_doc.canUndo();
                      if (s.enabled)
                          s.text = "&" + m_doc.undoName() + "\tCtrl+Z";
                  });
    registerSettingsCommands();
    registerCursorCommands();
    registerEditCommands();
    registerPrintCommands();
    registerMeasureCommands();
    // Filtering, the measurement windows, Find calls, playback and the
    // virtual bat detector, from the families above the view.
    attachViewParts(*this, m_commands);
}

// ---- layout, scroll bar, repaint ----

std::int64_t CVesAnaView::samplesPerTick() const
{
    const PlotLayout& L = m_plot->layout();
    const double s = static_cast<double>(L.timeStepNs) * static_cast<double>(L.rateHz) / 1e9;
    return std::max<std::int64_t>(1, static_cast<std::int64_t>(s));
}

void CVesAnaView::relayout()
{
    m_plot->prepareLayout();
    m_doc.setViewParms(this, m_parms);
    updateScrollBar();
    m_plot->setSelection(m_selection);
    m_plot->requestRepaint();
    cursorOrSelectionChanged();  // the read-outs follow the new time format
    m_strip->update();
}

void CVesAnaView::updateScrollBar()
{
    const PlotLayout& L = m_plot->layout();
    const ScrollBarNumbers n =
        ScrollBarNumbers::make(m_doc.lengthFrames(), L.samplesPerPlot, samplesPerTick(), std::max<std::int64_t>(0, m_parms.m_plotStart));
    m_settingScroll = true;
    m_scrollUnit = n.unit;
    m_scroll->setRange(0, n.maximum);
    m_scroll->setPageStep(n.page);
    m_scroll->setSingleStep(n.singleStep);
    m_scroll->setValue(n.value);
    m_settingScroll = false;
}

void CVesAnaView::updateFormatText()
{
    const SoundFormat& f = m_doc.format();
    m_strip->setFormat(f.channels, f.bitsPerSample, f.samplesPerSec, m_doc.effectiveTimeExp25());
}

void CVesAnaView::onScrollAction(int action)
{
    using S = AnaViewZoom::Scroll;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: scroll(S::LineRight); break;
    case QAbstractSlider::SliderSingleStepSub: scroll(S::LineLeft); break;
    case QAbstractSlider::SliderPageStepAdd: scroll(S::PageRight); break;
    case QAbstractSlider::SliderPageStepSub: scroll(S::PageLeft); break;
    case QAbstractSlider::SliderToMinimum: scroll(S::LeftEnd); break;
    case QAbstractSlider::SliderToMaximum: scroll(S::RightEnd); break;
    default: return;  // the thumb: taken when it is released
    }
    // The bar would apply its own step after this; it shows ours instead.
    m_scroll->setSliderPosition(m_scroll->value());
}

void CVesAnaView::onScrollValue(int value)
{
    if (m_settingScroll)
        return;
    const std::int64_t sample = static_cast<std::int64_t>(value) * m_scrollUnit;
    if (sample / m_scrollUnit == std::max<std::int64_t>(0, m_parms.m_plotStart) / m_scrollUnit)
        return;
    scroll(AnaViewZoom::Scroll::Thumb, sample);
}

void CVesAnaView::scroll(AnaViewZoom::Scroll request, std::int64_t thumbSample)
{
    const PlotLayout& L = m_plot->layout();
    const std::int64_t before = m_parms.m_plotStart;
    m_zoom.scroll(request, m_doc.lengthFrames(), L.samplesPerPlot, samplesPerTick(), thumbSample);
    if (m_parms.m_plotStart == before) {
        updateScrollBar();
        return;
    }
    relayout();
}

// ---- zoom ----

void CVesAnaView::zoomIn()
{
    const PlotLayout& L = m_plot->layout();
    if (m_selection) {
        const ZoomSelection zs = m_selection->zoomSelection();
        const std::int64_t micros = m_doc.framesToRealMicros(m_selection->last() - m_selection->first());
        m_zoom.zoomIn(&zs, micros, L.showSpect || L.showZeroCross, L.showOsc);
        m_selection.reset();
    } else {
        m_zoom.zoomIn(nullptr, 0, L.showSpect || L.showZeroCross, L.showOsc);
    }
    relayout();
}

void CVesAnaView::zoomOut()
{
    m_zoom.zoomOut();
    relayout();
}

void CVesAnaView::defaultZoom()
{
    m_zoom.defaultZoom();
    relayout();
}

void CVesAnaView::zoomEntireFile()
{
    m_zoom.entireFile(m_doc.framesToRealMicros(m_doc.lengthFrames()));
    relayout();
}

void CVesAnaView::zoomFullRange()
{
    m_zoom.fullRange();
    relayout();
}

// ---- selection ----

std::int64_t CVesAnaView::clampSample(std::int64_t s) const
{
    return std::clamp<std::int64_t>(s, 0, std::max<std::int64_t>(0, m_doc.lengthFrames()));
}

void CVesAnaView::setSelection(const std::optional<ViewSelection>& selection)
{
    if (selection && selection->a == selection->b)
        m_selection.reset();
    else
        m_selection = selection;
    m_plot->setSelection(m_selection);
    m_host.viewSelectionChanged();
}

void CVesAnaView::revealSelection(const ViewSelection& selection)
{
    const PlotLayout& L = m_plot->layout();
    if (selection.first() < L.plotStart || selection.last() > L.plotStart + L.samplesPerPlot) {
        const std::int64_t length = m_doc.lengthFrames();
        m_zoom.scroll(AnaViewZoom::Scroll::Thumb, length, L.samplesPerPlot, samplesPerTick(),
                      scrollStartForMark(selection.first(), L.samplesPerPlot, length));
        relayout();
    }
    setSelection(selection);
}

void CVesAnaView::selectAll()
{
    ViewSelection s;
    s.a = 0;
    s.b = m_doc.lengthFrames();
    s.channel = ChannelSel::Both;
    setSelection(s);
}

// The mouse handlers are in CVesAnaViewCursors.cpp.

void CVesAnaView::onContextMenu(const QPoint& globalPos, int hit)
{
    m_lastHit = hit;
    m_host.showCursorMenu(globalPos, hit);
}

bool CVesAnaView::saveSelectedInterval()
{
    if (!m_selection)
        return m_host.saveInterval(0, -1);
    return m_host.saveInterval(m_selection->first(), m_selection->last());
}

// ---- activation and document changes ----

void CVesAnaView::activated()
{
    cursorTypeForDocument(m_doc.format().channels);
    m_host.setActiveView(this);
}

void CVesAnaView::onLengthChanged(std::int64_t frames)
{
    if (m_selection && (m_selection->first() > frames || m_selection->last() > frames))
        setSelection(std::nullopt);
    updateScrollBar();
}

void CVesAnaView::onDocumentUpdate(const ViewUpdate& update)
{
    if (std::holds_alternative<viewupdate::Repaint>(update)) {
        if (m_plot->layout().sound.lengthFrames != m_doc.lengthFrames())
            m_plot->prepareLayout();
        m_plot->requestRepaint();
        m_strip->update();
        syncMarkDisplays();
    } else if (std::holds_alternative<viewupdate::Format>(update)) {
        m_tracker.setLastLength(m_doc.lengthFrames());
        updateFormatText();
        m_tracker.formatChanged(m_parms, m_zoom, m_doc.effectiveTimeExp25(), m_doc.format().samplesPerSec);
        relayout();
    } else if (const auto* append = std::get_if<viewupdate::Append>(&update)) {
        const std::int64_t oldLength = m_tracker.lastLength();
        const std::int64_t newLength = append->record.lengthFrames;
        const PlotLayout& L = m_plot->layout();
        const auto action = m_tracker.appended(m_parms, newLength, L.samplesPerPlot, append->record.fullRedraw);
        if (action == ViewDocTracker::Append::Nothing)
            return;
        if (action == ViewDocTracker::Append::Redraw) {
            relayout();
        } else {
            m_plot->prepareLayout();
            m_plot->requestRepaint(m_plot->columnsOfFrames(std::max<std::int64_t>(0, oldLength), newLength));
        }
        m_strip->update();
        updateScrollBar();
    } else if (const auto* length = std::get_if<viewupdate::Length>(&update)) {
        m_tracker.setLastLength(length->record.lengthFrames);
    }
}

void CVesAnaView::lengthFromStore()
{
    m_doc.setLengthFrames(m_doc.bytesToFrames(m_doc.samples().length()));
    m_tracker = ViewDocTracker(m_doc.effectiveTimeExp25(), m_doc.format().samplesPerSec);
    m_tracker.setLastLength(m_doc.lengthFrames());
    m_plot->prepareLayout();
    updateScrollBar();
    m_zoom.scroll(AnaViewZoom::Scroll::RightEnd, m_doc.lengthFrames(), m_plot->layout().samplesPerPlot, samplesPerTick());
    relayout();
}

void CVesAnaView::keyPressEvent(QKeyEvent* event)
{
    using S = AnaViewZoom::Scroll;
    switch (event->key()) {
    case Qt::Key_PageUp: scroll(S::PageLeft); return;
    case Qt::Key_PageDown: scroll(S::PageRight); return;
    case Qt::Key_Home: scroll(S::LeftEnd); return;
    case Qt::Key_End: scroll(S::RightEnd); return;
    default: break;
    }
    QWidget::keyPressEvent(event);
}
