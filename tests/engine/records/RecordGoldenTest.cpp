// The stored forms of every record, pinned: each record with every field away
// from its default is written in each of its forms (fixed bytes, XML text,
// settings file), and the output must stay byte for byte what it was. The
// output is then read back into a record that holds other values, and that
// record written again, so that what reading takes and what it leaves is
// pinned as well. Fingerprints (FNV-1a over the output) keep the expected
// values short; VES_RECORD_GOLDEN_DUMP=<file> writes the outputs themselves
// for a comparison by hand.
#include "records/VesAnaParms.h"
#include "records/VesColorMap.h"
#include "records/VesRecData.h"
#include "records/VesSettings.h"
#include "records/VprdData.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

using VkitXML::Node;
using vestest::TempDir;

namespace {

std::uint64_t fnv1a(const std::string& s)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const unsigned char c : s) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

std::string text(const std::vector<std::uint8_t>& b)
{
    return std::string(b.begin(), b.end());
}

VesColorMap goldenMap()
{
    VesColorMap m;
    m.m_release = 3;
    m.m_version = 7;
    m.m_name = "Golden <map> & more";
    m.m_colorMapRader = 12;
    m.m_reserv = 5;
    m.m_modTime = 133500000000000123;
    for (std::size_t i = 0; i < VesColorMap::kBands; ++i) {
        auto& b = m.m_bands[i];
        const auto k = static_cast<std::int32_t>(i);
        b.m_dbFrom = -100 * k - 1;
        b.m_dbTo = -100 * k - 99;
        b.m_dbStep = -3 - k;
        b.m_count = 2 + k;
        b.m_colFrom = 0x00102030u + static_cast<std::uint32_t>(i);
        b.m_colTo = 0xFFEEDDCCu - static_cast<std::uint32_t>(i);
        b.m_firstPenIx = 7 * k;
    }
    return m;
}

VesRecData goldenRecData()
{
    VesRecData r;
    r.m_release = 3;
    r.m_version = 2;
    r.m_build = 4711;
    r.m_copyright = "Copyright <&> \"someone\" with a text longer than forty bytes";
    r.m_timeExp25 = 10000;
    r.m_date = "2024-05-01 and more";
    r.m_time = "21:14:03.125";
    r.m_by = "Field team";
    r.m_at = "Pond at the mill \xC3\xA4";
    r.m_spare1 = 3;
    r.m_spare2 = -9;
    r.m_recDate = "Wed May 1";
    r.m_recDev = "R9000Z V1.2";
    r.m_modTime = "now";
    r.m_user = "me";
    r.setDetectorHeaderLength(77);
    r.m_extraData = {"first line", "second <line>", "third & last"};
    return r;
}

AnaMarkSave goldenMark()
{
    AnaMarkSave m;
    m.m_size = 99;
    m.m_release = 3;
    m.m_version = 5;
    m.m_posX = 5000000001;
    m.m_posY = -42;
    m.m_anyY = true;
    m.m_chan = 2;
    m.m_spect = false;
    m.m_typ = static_cast<decltype(m.m_typ)>(1);
    m.m_first = 3000000000;
    m.m_last = 200;
    m.m_show = true;
    m.m_showLabel = true;
    m.m_markNr = 7;
    m.m_select = true;
    m.m_label = std::string(90, 'L');
    m.m_desc = "FM sweep, 45 kHz";
    return m;
}

VesAnaParms goldenAnaParms()
{
    VesAnaParms a;
    a.m_release = 4;
    a.m_version = 3;
    a.m_ampPlot = true;
    a.m_ampCont = false;
    a.m_spectPlot = false;
    a.m_leftChan = false;
    a.m_rightChan = false;
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
    a.m_colorMap = goldenMap();
    a.m_freqAllTicksLabels = true;
    return a;
}

VesDefData goldenDefData()
{
    VesDefData d;
    d.m_release = 3;
    d.m_version = 1;
    d.m_build = 12;
    d.m_copyright = "golden copyright";
    d.m_timeExp25 = 10000;
    d.m_chans = 2;
    d.m_bits = 24;
    d.m_rate = 384000;
    d.m_date = "1.1.2000";
    d.m_time = "12:00";
    d.m_at = "Old oak " + std::string(90, 'a');
    d.m_by = "Eve " + std::string(50, 'b');
    d.m_cBoardSamp = 1;
    d.m_niDaqSamp = 2;
    d.m_inesSamp = 3;
    d.m_playDev = "USB Audio: \"out\"";
    d.m_recDev = "hw:1,0";
    d.m_spare1 = 5;
    d.m_spare2 = 6;
    return d;
}

