#include "records/VesAnaParms.h"

#include "records/RecordFieldIo.h"
#include "records/VesNameTables.h"
#include "records/VesRecData.h"

#include <algorithm>
#include <limits>
#include <optional>

using VkitXML::Node;
using namespace vesrec;

namespace {

constexpr std::int64_t kMaxFrequencyHz = 100000000;
constexpr std::int64_t kMaxPlotSizeMicros = 1000000000000;  // 11.6 days
constexpr std::int32_t kMinFftSize = 16;
constexpr std::int32_t kMaxFftSize = 4096;  // the frame buffers of the spectrogram
constexpr std::int64_t kAmpFullScale = 10000;

constexpr const char* kPlotSizeMicrosName = "PlotSizemySec";
constexpr const char* kPlotSizeMillisName = "PlotSize";

// The plot size, start and end in µs, then again in ms for older readers.
void savePlotTimes(const VesAnaParms& a, KeyWriter& w)
{
    w.integer(kPlotSizeMicrosName, a.m_plotSize);
    w.integer("PlotStartmySec", a.m_plotStart);
    w.integer("PlotEndmySec", a.m_plotEnd);
    w.integer(kPlotSizeMillisName, a.m_plotSize / 1000);
    w.integer("PlotStart", a.m_plotStart / 1000);
    w.integer("PlotEnd", a.m_plotEnd / 1000);
}

// The plot size in µs, else in ms as older programs stored it.
std::optional<std::int64_t> storedPlotSize(const vkit::RegCls& reg, std::string_view key)
{
    if (const auto us = readOptionalInt(reg, key, kPlotSizeMicrosName))
        return us;
    if (const auto ms = readOptionalInt(reg, key, kPlotSizeMillisName))
        return mulSaturated(*ms, 1000);
    return std::nullopt;
}

void loadPlotSize(VesAnaParms& a, const vkit::RegCls& reg, std::string_view key)
{
    if (const auto us = storedPlotSize(reg, key))
        a.m_plotSize = *us;
}

// The threshold belongs to the plot size: without one it is not taken.
bool plotSizeStored(const vkit::RegCls& reg, std::string_view key)
{
    return storedPlotSize(reg, key).has_value();
}

using A = VesAnaParms;

// In the order of the XML children and of the settings values. The fixed
// layout is that of the record's image in memory: each field in its own size,
// flags in one byte, 64-bit fields at multiples of 8; the user colour map
// follows at kColorMapOffset.
constexpr Field<A> kAnaFields[] = {
    field<&A::m_release>().element("Release").bytes(0, 4),
    field<&A::m_version>().element("Version").bytes(4, 4),
    // The two oscillogram flags share one settings value: the second write
    // stays, and reading sets both from it.
    field<&A::m_ampPlot>().element("AmpPlot").bytes(8, 1).settings("Amp"),
    field<&A::m_ampCont>().element("AmpCont").bytes(9, 1).settings("Amp"),
    field<&A::m_spectPlot>().element("SpectPlot").bytes(10, 1).settings("Spect"),
    field<&A::m_leftChan>().element("LeftChan").bytes(11, 1).settings("LeftChan"),
    field<&A::m_rightChan>().element("RightChan").bytes(12, 1).settings("RightChan"),
    field<&A::m_scale>().element("Scale").bytes(13, 1).settings("Scale"),
    // Beyond the dialogs' 10 hours a view may show a whole recording; the
    // upper limit keeps the time axis to a few hundred ticks.
    field<&A::m_plotSize>()
        .element("PlotSize")
        .bytes(16, 8)
        .settings(kPlotSizeMicrosName)
        .settingsHook(savePlotTimes, loadPlotSize)
        .clamp(1, kMaxPlotSizeMicros),
    field<&A::m_spectMin>().element("SpectMin").bytes(24, 8).infoOnly("SpectMin").clamp(0, kMaxFrequencyHz - 1),
    field<&A::m_spectMax>().element("SpectMax").bytes(32, 8).infoOnly("SpectMax").notAbove(kMaxFrequencyHz),
    field<&A::m_ampMin>().element("AmpMin").bytes(40, 8).infoOnly("AmpMin").notBelow(-kAmpFullScale),
    field<&A::m_ampMax>().element("AmpMax").bytes(48, 8).infoOnly("AmpMax").valid(-kAmpFullScale, kAmpFullScale,
                                                                                  kAmpFullScale),
    // The settings hold these in savePlotTimes, for information.
    field<&A::m_plotStart>().element("PlotStart").bytes(56, 8),
    field<&A::m_plotEnd>().element("PlotEnd").bytes(64, 8),
    field<&A::m_fftSize>().element("FftSize").bytes(72, 4),
    // A hop of (100 - overlap)% must not go backwards. The old 80-byte view
    // records end with this field.
    field<&A::m_fftOverLap>().element("FftOverLap").bytes(76, 4).clamp(-1, 99),
    field<&A::m_fftThresHold>()
        .element("FftThresHold")
        .bytes(80, 4)
        .settings("FftThresHold")
        .readIf(plotSizeStored)
        .clamp(0, 32),
    field<&A::m_fftWindow>().element("FftWindow").bytes(84, 4).settings("FftWindow"),
    field<&A::m_colorScheme>().element("ColorScheme").bytes(88, 4).settings("ColorSchema"),
    field<&A::m_contrast>().element("Contrast").bytes(92, 4).settings("Contrast").clamp(-10, 10),
    field<&A::m_invColors>().element("InvColors").bytes(96, 4).settings("InvColors"),
    field<&A::m_fontSize>().element("FontSize").bytes(100, 4).settings("FontSize").clamp(1, 72),
    field<&A::m_freqSize>().element("FreqSize").bytes(104, 4).settings("FreqSize").limits(1, 16000, 50, 16000),
    field<&A::m_freqPlot>().element("FreqPlot").bytes(108, 4).settings("FreqPlot"),
    field<&A::m_freqThreshold>().element("FreqThreshold").bytes(112, 4).settings("FreqThreshold").valid(0, 99, 5),
    field<&A::m_freqPlotType>().element("FreqPlotType").bytes(116, 4).settings("FreqPlotType"),
    field<&A::m_freqGridX>().element("FreqGridX").bytes(120, 4).settings("FreqGridX").valid(0, 5, 0),
    field<&A::m_freqGridY>().element("FreqGridY").bytes(124, 4).settings("FreqGridY").valid(-1, 5, -1),
    field<&A::m_oscGridX>().element("OscGridX").bytes(136, 4).settings("OscGridX").valid(0, 5, 0),
    field<&A::m_oscGridY>().element("OscGridY").bytes(140, 4).settings("OscGridY").valid(0, 5, 0),
    field<&A::m_spectGridX>().element("SpectGridX").bytes(128, 4).settings("SpectGridX").valid(0, 5, 0),
    field<&A::m_spectGridY>().element("SpectGridY").bytes(132, 4).settings("SpectGridY").valid(-1, 5, -1),
    // Beyond the fixed form's 1968 bytes: in memory only.
    field<&A::m_freqAllTicksLabels>().element("FreqAllTicksLabels").settings("FreqAllTicksLabels"),
};

std::int32_t largestPowerOfTwoAtMost(std::int32_t v)
{
    std::int32_t p = 1;
    while (p <= v / 2)
        p *= 2;
    return p;
}

}  // namespace

