#include "records/VesAnaParms.h"

#include "core/ByteOrder.h"
#include "records/RecordBytes.h"
#include "records/SettingsValues.h"
#include "records/VesNameTables.h"
#include "records/VesRecData.h"

#include <algorithm>

using VkitXML::Node;
using namespace vesrec;

namespace {

// The fields up to FftOverLap, common to the 80-byte and the 1968-byte form.
void putHead(std::uint8_t* p, const VesAnaParms& a)
{
    writeLeI32(p + 0, a.m_release);
    writeLeI32(p + 4, a.m_version);
    p[8] = a.m_ampPlot ? 1 : 0;
    p[9] = a.m_ampCont ? 1 : 0;
    p[10] = a.m_spectPlot ? 1 : 0;
    p[11] = a.m_leftChan ? 1 : 0;
    p[12] = a.m_rightChan ? 1 : 0;
    p[13] = a.m_scale ? 1 : 0;
    p[14] = p[15] = 0;
    writeLeI64(p + 16, a.m_plotSize);
    writeLeI64(p + 24, a.m_spectMin);
    writeLeI64(p + 32, a.m_spectMax);
    writeLeI64(p + 40, a.m_ampMin);
    writeLeI64(p + 48, a.m_ampMax);
    writeLeI64(p + 56, a.m_plotStart);
    writeLeI64(p + 64, a.m_plotEnd);
    writeLeI32(p + 72, a.m_fftSize);
    writeLeI32(p + 76, a.m_fftOverLap);
}

void getHead(const std::uint8_t* p, VesAnaParms& a)
{
    a.m_release = readLeI32(p + 0);
    a.m_version = readLeI32(p + 4);
    a.m_ampPlot = p[8] != 0;
    a.m_ampCont = p[9] != 0;
    a.m_spectPlot = p[10] != 0;
    a.m_leftChan = p[11] != 0;
    a.m_rightChan = p[12] != 0;
    a.m_scale = p[13] != 0;
    a.m_plotSize = readLeI64(p + 16);
    a.m_spectMin = readLeI64(p + 24);
    a.m_spectMax = readLeI64(p + 32);
    a.m_ampMin = readLeI64(p + 40);
    a.m_ampMax = readLeI64(p + 48);
    a.m_plotStart = readLeI64(p + 56);
    a.m_plotEnd = readLeI64(p + 64);
    a.m_fftSize = readLeI32(p + 72);
    a.m_fftOverLap = readLeI32(p + 76);
}

}  // namespace

std::vector<std::uint8_t> VesAnaParms::toBytes() const
{
    std::vector<std::uint8_t> b(kFixedSize, 0);
    std::uint8_t* p = b.data();
    putHead(p, *this);
    writeLeI32(p + 80, m_fftThresHold);
    writeLeI32(p + 84, m_fftWindow);
    writeLeI32(p + 88, m_colorScheme);
    writeLeI32(p + 92, m_contrast);
    writeLeI32(p + 96, m_invColors ? 1 : 0);
    writeLeI32(p + 100, m_fontSize);
    writeLeI32(p + 104, m_freqSize);
    writeLeI32(p + 108, m_freqPlot);
    writeLeI32(p + 112, m_freqThreshold);
    writeLeI32(p + 116, m_freqPlotType);
    writeLeI32(p + 120, m_freqGridX);
    writeLeI32(p + 124, m_freqGridY);
    writeLeI32(p + 128, m_spectGridX);
    writeLeI32(p + 132, m_spectGridY);
    writeLeI32(p + 136, m_oscGridX);
    writeLeI32(p + 140, m_oscGridY);
    m_colorMap.toBytes(p + kColorMapOffset, kFixedSize - kColorMapOffset);
    return b;
}

bool VesAnaParms::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kFixedSize)
        return false;
    const std::uint8_t* p = bytes.data();
    getHead(p, *this);
    m_fftThresHold = readLeI32(p + 80);
    m_fftWindow = readLeI32(p + 84);
    m_colorScheme = readLeI32(p + 88);
    m_contrast = readLeI32(p + 92);
    m_invColors = readLe32(p + 96) != 0;
    m_fontSize = readLeI32(p + 100);
    m_freqSize = readLeI32(p + 104);
    m_freqPlot = readLeI32(p + 108);
    m_freqThreshold = readLeI32(p + 112);
    m_freqPlotType = readLeI32(p + 116);
    m_freqGridX = readLeI32(p + 120);
    m_freqGridY = readLeI32(p + 124);
    m_spectGridX = readLeI32(p + 128);
    m_spectGridY = readLeI32(p + 132);
    m_oscGridX = readLeI32(p + 136);
    m_oscGridY = readLeI32(p + 140);
    m_colorMap.fromBytesPrefix(p + kColorMapOffset, kFixedSize - kColorMapOffset);
    return true;
}

