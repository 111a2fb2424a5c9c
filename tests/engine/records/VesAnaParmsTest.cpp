#include "records/VesAnaParms.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using VkitXML::Node;
using vestest::TempDir;

namespace {

std::int64_t le64(const std::vector<std::uint8_t>& b, std::size_t at)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return static_cast<std::int64_t>(v);
}

std::int32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
                                     (static_cast<std::uint32_t>(b[at + 3]) << 24));
}

VesColorMap sampleMap()
{
    VesColorMap m;
    m.m_name = "Bats & moths";
    m.m_colorMapRader = 64;
    m.m_modTime = 133500000000000000;
    for (std::size_t i = 0; i < VesColorMap::kBands; ++i) {
        auto& b = m.m_bands[i];
        const auto k = static_cast<std::int32_t>(i);
        b.m_dbFrom = -1000 * k;
        b.m_dbTo = -1000 * k - 1000;
        b.m_dbStep = -10 - k;
        b.m_count = 3 + k;
        b.m_colFrom = 0x00010203u * static_cast<std::uint32_t>(i + 1);
        b.m_colTo = 0xFFFFFFFFu - static_cast<std::uint32_t>(i);
        b.m_firstPenIx = k * 2;
    }
    return m;
}

// Every field set away from its default.
VesAnaParms sampleParms()
{
    VesAnaParms a;
    a.m_release = 4;
    a.m_version = 3;
    a.m_ampPlot = true;
    a.m_ampCont = true;
    a.m_spectPlot = false;
    a.m_leftChan = false;
    a.m_rightChan = true;
    a.m_scale = false;
    a.m_plotSize = 123456789012;
    a.m_spectMin = 15000;
    a.m_spectMax = 120000;
    a.m_ampMin = -5000;
    a.m_ampMax = 7000;
    a.m_plotStart = 5000000000;
    a.m_plotEnd = 5000100000;
    a.m_fftSize = 512;
    a.m_fftOverLap = 75;
    a.m_fftThresHold = 21;
    a.m_fftWindow = 4;
    a.m_colorScheme = 100;
    a.m_contrast = -3;
    a.m_invColors = true;
    a.m_fontSize = 10;
    a.m_freqSize = 400;
    a.m_freqPlot = 1;
    a.m_freqThreshold = 12;
    a.m_freqPlotType = 1;
    a.m_freqGridX = 2;
    a.m_freqGridY = 3;
    a.m_spectGridX = 4;
    a.m_spectGridY = 5;
    a.m_oscGridX = 1;
    a.m_oscGridY = 2;
    a.m_colorMap = sampleMap();
    a.m_freqAllTicksLabels = true;
    return a;
}

void writeConf(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    vestest::writeFile(path, vestest::Bytes(text.begin(), text.end()));
}

}  // namespace

TEST(VesColorMap, FixedAndXmlFormsRoundTrip)
{
    const VesColorMap m = sampleMap();
    const auto b = m.toBytes();
    ASSERT_EQ(b.size(), VesColorMap::kFixedSize);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[8])), "Bats & moths");
    EXPECT_EQ(le32(b, 40), 64);
    EXPECT_EQ(le32(b, 44), -2);
    EXPECT_EQ(le64(b, 48), 133500000000000000);
    EXPECT_EQ(le32(b, 56 + 63 * 28 + 24), 126) << "FirstPenIx of the last band";
    VesColorMap fixed;
    ASSERT_TRUE(fixed.fromBytes(b));
    EXPECT_EQ(fixed, m);
    EXPECT_FALSE(VesColorMap().fromBytes(std::span(b.data(), b.size() - 1)));

    const auto x = m.toXml();
    EXPECT_EQ(x->findChild("VesColorMapRad")->findChild("colTo")->text(), "4294967295")
        << "colours are written as 64-bit integers";
    VesColorMap back;
    ASSERT_TRUE(back.fromXml(*Node::parse(x->toString())));
    EXPECT_EQ(back, m);
}

TEST(VesColorMap, XmlKeepsTheFirst64BandsAndA31ByteName)
{
    Node map(VesColorMap::kXmlName);
    map.addChildElement("Name", std::string(40, 'n'));
    for (int i = 0; i < 70; ++i)
        map.addChild(std::make_unique<Node>("VesColorMapRad"))->addChildElement("DbFrom", std::int32_t{-i});
    VesColorMap m;
    ASSERT_TRUE(m.fromXml(map));
    EXPECT_EQ(m.m_name, std::string(31, 'n'));
    EXPECT_EQ(m.m_bands[63].m_dbFrom, -63);
    EXPECT_EQ(m.m_bands[63].m_count, 1) << "missing band values keep theirs";
    EXPECT_EQ(m.m_bands[0].m_dbTo, -90);
}