std::span<const Field<VesAnaParms>> VesAnaParms::fields()
{
    return kAnaFields;
}

std::vector<std::uint8_t> VesAnaParms::toBytes() const
{
    std::vector<std::uint8_t> b = recordToBytes(*this);
    m_colorMap.toBytes(b.data() + kColorMapOffset, kFixedSize - kColorMapOffset);
    return b;
}

bool VesAnaParms::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (!recordFromBytes(*this, bytes))
        return false;
    m_colorMap.fromBytesPrefix(bytes.data() + kColorMapOffset, kFixedSize - kColorMapOffset);
    return true;
}

bool VesAnaParms::fromOldBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kOldFixedSize)
        return false;
    fieldsFromBytes(fields(), *this, bytes.data(), kOldFixedSize);
    return true;
}

bool VesAnaParms::convertOldTimeUnits()
{
    if (!(m_release < 3 || (m_release == 3 && m_version == 0)))
        return false;
    for (std::int64_t* v : {&m_plotSize, &m_plotStart, &m_plotEnd})
        if (*v > 0)
            *v = mulSaturated(*v, 1000);
    return true;
}

std::unique_ptr<Node> VesAnaParms::toXml() const
{
    auto n = recordToXml(*this);
    n->addChild(m_colorMap.toXml());
    return n;
}

bool VesAnaParms::fromXml(const Node& node)
{
    const Node* e = recordFromXml(*this, node);
    if (!e)
        return false;
    if (const Node* map = e->findChild(VesColorMap::kXmlName))
        m_colorMap.fromXml(*map);
    return true;
}

void VesAnaParms::load(const vkit::RegCls& reg)
{
    loadFields(fields(), *this, reg, kRegKey);
    if (const auto map = reg.readBinary(kRegKey, kUserColorName); map && map->size() == VesColorMap::kFixedSize)
        m_colorMap.fromBytes(*map);
    repair();
}

bool VesAnaParms::save(vkit::RegCls& reg) const
{
    KeyWriter w(reg, kRegKey);
    saveFields(fields(), *this, w);
    const auto map = m_colorMap.toBytes();
    w.binary(kUserColorName, map.data(), map.size());
    return w.finish();
}

void VesAnaParms::repair(std::int64_t rate)
{
    // Each field on its own by the ranges of the table, then the pairs and
    // the sets of values that a range does not say.
    applyRanges(fields(), *this);
    applyRanges(VesColorMap::fields(), m_colorMap);

    if (m_spectMax < 0 && rate > 0)
        m_spectMax = rate / 2;
    // An empty frequency range would divide by zero everywhere it is used.
    if (m_spectMax >= 0 && m_spectMax <= m_spectMin) {
        m_spectMin = 0;
        if (m_spectMax <= 0)
            m_spectMax = rate > 0 ? std::max<std::int64_t>(1, rate / 2) : -1;
    }

    if (m_ampMin >= m_ampMax) {
        if (m_ampMax - 1 < -kAmpFullScale) {
            m_ampMin = -kAmpFullScale;
            m_ampMax = -kAmpFullScale + 1;
        } else {
            m_ampMin = m_ampMax - 1;
        }
    }

    // The FFT works on powers of two.
    if (m_fftSize != 0)
        m_fftSize = largestPowerOfTwoAtMost(std::clamp(m_fftSize, kMinFftSize, kMaxFftSize));
    if ((m_colorScheme < 0 || m_colorScheme > 7) && m_colorScheme != vesnames::kUserColorScheme)
        m_colorScheme = 0;
}