bool VesAnaParms::fromOldBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kOldFixedSize)
        return false;
    getHead(bytes.data(), *this);
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
    auto n = std::make_unique<Node>(kXmlName);
    n->addChildElement("Release", m_release);
    n->addChildElement("Version", m_version);
    n->addChildElement("AmpPlot", std::int32_t{m_ampPlot});
    n->addChildElement("AmpCont", std::int32_t{m_ampCont});
    n->addChildElement("SpectPlot", std::int32_t{m_spectPlot});
    n->addChildElement("LeftChan", std::int32_t{m_leftChan});
    n->addChildElement("RightChan", std::int32_t{m_rightChan});
    n->addChildElement("Scale", std::int32_t{m_scale});
    n->addChildElement("PlotSize", m_plotSize);
    n->addChildElement("SpectMin", m_spectMin);
    n->addChildElement("SpectMax", m_spectMax);
    n->addChildElement("AmpMin", m_ampMin);
    n->addChildElement("AmpMax", m_ampMax);
    n->addChildElement("PlotStart", m_plotStart);
    n->addChildElement("PlotEnd", m_plotEnd);
    n->addChildElement("FftSize", m_fftSize);
    n->addChildElement("FftOverLap", m_fftOverLap);
    n->addChildElement("FftThresHold", m_fftThresHold);
    n->addChildElement("FftWindow", m_fftWindow);
    n->addChildElement("ColorScheme", m_colorScheme);
    n->addChildElement("Contrast", m_contrast);
    n->addChildElement("InvColors", std::int32_t{m_invColors});
    n->addChildElement("FontSize", m_fontSize);
    n->addChildElement("FreqSize", m_freqSize);
    n->addChildElement("FreqPlot", m_freqPlot);
    n->addChildElement("FreqThreshold", m_freqThreshold);
    n->addChildElement("FreqPlotType", m_freqPlotType);
    n->addChildElement("FreqGridX", m_freqGridX);
    n->addChildElement("FreqGridY", m_freqGridY);
    n->addChildElement("OscGridX", m_oscGridX);
    n->addChildElement("OscGridY", m_oscGridY);
    n->addChildElement("SpectGridX", m_spectGridX);
    n->addChildElement("SpectGridY", m_spectGridY);
    n->addChildElement("FreqAllTicksLabels", std::int32_t{m_freqAllTicksLabels});
    n->addChild(m_colorMap.toXml());
    return n;
}

bool VesAnaParms::fromXml(const Node& node)
{
    const Node* e = findRecordElement(node, kXmlName);
    if (!e)
        return false;
    e->getInt("Release", m_release);
    e->getInt("Version", m_version);
    e->getFlag("AmpPlot", m_ampPlot);
    e->getFlag("AmpCont", m_ampCont);
    e->getFlag("SpectPlot", m_spectPlot);
    e->getFlag("LeftChan", m_leftChan);
    e->getFlag("RightChan", m_rightChan);
    e->getFlag("Scale", m_scale);
    e->getInt64("PlotSize", m_plotSize);
    e->getInt64("SpectMin", m_spectMin);
    e->getInt64("SpectMax", m_spectMax);
    e->getInt64("AmpMin", m_ampMin);
    e->getInt64("AmpMax", m_ampMax);
    e->getInt64("PlotStart", m_plotStart);
    e->getInt64("PlotEnd", m_plotEnd);
    e->getInt("FftSize", m_fftSize);
    e->getInt("FftOverLap", m_fftOverLap);
    e->getInt("FftThresHold", m_fftThresHold);
    e->getInt("FftWindow", m_fftWindow);
    e->getInt("ColorScheme", m_colorScheme);
    e->getInt("Contrast", m_contrast);
    e->getFlag("InvColors", m_invColors);
    e->getInt("FontSize", m_fontSize);
    e->getInt("FreqSize", m_freqSize);
    e->getInt("FreqPlot", m_freqPlot);
    e->getInt("FreqThreshold", m_freqThreshold);
    e->getInt("FreqPlotType", m_freqPlotType);
    e->getInt("FreqGridX", m_freqGridX);
    e->getInt("FreqGridY", m_freqGridY);
    e->getInt("OscGridX", m_oscGridX);
    e->getInt("OscGridY", m_oscGridY);
    e->getInt("SpectGridX", m_spectGridX);
    e->getInt("SpectGridY", m_spectGridY);
    e->getFlag("FreqAllTicksLabels", m_freqAllTicksLabels);
    if (const Node* map = e->findChild(VesColorMap::kXmlName))
        m_colorMap.fromXml(*map);
    return true;
}