VesPowerParms goldenPower()
{
    VesPowerParms p;
    p.m_leftChan = false;
    p.m_rightChan = false;
    p.m_contUpd = false;
    p.m_logScale = false;
    p.m_fftSize = 2048;
    p.m_fftWindow = 8;
    p.m_zeroDB = -110;
    p.m_maxDB = -10;
    p.m_zeroV = 0.0125;
    p.m_maxV = 42.5;
    p.m_maxFrequency = 90000;
    p.m_minFrequency = 1000;
    return p;
}

VesRateParms goldenRate()
{
    VesRateParms r;
    r.m_leftChan = false;
    r.m_rightChan = false;
    r.m_contUpd = true;
    r.m_autoCalc = false;
    r.m_intervalMode = false;
    r.m_histStart = 5;
    r.m_histEnd = 250;
    r.m_barAnt = 50;
    r.m_delay = 3;
    r.m_threshold = 1200;
    r.m_spare1 = 4;
    r.m_spare2 = 5;
    return r;
}

VesPulsParms goldenPuls()
{
    VesPulsParms p;
    p.m_leftChan = true;
    p.m_rightChan = true;
    p.m_contUpd = false;
    p.m_autoCalc = true;
    p.m_plotSize = 20;
    p.m_fontSize = 9;
    p.m_minFrequency = 18000;
    p.m_maxFrequency = 110000;
    p.m_freqThreshold = -3000;
    p.m_freqSeparation = 2500;
    p.m_ampSeparationMySec = 1500;
    p.m_durTimeMySec = 800;
    p.m_ampThres = -900;
    for (bool* f : {&p.m_ampMaxAmp, &p.m_energy, &p.m_freqStrong, &p.m_freqStrongMark, &p.m_freqMax, &p.m_freqMin,
                    &p.m_freqMaxMark, &p.m_freqMinMark, &p.m_pulsNum, &p.m_relPulsCalc, &p.m_startTime,
                    &p.m_startTimeMark, &p.m_stopTime, &p.m_stopTimeMark, &p.m_duration, &p.m_startFreq,
                    &p.m_stopFreq, &p.m_durationFreq})
        *f = true;
    p.m_energy = false;  // one left off, so that the order of the flags shows
    p.m_method = 2;
    p.m_fftSize = 1024;
    p.m_fftWindow = 4;
    p.m_fftOverlap = 3;
    return p;
}

VesCardParms goldenCard(VesCardParms::Card card)
{
    VesCardParms c(card);
    c.m_numSamples = 1000 + static_cast<int>(card);
    c.m_sampFreq = 500000;
    c.m_cutFreq = 150000;
    c.m_timeExp = 20;
    c.m_storeTime = 4;
    c.m_gain = 8;
    c.m_circularBuffer = true;
    c.m_playAfter = true;
    c.m_spectro = true;
    c.m_fixReplay = true;
    c.m_replayFreq = 22050;
    c.m_extStop = true;
    return c;
}

VesAutoRecParms goldenAutoRec()
{
    VesAutoRecParms a;
    a.m_recMinTimeNext = 1;
    a.m_recMaxTime = 60000;
    a.m_recMaxCnt = 3;
    a.m_recTimeBefore = 100;
    a.m_recTimeAfter = 300;
    a.m_recBuffAnt = 32;
    a.m_fileName = "/data/bats/night";
    a.m_fileSwitch = static_cast<decltype(a.m_fileSwitch)>(2);
    a.m_fileSeqStart = 17;
    a.m_fileMarks = static_cast<decltype(a.m_fileMarks)>(1);
    a.m_trigChans = static_cast<decltype(a.m_trigChans)>(2);
    a.m_trigger = static_cast<decltype(a.m_trigger)>(1);
    a.m_frecMin = 20000;
    a.m_frecMax = 90000;
    a.m_frecThres = -4000;
    a.m_fftWindow = 8;
    a.m_fftSize = 1024;
    a.m_fftMinOverLap = 50;
    a.m_ampThresProc = 1000;
    a.m_ampThresDb = -2000;
    a.m_ampMinDuration = 2;
    a.m_graphics = false;
    a.m_graphicsOverload = 10;
    return a;
}

// Writes `record` under a settings file of its own and returns the file.
template <typename Save>
std::string settingsText(Save save)
{
    TempDir dir;
    const std::string file = dir.file("vesperon.conf");
    {
        vkit::RegCls reg(file, "");
        EXPECT_TRUE(save(reg));
    }
    return text(vestest::readFile(file));
}

template <typename R, typename Load>
R loadedFrom(const std::string& conf, R start, Load load)
{
    TempDir dir;
    const std::string file = dir.file("vesperon.conf");
    vestest::writeFile(file, vestest::Bytes(conf.begin(), conf.end()));
    vkit::RegCls reg(file, "");
    load(start, reg);
    return start;
}