TEST(VesAnaParms, FixedFormLayoutAndRoundTrip)
{
    const VesAnaParms a = sampleParms();
    const auto b = a.toBytes();
    ASSERT_EQ(b.size(), VesAnaParms::kFixedSize);
    EXPECT_EQ(le32(b, 4), 3);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 8, b.begin() + 16),
              (std::vector<std::uint8_t>{1, 1, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(le64(b, 16), 123456789012);
    EXPECT_EQ(le64(b, 56), 5000000000);
    EXPECT_EQ(le64(b, 64), 5000100000);
    EXPECT_EQ(le32(b, 72), 512);
    EXPECT_EQ(le32(b, 76), 75);
    EXPECT_EQ(le32(b, 88), 100);
    EXPECT_EQ(le32(b, 96), 1);
    EXPECT_EQ(le32(b, 140), 2) << "OscGridY";
    EXPECT_EQ(le32(b, 144), 4) << "colour map Release";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[152])), "Bats & moths");
    EXPECT_EQ(le32(b, 1964), -63000) << "DbFrom of band 63 is the last field that fits";

    // Band 63 beyond its DbFrom and FreqAllTicksLabels do not fit into 1968
    // bytes: reading keeps the values the record had.
    VesAnaParms back;
    ASSERT_TRUE(back.fromBytes(b));
    VesAnaParms expected = a;
    const VesColorMapRad fresh;
    expected.m_colorMap.m_bands[63] = fresh;
    expected.m_colorMap.m_bands[63].m_dbFrom = a.m_colorMap.m_bands[63].m_dbFrom;
    expected.m_freqAllTicksLabels = false;
    EXPECT_EQ(back, expected);

    VesAnaParms untouched;
    EXPECT_FALSE(untouched.fromBytes(std::span(b.data(), b.size() - 1)));
    EXPECT_EQ(untouched, VesAnaParms{});
}

TEST(VesAnaParms, OldEightyByteRecordsGiveTheirFieldsAndOldTimeUnitsAreConverted)
{
    VesAnaParms old = sampleParms();
    old.m_release = 2;
    old.m_version = 0;
    old.m_plotSize = 250;  // ms in old records
    old.m_plotStart = 0;
    old.m_plotEnd = -1;
    const auto full = old.toBytes();
    const std::vector<std::uint8_t> record(full.begin(), full.begin() + VesAnaParms::kOldFixedSize);

    VesAnaParms a;
    EXPECT_FALSE(a.fromOldBytes(std::span(record.data(), record.size() - 1)));
    ASSERT_TRUE(a.fromOldBytes(record));
    EXPECT_EQ(a.m_release, 2);
    EXPECT_TRUE(a.m_ampPlot && a.m_rightChan && !a.m_leftChan);
    EXPECT_EQ(a.m_spectMax, 120000);
    EXPECT_EQ(a.m_fftOverLap, 75);
    EXPECT_EQ(a.m_fontSize, VesAnaParms{}.m_fontSize) << "fields beyond the record keep their values";
    EXPECT_EQ(a.m_colorMap, VesColorMap{});

    struct Case {
        std::int32_t release, version;
        bool converted;
    } cases[] = {{1, 9, true}, {2, 5, true}, {3, 0, true}, {3, 1, false}, {4, 0, false}};
    for (const auto& c : cases) {
        VesAnaParms p;
        p.m_release = c.release;
        p.m_version = c.version;
        p.m_plotSize = 250;
        p.m_plotStart = 7;
        p.m_plotEnd = -1;
        EXPECT_EQ(p.convertOldTimeUnits(), c.converted) << c.release << "." << c.version;
        EXPECT_EQ(p.m_plotSize, c.converted ? 250000 : 250);
        EXPECT_EQ(p.m_plotStart, c.converted ? 7000 : 7);
        EXPECT_EQ(p.m_plotEnd, -1) << "values not above 0 stay";
    }
}

TEST(VesAnaParms, XmlFormKeepsEveryField)
{
    const VesAnaParms a = sampleParms();
    const auto x = a.toXml();
    std::vector<std::string> names;
    for (const auto& c : x->children())
        names.push_back(c->name());
    EXPECT_EQ(names, (std::vector<std::string>{
                         "Release",     "Version",       "AmpPlot",      "AmpCont",     "SpectPlot",  "LeftChan",
                         "RightChan",   "Scale",         "PlotSize",     "SpectMin",    "SpectMax",   "AmpMin",
                         "AmpMax",      "PlotStart",     "PlotEnd",      "FftSize",     "FftOverLap", "FftThresHold",
                         "FftWindow",   "ColorScheme",   "Contrast",     "InvColors",   "FontSize",   "FreqSize",
                         "FreqPlot",    "FreqThreshold", "FreqPlotType", "FreqGridX",   "FreqGridY",  "OscGridX",
                         "OscGridY",    "SpectGridX",    "SpectGridY",   "FreqAllTicksLabels", "VesColorMap"}));
    VesAnaParms back;
    ASSERT_TRUE(back.fromXml(*Node::parse(x->toString())));
    EXPECT_EQ(back, a);

    VesAnaParms partial;
    partial.m_fontSize = 12;
    ASSERT_TRUE(partial.fromXml(*Node::parse("<VesAnaParms><FftSize>1024</FftSize></VesAnaParms>")));
    EXPECT_EQ(partial.m_fftSize, 1024);
    EXPECT_EQ(partial.m_fontSize, 12);
}