void VesAnaParms::load(const vkit::RegCls& reg)
{
    const char* key = kRegKey;
    if (const auto amp = readOptionalInt(reg, key, "Amp"))
        m_ampPlot = m_ampCont = (*amp == 1);
    m_spectPlot = readFlag(reg, key, "Spect", m_spectPlot);
    m_leftChan = readFlag(reg, key, "LeftChan", m_leftChan);
    m_rightChan = readFlag(reg, key, "RightChan", m_rightChan);
    m_scale = readFlag(reg, key, "Scale", m_scale);
    bool plotSizeFound = false;
    if (const auto us = readOptionalInt(reg, key, "PlotSizemySec")) {
        m_plotSize = *us;
        plotSizeFound = true;
    } else if (const auto ms = readOptionalInt(reg, key, "PlotSize")) {
        m_plotSize = mulSaturated(*ms, 1000);
        plotSizeFound = true;
    }
    if (plotSizeFound)
        m_fftThresHold = readInt32(reg, key, "FftThresHold", m_fftThresHold);
    m_fftWindow = readInt32(reg, key, "FftWindow", m_fftWindow);
    m_colorScheme = readInt32(reg, key, "ColorSchema", m_colorScheme);
    m_contrast = readInt32(reg, key, "Contrast", m_contrast);
    m_invColors = readFlag(reg, key, "InvColors", m_invColors);
    m_fontSize = readInt32(reg, key, "FontSize", m_fontSize);
    m_freqSize = readInt32(reg, key, "FreqSize", m_freqSize);
    m_freqPlot = readInt32(reg, key, "FreqPlot", m_freqPlot);
    m_freqThreshold = readInt32(reg, key, "FreqThreshold", m_freqThreshold);
    m_freqPlotType = readInt32(reg, key, "FreqPlotType", m_freqPlotType);
    m_freqGridX = readInt32(reg, key, "FreqGridX", m_freqGridX);
    m_freqGridY = readInt32(reg, key, "FreqGridY", m_freqGridY);
    m_oscGridX = readInt32(reg, key, "OscGridX", m_oscGridX);
    m_oscGridY = readInt32(reg, key, "OscGridY", m_oscGridY);
    m_spectGridX = readInt32(reg, key, "SpectGridX", m_spectGridX);
    m_spectGridY = readInt32(reg, key, "SpectGridY", m_spectGridY);
    m_freqAllTicksLabels = readFlag(reg, key, "FreqAllTicksLabels", m_freqAllTicksLabels);
    if (const auto map = reg.readBinary(key, kUserColorName); map && map->size() == VesColorMap::kFixedSize)
        m_colorMap.fromBytes(*map);
    repair();
}

bool VesAnaParms::save(vkit::RegCls& reg) const
{
    KeyWriter w(reg, kRegKey);
    w.flag("Amp", m_ampPlot);
    w.flag("Amp", m_ampCont);  // shares the name: this second write is what stays
    w.flag("Spect", m_spectPlot);
    w.flag("LeftChan", m_leftChan);
    w.flag("RightChan", m_rightChan);
    w.flag("Scale", m_scale);
    w.integer("PlotSizemySec", m_plotSize);
    w.integer("PlotStartmySec", m_plotStart);
    w.integer("PlotEndmySec", m_plotEnd);
    w.integer("PlotSize", m_plotSize / 1000);
    w.integer("PlotStart", m_plotStart / 1000);
    w.integer("PlotEnd", m_plotEnd / 1000);
    w.integer("SpectMin", m_spectMin);
    w.integer("SpectMax", m_spectMax);
    w.integer("AmpMin", m_ampMin);
    w.integer("AmpMax", m_ampMax);
    w.integer("FftThresHold", m_fftThresHold);
    w.integer("FftWindow", m_fftWindow);
    w.integer("ColorSchema", m_colorScheme);
    w.integer("Contrast", m_contrast);
    w.flag("InvColors", m_invColors);
    w.integer("FontSize", m_fontSize);
    w.integer("FreqSize", m_freqSize);
    w.integer("FreqPlot", m_freqPlot);
    w.integer("FreqThreshold", m_freqThreshold);
    w.integer("FreqPlotType", m_freqPlotType);
    w.integer("FreqGridX", m_freqGridX);
    w.integer("FreqGridY", m_freqGridY);
    w.integer("OscGridX", m_oscGridX);
    w.integer("OscGridY", m_oscGridY);
    w.integer("SpectGridX", m_spectGridX);
    w.integer("SpectGridY", m_spectGridY);
    w.flag("FreqAllTicksLabels", m_freqAllTicksLabels);
    const auto map = m_colorMap.toBytes();
    w.binary(kUserColorName, map.data(), map.size());
    return w.finish();
}