// name -> output of the current code.
std::map<std::string, std::string> goldenOutputs()
{
    std::map<std::string, std::string> out;

    // Recording record and mark: bytes and XML, then read back over a record
    // that holds other values and written again.
    {
        const VesRecData r = goldenRecData();
        out["VesRecData.bytes"] = text(r.toBytes());
        out["VesRecData.xml"] = r.toXml()->toString();
        VesRecData b;
        b.m_recDev = "kept";
        b.m_extraData = {"kept"};
        b.fromBytes(r.toBytes());
        out["VesRecData.bytes.read"] = b.toXml()->toString() + text(b.toBytes());
        VesRecData x;
        x.m_spare1 = 17;
        x.m_extraData = {"kept"};
        x.fromXml(*Node::parse(out["VesRecData.xml"]));
        out["VesRecData.xml.read"] = x.toXml()->toString() + text(x.toBytes());
    }
    {
        const AnaMarkSave m = goldenMark();
        out["AnaMarkSave.bytes"] = text(m.toBytes());
        out["AnaMarkSave.xml"] = m.toXml()->toString();
        AnaMarkSave b;
        b.m_anyY = true;
        b.fromBytes(m.toBytes());
        out["AnaMarkSave.bytes.read"] = b.toXml()->toString() + std::to_string(b.m_size);
        AnaMarkSave x;
        x.fromXml(*Node::parse(out["AnaMarkSave.xml"]));
        out["AnaMarkSave.xml.read"] = x.toXml()->toString() + std::to_string(x.m_size);
    }
    {
        const VesColorMap m = goldenMap();
        out["VesColorMap.bytes"] = text(m.toBytes());
        out["VesColorMap.xml"] = m.toXml()->toString();
        VesColorMap x;
        x.fromXml(*Node::parse(out["VesColorMap.xml"]));
        out["VesColorMap.xml.read"] = x.toXml()->toString();
        VesColorMap b;
        b.fromBytes(m.toBytes());
        out["VesColorMap.bytes.read"] = b.toXml()->toString();
    }
    {
        const VesAnaParms a = goldenAnaParms();
        out["VesAnaParms.bytes"] = text(a.toBytes());
        out["VesAnaParms.xml"] = a.toXml()->toString();
        out["VesAnaParms.settings"] = settingsText([&](vkit::RegCls& reg) { return a.save(reg); });
        VesAnaParms b;
        b.m_freqAllTicksLabels = true;
        b.fromBytes(a.toBytes());
        out["VesAnaParms.bytes.read"] = b.toXml()->toString();
        VesAnaParms o;
        o.fromOldBytes(std::span(a.toBytes().data(), VesAnaParms::kOldFixedSize));
        out["VesAnaParms.oldbytes.read"] = o.toXml()->toString();
        VesAnaParms x;
        x.fromXml(*Node::parse(out["VesAnaParms.xml"]));
        out["VesAnaParms.xml.read"] = x.toXml()->toString();
        const VesAnaParms s = loadedFrom(out["VesAnaParms.settings"], VesAnaParms{},
                                         [](VesAnaParms& r, const vkit::RegCls& reg) { r.load(reg); });
        out["VesAnaParms.settings.read"] = s.toXml()->toString();
    }
    {
        VprdData d;
        d.m_recData = goldenRecData();
        d.m_anaParms = {goldenAnaParms(), VesAnaParms{}};
        d.m_marks = {goldenMark(), AnaMarkSave{}};
        d.m_playSpeedList = std::make_unique<Node>(VprdData::kPlaySpeedListName);
        d.m_playSpeedList->addChild(std::make_unique<Node>("PlaySpeedData"))
            ->addChildElement("Speed", std::int32_t{10});
        out["VprdData.payload"] = text(d.toPayload());
    }

    // Settings records: the file written, and the record loaded from it
    // (starting from defaults) written again.
    auto settings = [&](const std::string& name, auto record, auto fresh) {
        const std::string conf = settingsText([&](vkit::RegCls& reg) { return record.save(reg); });
        out[name + ".settings"] = conf;
        const auto back = loadedFrom(conf, fresh, [](auto& r, const vkit::RegCls& reg) { r.load(reg); });
        out[name + ".settings.read"] =
            settingsText([&](vkit::RegCls& reg) { return back.save(reg); }) + (back == record ? "=" : "!=");
    };
    settings("VesDefData", goldenDefData(), VesDefData{});
    settings("VesPowerParms", goldenPower(), VesPowerParms{});
    settings("VesRateParms", goldenRate(), VesRateParms{});
    settings("VesPulsParms", goldenPuls(), VesPulsParms{});
    settings("VesCardParms.CB", goldenCard(VesCardParms::Card::CB), VesCardParms(VesCardParms::Card::CB));
    settings("VesCardParms.NI", goldenCard(VesCardParms::Card::NI), VesCardParms(VesCardParms::Card::NI));
    settings("VesCardParms.INES", goldenCard(VesCardParms::Card::INES), VesCardParms(VesCardParms::Card::INES));
    settings("VesAutoRecParms", goldenAutoRec(), VesAutoRecParms{});
    out["VesColorMapList.settings"] = settingsText(
        [&](vkit::RegCls& reg) { return VesColorMapList::save(reg, {goldenMap(), VesColorMap{}}); });
    return out;
}

}  // namespace

