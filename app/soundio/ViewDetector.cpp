#include "soundio/ViewDetector.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "filter/FilterDesign.h"
#include "soundio/CVirtStartDlg.h"
#include "soundio/SoundDevices.h"
#include "soundio/VirtualDetector.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

ViewDetector::ViewDetector(CVesAnaView& view, CommandHandlers& commands) : QObject(&view), m_view(view)
{
    setObjectName(QStringLiteral("ViewDetector"));
    // Installed after the playback's filters, so these see the arrows first.
    view.installEventFilter(this);
    if (view.plot())
        view.plot()->installEventFilter(this);
    commands.on(cmd::VirtualDetector, [this](int) { toggle(); },
                [this](int, CommandState& s) {
                    s.enabled = m_view.doc().lengthFrames() > 0 && !soundBusy();
                    s.checked = m_on;
                });
}

ViewDetector* ViewDetector::of(CVesAnaView* view)
{
    return view ? view->findChild<ViewDetector*>(QStringLiteral("ViewDetector"), Qt::FindDirectChildrenOnly) : nullptr;
}

std::uint32_t ViewDetector::playbackRateHz() const
{
    return detector::playbackRateHz(m_view.doc().format().samplesPerSec, m_speedFactor, m_useSpeedFactor);
}

bool ViewDetector::toggle()
{
    if (m_on) {
        switchOff();
        return true;
    }
    CVesSoundDoc& doc = m_view.doc();
    if (m_speedFactor <= 0)
        m_speedFactor = detector::proposedSpeedFactor(doc.effectiveTimeExp25());
    const double nyquistHz = filterNyquistHz(doc.format().samplesPerSec, doc.effectiveTimeExp25());
    CVirtStartDlg dlg(m_speedFactor, m_useSpeedFactor, doc.format().samplesPerSec, nyquistHz, &m_view);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_speedFactor = dlg.speedFactor();
    m_useSpeedFactor = dlg.useSpeedFactor();
    m_record = dlg.filterRecord();
    m_sections = dlg.filterSections();
    m_on = true;

    // The detector cursor: at the selection's earlier edge, else at the
    // cursor, else at the first frame shown. Its frequency is a quarter of
    // the real sampling rate, or the cursor's own frequency when the cursor
    // is set in a frequency pane.
    const double quarter = static_cast<double>(m_view.effectiveRateHz()) / 4;
    const CursorRecord& c = m_view.cursorRecord();
    std::int64_t frame = std::max<std::int64_t>(0, m_view.parms().m_plotStart);
    double hz = quarter;
    if (m_view.selection()) {
        frame = m_view.selection()->first();
    } else if (c.isSet()) {
        frame = c.position;
        if (c.inFrequencyPane && c.hasValue && c.value > 0)
            hz = static_cast<double>(c.value);
    }
    m_frame = std::max<std::int64_t>(0, frame);
    m_tuningHz = std::round(hz);
    showCursor();
    return true;
}

void ViewDetector::switchOff()
{
    m_on = false;
    m_frame = -1;
    m_dragging = false;
    showCursor();
}

void ViewDetector::showCursor()
{
    if (m_view.plot())
        m_view.plot()->setDetectorCursor(m_on ? m_frame : -1, m_tuningHz);
}

bool ViewDetector::insidePlot(std::int64_t frame) const
{
    const CAnaPlot* plot = m_view.plot();
    if (!plot || !plot->painter())
        return false;
    const PlotLayout& L = plot->layout();
    return frame >= 0 && frame < m_view.doc().lengthFrames() && frame >= L.plotStart &&
           frame <= L.plotStart + L.samplesPerPlot;
}

bool ViewDetector::setCursor(std::int64_t frame, double tuningHz)
{
    if (!m_on)
        return false;
    if (playing())
        frame = m_frame;  // while listening only the tuning moves
    else if (!insidePlot(frame))
        return false;
    const CAnaPlot* plot = m_view.plot();
    const PlotLayout& L = plot->layout();
    if (tuningHz <= 0 || tuningHz < static_cast<double>(L.spectMin) || tuningHz > static_cast<double>(L.spectMax))
        return false;
    m_frame = frame;
    m_tuningHz = std::round(tuningHz);
    if (m_source)
        m_source->setTuningHz(static_cast<std::int64_t>(m_tuningHz));
    showCursor();
    return true;
}