namespace {

constexpr std::int64_t kMaxFrequencyHz = 100000000;
constexpr std::int64_t kMaxPlotSizeMicros = 1000000000000;  // 11.6 days
constexpr std::int32_t kMinFftSize = 16;
constexpr std::int32_t kMaxFftSize = 4096;  // the frame buffers of the spectrogram

std::int32_t largestPowerOfTwoAtMost(std::int32_t v)
{
    std::int32_t p = 1;
    while (p <= v / 2)
        p *= 2;
    return p;
}

void repairGrid(std::int32_t& v, std::int32_t low, std::int32_t outside)
{
    if (v < low || v > 5)
        v = outside;
}

}  // namespace

void VesAnaParms::repair(std::int64_t rate)
{
    // Beyond the settings' 10 hours a view may show a whole recording; the
    // upper limit keeps the time axis to a few hundred ticks.
    m_plotSize = std::clamp(m_plotSize, std::int64_t{1}, kMaxPlotSizeMicros);

    if (m_spectMin < 0)
        m_spectMin = 0;
    m_spectMin = std::min(m_spectMin, kMaxFrequencyHz - 1);
    m_spectMax = std::min(m_spectMax, kMaxFrequencyHz);
    if (m_spectMax < 0 && rate > 0)
        m_spectMax = rate / 2;
    // An empty frequency range would divide by zero everywhere it is used.
    if (m_spectMax >= 0 && m_spectMax <= m_spectMin) {
        m_spectMin = 0;
        if (m_spectMax <= 0)
            m_spectMax = rate > 0 ? std::max<std::int64_t>(1, rate / 2) : -1;
    }

    if (m_ampMin < -10000)
        m_ampMin = -10000;
    if (m_ampMax < -10000 || m_ampMax > 10000)
        m_ampMax = 10000;
    if (m_ampMin >= m_ampMax) {
        if (m_ampMax - 1 < -10000) {
            m_ampMin = -10000;
            m_ampMax = -9999;
        } else {
            m_ampMin = m_ampMax - 1;
        }
    }

    // The FFT works on powers of two.
    if (m_fftSize != 0)
        m_fftSize = largestPowerOfTwoAtMost(std::clamp(m_fftSize, kMinFftSize, kMaxFftSize));
    // A hop of (100 - overlap)% must not go backwards.
    m_fftOverLap = std::clamp(m_fftOverLap, -1, 99);
    m_fftThresHold = std::clamp(m_fftThresHold, 0, 32);
    m_contrast = std::clamp(m_contrast, -10, 10);
    if ((m_colorScheme < 0 || m_colorScheme > 7) && m_colorScheme != vesnames::kUserColorScheme)
        m_colorScheme = 0;
    m_colorMap.m_colorMapRader = std::clamp<std::int32_t>(m_colorMap.m_colorMapRader, 0, static_cast<std::int32_t>(VesColorMap::kBands));

    if (m_freqThreshold < 0 || m_freqThreshold > 99)
        m_freqThreshold = 5;
    if (m_freqSize < 1)
        m_freqSize = 50;
    m_freqSize = std::min(m_freqSize, 16000);
    m_fontSize = std::clamp(m_fontSize, 1, 72);

    repairGrid(m_freqGridX, 0, 0);
    repairGrid(m_spectGridX, 0, 0);
    repairGrid(m_oscGridX, 0, 0);
    repairGrid(m_oscGridY, 0, 0);
    repairGrid(m_freqGridY, -1, -1);
    repairGrid(m_spectGridY, -1, -1);
}