TEST(VesAnaParms, SettingsKeepTimesInMicrosecondsWithMillisecondCopiesAndShareAmp)
{
    TempDir dir;
    vkit::RegCls reg(dir.file("cfg/vesperon.conf"), "");
    VesAnaParms a = sampleParms();
    a.m_ampPlot = false;  // shares the stored name with AmpCont, which wins
    ASSERT_TRUE(a.save(reg));
    EXPECT_EQ(reg.readInt(VesAnaParms::kRegKey, "PlotSizemySec", 0), 123456789012);
    EXPECT_EQ(reg.readInt(VesAnaParms::kRegKey, "PlotSize", 0), 123456789) << "also written in ms";
    EXPECT_EQ(reg.readInt(VesAnaParms::kRegKey, "PlotStartmySec", 0), 5000000000);
    EXPECT_EQ(reg.readInt(VesAnaParms::kRegKey, "PlotEnd", 0), 5000100);
    EXPECT_EQ(reg.readInt(VesAnaParms::kRegKey, "ColorSchema", 0), 100);
    EXPECT_FALSE(reg.hasValue(VesAnaParms::kRegKey, "FftSize"));
    VesAnaParms back;
    back.load(reg);
    EXPECT_TRUE(back.m_ampPlot && back.m_ampCont);
    EXPECT_EQ(back.m_plotSize, 123456789012);
    EXPECT_EQ(back.m_plotStart, VesAnaParms{}.m_plotStart) << "written for information only";
}

TEST(VesAnaParms, SettingsFallbacksAndValuesOfOtherTools)
{
    struct Case {
        const char* what;
        std::string values;
        std::int64_t plotSize;
        std::int32_t fftThresHold;
        bool amp;
        bool invColors;
    } cases[] = {
        {"PlotSize only", "PlotSize=\"15\"\nFftThresHold=\"30\"\n", 15000, 30, false, true},
        {"microseconds win", "PlotSizemySec=\"700\"\nPlotSize=\"15\"\nFftThresHold=\"30\"\n", 700, 30, false, true},
        {"no plot size: threshold not read", "FftThresHold=\"30\"\nAmp=\"1\"\n", 1000000, 16, true, true},
        {"numbers of other tools", "PlotSizemySec=qword:00000002540be400\nFftThresHold=dword:0000001f\n"
                                   "Amp=dword:00000001\nInvColors=dword:00000001\n",
         10000000000, 31, true, true},
        {"flags are true only for 1", "Amp=\"2\"\nInvColors=\"-1\"\n", 1000000, 16, false, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeConf(dir.file("u.conf"), "[Settings\\DefData\\Analys]\n" + c.values);
        vkit::RegCls reg(dir.file("u.conf"), "");
        VesAnaParms a;
        a.m_invColors = true;  // kept when missing, false when stored as other than 1
        a.load(reg);
        EXPECT_EQ(a.m_plotSize, c.plotSize) << c.what;
        EXPECT_EQ(a.m_fftThresHold, c.fftThresHold) << c.what;
        EXPECT_EQ(a.m_ampPlot, c.amp) << c.what;
        EXPECT_EQ(a.m_ampCont, c.amp) << c.what;
        EXPECT_EQ(a.m_invColors, c.invColors) << c.what;
    }
}

TEST(VesAnaParms, UserColorIsTakenOnlyWithExactly1848Bytes)
{
    for (const std::size_t size : {std::size_t{1000}, VesColorMap::kFixedSize + 1, VesColorMap::kFixedSize}) {
        TempDir dir;
        vkit::RegCls reg(dir.file("u.conf"), "");
        std::vector<std::uint8_t> bytes = sampleMap().toBytes();
        bytes.resize(size, 0);
        ASSERT_TRUE(reg.writeBinary(VesAnaParms::kRegKey, VesAnaParms::kUserColorName, bytes.data(), bytes.size()));
        VesAnaParms a;
        a.load(reg);
        EXPECT_EQ(a.m_colorMap, size == VesColorMap::kFixedSize ? sampleMap() : VesColorMap{}) << size;
    }
}
