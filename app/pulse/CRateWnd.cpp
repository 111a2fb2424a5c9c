#include "pulse/CRateWnd.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "pulse/CAnaRateSet.h"
#include "pulse/CRatePlot.h"

#include <QPainter>

#include <algorithm>

CRateWnd::CRateWnd(CVesSoundDoc& doc, const VesRateParms& parms, int slot, QWidget* parent)
    : CMeasureWnd(doc, slot,
                  QString::fromLatin1(parms.m_intervalMode ? "Pulse Interval Analysis" : "Pulse Length Analysis"),
                  QString::fromLatin1(parms.m_intervalMode ? "Pulse Interval Analysis" : "Pulse Length Analysis"),
                  QSize(kDefaultWidth, kDefaultHeight), QStringLiteral("Rate menue"), parent),
      m_parms(parms)
{
    m_hist.intervalMode = parms.m_intervalMode;
    m_thresholdAutomatic = parms.m_threshold <= 0;
    m_plot = new CRatePlot(this);
    m_plot->picture().histogram = &m_hist;
    setPlot(m_plot, {{kAutomaticSettings, "Automatic settings", true},
                     {kUpdateThreshold, "Update threshold", false}});
    commands().on(kAutomaticSettings, [this](int) {
        m_parms.m_autoCalc = !m_parms.m_autoCalc;
        recalculate();
    }, [this](int, CommandState& s) { s.checked = m_parms.m_autoCalc; });
    commands().on(kUpdateThreshold, [this](int) {
        m_parms.m_autoCalc = false;
        recalculate();
        emit levelTargetRequested(this->slot());
    });
}

CRateWnd::~CRateWnd()
{
    stopCalculation();
}

void CRateWnd::setRange(std::int64_t first, std::int64_t last, ChannelSel channel)
{
    const std::int64_t length = doc().lengthFrames();
    m_first = std::clamp<std::int64_t>(first, 0, std::max<std::int64_t>(0, length));
    m_last = last < 0 ? -1 : std::clamp<std::int64_t>(last, 0, std::max<std::int64_t>(0, length));
    if (doc().format().channels >= 2) {
        m_parms.m_leftChan = channel != ChannelSel::Right;
        m_parms.m_rightChan = channel != ChannelSel::Left;
    }
    recalculate();
}

void CRateWnd::setDetectionLevel(std::int64_t level)
{
    m_parms.m_threshold = RateLevelToThreshold(level);
    m_thresholdAutomatic = false;
    stopCalculation();
    m_hist.threshold = m_parms.m_threshold;
    recalculate();
}

std::int64_t CRateWnd::levelCursorValue() const
{
    const std::int32_t t = m_hist.threshold >= 0 ? static_cast<std::int32_t>(m_hist.threshold) : m_parms.m_threshold;
    return RateThresholdToLevel(std::max<std::int32_t>(0, t));
}

ChannelSel CRateWnd::analysedChannel() const
{
    if (doc().format().channels < 2)
        return ChannelSel::Left;
    return m_hist.channel == ChannelIndex::Right ? ChannelSel::Right : ChannelSel::Left;
}

void CRateWnd::recalculate()
{
    stopCalculation();
    if (closed())
        return;
    if (m_thresholdAutomatic && m_parms.m_threshold <= 0)
        m_hist.threshold = -1;
    m_hist.prepare(m_parms, doc(), m_first, m_last);
    m_hist.intervalMode = m_parms.m_intervalMode;
    std::string title = m_hist.title();
    setWindowTitle(QString::fromStdString(title));
    m_plot->setStatus("Calculating...");
    updateFoot();
    // The run works on its own copies of the histogram and the record.
    struct Run {
        RateHistogram hist;
        VesRateParms parms;
        bool ok = false;
    };
    auto r = std::make_shared<Run>(Run{m_hist, m_parms, false});
    CVesSoundDoc* d = &doc();
    const bool started = startJob(
        [r, d](vkit::BackgroundJob::Control& control) { r->ok = r->hist.calculate(*d, r->parms, &control.stopFlag()); },
        [this, r] {
            if (!r->ok)
                return false;
            m_hist = r->hist;
            // What the calculation derives with automatic settings; the rest of the
            // record stays as it is now.
            if (r->parms.m_autoCalc) {
                m_parms.m_histStart = r->parms.m_histStart;
                m_parms.m_histEnd = r->parms.m_histEnd;
                m_parms.m_barAnt = r->parms.m_barAnt;
            }
            m_parms.m_threshold = r->parms.m_threshold;
            if (r->hist.thresholdFromData)
                m_thresholdAutomatic = true;
            m_plot->setStatus("");
            updateFoot();
            return true;
        });
    if (!started)
        m_plot->setStatus("Can't start histogram calculation (CreateThread failed)!");
}

void CRateWnd::updateFoot()
{
    char buf[96];
    const double a = static_cast<double>(doc().framesToRealMicros(m_hist.firstFrame)) / 1e6;
    const double b = static_cast<double>(doc().framesToRealMicros(m_hist.lastFrame)) / 1e6;
    vkit::snprintfC(buf, sizeof buf, "     %.3f s - %.3f s", a, b);
    m_plot->picture().rangeText = buf;
    m_plot->update();
}

void CRateWnd::paintPicture(QPainter& p, const QRectF& target, double unitsPerTwip) const
{
    RatePicture pic = m_plot->picture();
    pic.status.clear();
    pic.marker.reset();
    RatePlotPainter(pic, target, unitsPerTwip).paint(p);
}

bool CRateWnd::editSettings()
{
    CAnaRateSet dlg(m_parms, m_thresholdAutomatic, this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_parms = dlg.parms();
    m_thresholdAutomatic = dlg.thresholdAutomatic();
    stopCalculation();
    m_hist.threshold = m_thresholdAutomatic ? -1 : m_parms.m_threshold;
    recalculate();
    return true;
}