TEST(RecordGolden, EveryFormIsWrittenAndReadAsBefore)
{
    // Fingerprints of the outputs of the records' own code before they were
    // made table-driven.
    const std::map<std::string, std::uint64_t> expected = {
    {"AnaMarkSave.bytes", 0xa98a99b0ea66efaeull},
    {"AnaMarkSave.bytes.read", 0x439822f164329824ull},
    {"AnaMarkSave.xml", 0xa543c05c30bf6c87ull},
    {"AnaMarkSave.xml.read", 0xf114e606e7c3b0full},
    {"VesAnaParms.bytes", 0xd6454d756fe21bcull},
    {"VesAnaParms.bytes.read", 0x95b686cdfce6c318ull},
    {"VesAnaParms.oldbytes.read", 0x6111cabf3c0a31b6ull},
    {"VesAnaParms.settings", 0xb5072910e21e3605ull},
    {"VesAnaParms.settings.read", 0x5664389f0fb5a4a2ull},
    {"VesAnaParms.xml", 0x176347d257e8eb44ull},
    {"VesAnaParms.xml.read", 0x176347d257e8eb44ull},
    {"VesAutoRecParms.settings", 0x92511a4203879a0ull},
    {"VesAutoRecParms.settings.read", 0x65c8dd4c2fca99caull},
    {"VesCardParms.CB.settings", 0x5a2de54890b6ee7full},
    {"VesCardParms.CB.settings.read", 0x9c4d735f3f653065ull},
    {"VesCardParms.INES.settings", 0xafa7aaf75704876bull},
    {"VesCardParms.INES.settings.read", 0x7e6ed848dcb1f722ull},
    {"VesCardParms.NI.settings", 0x965a79ff9eefd89eull},
    {"VesCardParms.NI.settings.read", 0x6b95f05b118d1cf9ull},
    {"VesColorMap.bytes", 0x4cd7702c39e01fa4ull},
    {"VesColorMap.bytes.read", 0x9c67b68c4f6192b1ull},
    {"VesColorMap.xml", 0x9c67b68c4f6192b1ull},
    {"VesColorMap.xml.read", 0x9c67b68c4f6192b1ull},
    {"VesColorMapList.settings", 0x90a998115a1a1c78ull},
    {"VesDefData.settings", 0x86a8bbb40561e45full},
    {"VesDefData.settings.read", 0x69e00448750b6db1ull},
    {"VesPowerParms.settings", 0xa50c6e01b5478146ull},
    {"VesPowerParms.settings.read", 0x5250c99373006528ull},
    {"VesPulsParms.settings", 0x4afcd2148d5f9c3eull},
    {"VesPulsParms.settings.read", 0xc1803665a3fd4cb0ull},
    {"VesRateParms.settings", 0x53b9e382553d20a6ull},
    {"VesRateParms.settings.read", 0xc11168ef1bafd488ull},
    {"VesRecData.bytes", 0x9a6295aa0605ccf2ull},
    {"VesRecData.bytes.read", 0x8bf1d10e425b1a89ull},
    {"VesRecData.xml", 0x3d35d49d58f98ae6ull},
    {"VesRecData.xml.read", 0xa95f980a8e0ef476ull},
    {"VprdData.payload", 0xf809d296d53f47e8ull},
    };

    const auto outputs = goldenOutputs();
    if (const char* dump = std::getenv("VES_RECORD_GOLDEN_DUMP")) {
        std::ofstream f(dump, std::ios::binary);
        for (const auto& [name, output] : outputs)
            f << "== " << name << " (" << output.size() << " bytes)\n" << output << "\n";
    }
    for (const auto& [name, output] : outputs) {
        const auto it = expected.find(name);
        if (it == expected.end()) {
            ADD_FAILURE() << "no fingerprint for " << name << ": {\"" << name << "\", 0x" << std::hex << fnv1a(output)
                          << "ull},";
            continue;
        }
        EXPECT_EQ(fnv1a(output), it->second) << name;
    }
    EXPECT_EQ(outputs.size(), expected.size());
}