bool ViewDetector::retune(int direction)
{
    const CAnaPlot* plot = m_view.plot();
    if (!m_on || !plot || !plot->painter())
        return false;
    const PlotLayout& L = plot->layout();
    // Two pixels along the frequency axis of the first channel's pane, at the
    // middle of the plot.
    const double x = plot->painter()->sampleToDeviceX(static_cast<double>(L.plotStart + L.samplesPerPlot / 2));
    const double y = plot->painter()->frequencyToDeviceY(m_tuningHz, 0) - 2.0 * direction;
    const PlotPoint pt = plot->pointAt(QPoint(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))));
    double hz = pt.hasFrequency ? std::round(pt.frequencyHz) : -1;
    if (hz < 0)
        return false;
    if ((direction > 0 && hz <= m_tuningHz) || (direction < 0 && hz >= m_tuningHz))
        hz = m_tuningHz + 2.0 * direction;
    return setCursor(m_frame, hz);
}

bool ViewDetector::stepTime(int direction)
{
    const CAnaPlot* plot = m_view.plot();
    if (!m_on || playing() || !plot)
        return false;
    const std::int64_t step = std::max<std::int64_t>(1, plot->layout().samplesPerColumn);
    return setCursor(m_frame + direction * step, m_tuningHz);
}

std::shared_ptr<DetectorSource> ViewDetector::startPlayback(std::int64_t first, std::int64_t end)
{
    CVesSoundDoc& doc = m_view.doc();
    DetectorSetup setup;
    setup.format = doc.format();
    // A stereo recording is heard on the channel the view works on: the
    // right one when the selection or the view shows only that one.
    const PlotLayout* L = m_view.plot() ? &m_view.plot()->layout() : nullptr;
    const bool right = doc.format().channels >= 2 &&
                       ((m_view.selection() && m_view.selection()->channel == ChannelSel::Right) ||
                        (!m_view.selection() && L && L->stereo && !L->bothChannels && !L->channels.empty() &&
                         L->channels.front().channel == ChannelIndex::Right));
    setup.channel = right ? ChannelIndex::Right : ChannelIndex::Left;
    // Every k-th frame is heard either way; without the speed factor's rate
    // the detector plays k times faster than real time.
    setup.speedFactor = m_speedFactor;
    setup.timeExp25 = doc.effectiveTimeExp25();
    setup.filter = m_sections;
    setup.filterOrder = m_record.order;
    const int bits = doc.format().bitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        QMessageBox::warning(&m_view, QStringLiteral("Vesperon"),
                             QStringLiteral("Unknown data format, only 8, 16, 24 and 32 bits data supported."));
        return nullptr;
    }
    m_source = std::make_shared<DetectorSource>(doc.samples(), setup, playbackRateHz(), first, end,
                                                static_cast<std::int64_t>(m_tuningHz));
    m_playStart = first;
    m_frame = first;
    showCursor();
    return m_source;
}

void ViewDetector::followPlay(std::int64_t frame)
{
    if (!m_on || !m_source)
        return;
    m_frame = frame;
    showCursor();
}

void ViewDetector::playEnded(std::int64_t stoppedAt)
{
    m_source.reset();
    if (!m_on)
        return;
    m_frame = stoppedAt >= 0 ? stoppedAt : m_playStart;
    showCursor();
}

bool ViewDetector::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_on)
        return QObject::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const int k = key->key();
        if (key->modifiers() == Qt::NoModifier &&
            (k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_Left || k == Qt::Key_Right)) {
            const bool vertical = k == Qt::Key_Up || k == Qt::Key_Down;
            event->accept();
            // Left/Right while listening do nothing: the detector's rate is fixed.
            if (type == QEvent::KeyPress) {
                if (vertical)
                    retune(k == Qt::Key_Up ? +1 : -1);
                else
                    stepTime(k == Qt::Key_Right ? +1 : -1);
            }
            return true;
        }
    }
    if (watched == m_view.plot() && (type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                                     type == QEvent::MouseButtonRelease)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (type == QEvent::MouseButtonRelease) {
            if (m_dragging && mouse->button() == Qt::LeftButton) {
                m_dragging = false;
                return true;
            }
            return QObject::eventFilter(watched, event);
        }
        if (type == QEvent::MouseButtonPress && mouse->button() != Qt::LeftButton)
            return QObject::eventFilter(watched, event);
        if (type == QEvent::MouseMove && (!m_dragging || !(mouse->buttons() & Qt::LeftButton)))
            return QObject::eventFilter(watched, event);
        const PlotPoint pt = m_view.plot()->pointAt(mouse->position().toPoint());
        if (!pt.hasFrequency) {
            if (type == QEvent::MouseMove)
                return true;  // a drag that leaves the pane keeps the cursor where it was
            return QObject::eventFilter(watched, event);  // the oscillogram works as ever
        }
        m_dragging = true;
        setCursor(pt.sample, pt.frequencyHz);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

