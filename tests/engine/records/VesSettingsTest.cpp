#include "records/VesAnaParms.h"
#include "records/VesColorMap.h"
#include "records/VesNameTables.h"
#include "records/VesRecData.h"
#include "records/VesSettings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using vestest::TempDir;

namespace {

void writeConf(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    vestest::writeFile(path, vestest::Bytes(text.begin(), text.end()));
}

// One of every settings record, every stored value away from its default.
struct AllSettings {
    VesDefData def;
    VesAnaParms ana;
    VesPowerParms power;
    VesRateParms rate;
    VesPulsParms puls;
    VesCardParms cb{VesCardParms::Card::CB};
    VesCardParms ni{VesCardParms::Card::NI};
    VesCardParms ines{VesCardParms::Card::INES};
    VesAutoRecParms autoRec;
    std::vector<VesColorMap> maps;

    static AllSettings changed()
    {
        AllSettings s;
        s.def.m_timeExp25 = 10000;
        s.def.m_chans = 2;
        s.def.m_bits = 24;
        s.def.m_rate = 384000;
        s.def.m_at = "Old oak";
        s.def.m_by = "Eve";
        s.def.m_cBoardSamp = 1;
        s.def.m_niDaqSamp = 2;
        s.def.m_inesSamp = 3;
        s.def.m_playDev = "USB Audio: \"out\"";
        s.def.m_recDev = "hw:1,0";

        s.ana.m_ampCont = s.ana.m_ampPlot = true;
        s.ana.m_plotSize = 55000;
        s.ana.m_fftThresHold = 3;
        s.ana.m_colorScheme = 5;
        s.ana.m_colorMap.m_name = "map";

        s.power = {false, true, false, false, 2048, 8, -110, -10, 0.25, 42.5, 0, 0};
        s.rate.m_leftChan = false;
        s.rate.m_contUpd = true;
        s.rate.m_autoCalc = false;
        s.rate.m_histStart = 5;
        s.rate.m_histEnd = 250;
        s.rate.m_barAnt = 50;
        s.rate.m_delay = 3;
        s.rate.m_threshold = 1200;

        s.puls.m_leftChan = s.puls.m_autoCalc = true;
        s.puls.m_contUpd = false;
        s.puls.m_plotSize = 20;
        s.puls.m_fontSize = 9;
        s.puls.m_minFrequency = 18000;
        s.puls.m_maxFrequency = 110000;
        s.puls.m_freqThreshold = -3000;
        s.puls.m_freqSeparation = 2000;
        s.puls.m_ampSeparationMySec = 1500;
        s.puls.m_durTimeMySec = 800;
        s.puls.m_ampThres = -900;
        s.puls.m_freqStrong = s.puls.m_freqMinMark = s.puls.m_startTime = s.puls.m_durationFreq = true;
        s.puls.m_method = 2;

        for (VesCardParms* c : {&s.cb, &s.ni, &s.ines}) {
            c->m_numSamples = 1000 + static_cast<int>(c->m_card);
            c->m_sampFreq = 500000;
            c->m_cutFreq = 150000;
            c->m_timeExp = 20;
            c->m_storeTime = 4;
            c->m_gain = 8;
            c->m_circularBuffer = c->m_spectro = c->m_extStop = true;
            c->m_replayFreq = 22050;
        }
        s.cb.m_gain = VesCardParms{}.m_gain;  // not stored for this card

        s.autoRec.m_recMinTimeNext = 1;
        s.autoRec.m_recMaxTime = 60000;
        s.autoRec.m_recMaxCnt = 3;
        s.autoRec.m_recTimeBefore = 100;
        s.autoRec.m_recTimeAfter = 300;
        s.autoRec.m_fileName = "/data/bats/night";
        s.autoRec.m_fileSwitch = 2;
        s.autoRec.m_fileMarks = 1;
        s.autoRec.m_fileSeqStart = 17;
        s.autoRec.m_trigger = 1;
        s.autoRec.m_trigChans = 2;
        s.autoRec.m_frecMin = 20000;
        s.autoRec.m_frecMax = 90000;
        s.autoRec.m_frecThres = -4000;
        s.autoRec.m_fftWindow = 8;
        s.autoRec.m_fftSize = 1024;
        s.autoRec.m_fftMinOverLap = 50;
        s.autoRec.m_ampThresProc = 1000;
        s.autoRec.m_ampThresDb = -2000;
        s.autoRec.m_ampMinDuration = 2;
        s.autoRec.m_graphics = false;

        VesColorMap m1, m2;
        m1.m_name = "first";
        m2.m_name = "second";
        m2.m_colorMapRader = 1;
        s.maps = {m1, m2};
        return s;
    }

    bool save(vkit::RegCls& reg) const
    {
        return def.save(reg) && ana.save(reg) && power.save(reg) && rate.save(reg) && puls.save(reg) && cb.save(reg) &&
               ni.save(reg) && ines.save(reg) && autoRec.save(reg) && VesColorMapList::save(reg, maps);
    }

    void load(const vkit::RegCls& reg)
    {
        def.load(reg);
        ana.load(reg);
        power.load(reg);
        rate.load(reg);
        puls.load(reg);
        cb.load(reg);
        ni.load(reg);
        ines.load(reg);
        autoRec.load(reg);
        maps = VesColorMapList::load(reg);
    }
};

}  // namespace

TEST(VesSettings, AFileWrittenAndReloadedGivesTheSameSettings)
{
    TempDir dir;
    const std::string file = dir.file("config/vesperon/vesperon.conf");
    const AllSettings saved = AllSettings::changed();
    {
        vkit::RegCls reg(file, "");
        ASSERT_TRUE(saved.save(reg));
    }
    vkit::RegCls reg(file, "");
    AllSettings loaded;
    loaded.load(reg);
    EXPECT_EQ(loaded.def, saved.def);
    EXPECT_EQ(loaded.ana, saved.ana);
    EXPECT_EQ(loaded.power, saved.power);
    EXPECT_EQ(loaded.rate, saved.rate);
    EXPECT_EQ(loaded.puls, saved.puls);
    EXPECT_EQ(loaded.cb, saved.cb);
    EXPECT_EQ(loaded.ni, saved.ni);
    EXPECT_EQ(loaded.ines, saved.ines);
    EXPECT_EQ(loaded.autoRec, saved.autoRec);
    EXPECT_EQ(loaded.maps, saved.maps);

    // Stored forms of the special values.
    EXPECT_EQ(reg.readText("Settings\\Power", "ZeroV", ""), "250");
    EXPECT_EQ(reg.readText("Settings\\Power", "MaxV", ""), "42500");
    VesPowerParms rounded;
    rounded.m_zeroV = 0.0125;
    rounded.m_maxV = -0.0004;
    ASSERT_TRUE(rounded.save(reg));
    EXPECT_EQ(reg.readText("Settings\\Power", "ZeroV", ""), "13") << "round(value x 1000)";
    EXPECT_EQ(reg.readText("Settings\\Power", "MaxV", ""), "0");
    EXPECT_EQ(reg.readText("Settings\\DefData", "Copyright", ""), VesRecData::kDefaultCopyright);
    EXPECT_FALSE(reg.hasValue("Settings\\CB", "Gain"));
    EXPECT_TRUE(reg.hasValue("Settings\\INES", "Gain"));
    EXPECT_FALSE(reg.hasValue("Settings\\AutoRec", "RecBuffAnt"));
    EXPECT_FALSE(reg.hasValue("Settings\\AutoRec", "GraphicsOverload"));
}

TEST(VesSettings, MissingValuesKeepDefaultsAndReadOnlyValuesAreTaken)
{
    TempDir dir;
    writeConf(dir.file("u.conf"), "[Settings\\DefData]\n"
                                  "Release=\"9\"\nCopyright=\"someone else\"\nDate=\"1.1.2000\"\n"
                                  "At=\"" + std::string(100, 'a') + "\"\nBy=\"" + std::string(50, 'b') + "\"\n"
                                  "Rate=dword:0002ee00\n"
                                  "[Settings\\AutoRec]\nRecBuffAnt=\"32\"\nGraphicsOverload=\"10\"\n"
                                  "FileName=\"" + std::string(300, 'f') + "\"\n"
                                  "[Settings\\Puls]\nAmpSeparation=\"3\"\nDurTime=\"4\"\nDurTimeMySec=\"250\"\n"
                                  "[Settings\\Power]\nZeroV=\"-1500\"\nLogScale=\"0\"\n");
    vkit::RegCls reg(dir.file("u.conf"), "");

    VesDefData def;
    def.load(reg);
    VesDefData expectedDef;
    expectedDef.m_at = std::string(79, 'a');
    expectedDef.m_by = std::string(39, 'b');
    expectedDef.m_rate = 192000;
    EXPECT_EQ(def, expectedDef) << "Release, Copyright and Date are written for information only";

    VesAutoRecParms autoRec;
    autoRec.load(reg);
    EXPECT_EQ(autoRec.m_recBuffAnt, 32);
    EXPECT_EQ(autoRec.m_graphicsOverload, 10);
    EXPECT_EQ(autoRec.m_fileName, std::string(259, 'f'));
    EXPECT_EQ(autoRec.m_fileSeqStart, 1);
    EXPECT_EQ(autoRec.m_frecMax, -1);

    VesPulsParms puls;
    puls.load(reg);
    EXPECT_EQ(puls.m_ampSeparationMySec, 3000) << "ms value when the µs value is missing";
    EXPECT_EQ(puls.m_durTimeMySec, 250) << "the µs value wins";
    EXPECT_EQ(puls.m_freqThreshold, VesPulsParms{}.m_freqThreshold);
    EXPECT_TRUE(puls.m_contUpd);

    VesPowerParms power;
    power.load(reg);
    EXPECT_EQ(power.m_zeroV, -1.5);
    EXPECT_EQ(power.m_maxV, VesPowerParms{}.m_maxV);
    EXPECT_FALSE(power.m_logScale);

    VesRateParms rate;
    rate.load(reg);
    EXPECT_EQ(rate, VesRateParms{});
    EXPECT_EQ(rate.m_histEnd, 1000);
    EXPECT_EQ(rate.m_barAnt, 25);
}

TEST(VesColorMapList, EntriesAreNumberedAndReadingStopsAfterNineGaps)
{
    TempDir dir;
    vkit::RegCls reg(dir.file("u.conf"), "");
    std::vector<VesColorMap> maps(3);
    for (std::size_t i = 0; i < maps.size(); ++i)
        maps[i].m_name = "m" + std::to_string(i);
    ASSERT_TRUE(VesColorMapList::save(reg, maps));
    for (const char* name : {"000", "001", "002"})
        EXPECT_EQ(reg.readBinary(VesColorMapList::kRegKey, name)->size(), VesColorMap::kFixedSize) << name;
    for (int i = 3; i < 13; ++i)
        EXPECT_TRUE(reg.readBinary(VesColorMapList::kRegKey, VesColorMapList::entryName(i))->empty()) << i;
    EXPECT_FALSE(reg.hasValue(VesColorMapList::kRegKey, "013"));
    EXPECT_EQ(VesColorMapList::load(reg), maps);

    // Eight gaps (one of them a damaged entry) are bridged, nine end the list.
    TempDir dir2;
    vkit::RegCls reg2(dir2.file("u.conf"), "");
    const auto bytes = maps[0].toBytes();
    const std::vector<std::uint8_t> damaged(1000, 1);
    reg2.writeBinary(VesColorMapList::kRegKey, "000", bytes.data(), bytes.size());
    reg2.writeBinary(VesColorMapList::kRegKey, "004", damaged.data(), damaged.size());
    reg2.writeBinary(VesColorMapList::kRegKey, "009", bytes.data(), bytes.size());   // after 8 gaps
    reg2.writeBinary(VesColorMapList::kRegKey, "019", bytes.data(), bytes.size());   // after 9 gaps
    EXPECT_EQ(VesColorMapList::load(reg2).size(), 2u);
    EXPECT_EQ(VesColorMapList::entryName(1234), "1234");
}

TEST(VesNameTables, CodesGiveTheirNames)
{
    using namespace vesnames;
    EXPECT_EQ(colorSchemeName(0), "Yellow & Red");
    EXPECT_EQ(colorSchemeName(7), "Yellow, Red & Blue");
    EXPECT_EQ(colorSchemeName(100), "User defined");
    for (int code : {-1, 8, 99, 101})
        EXPECT_EQ(colorSchemeName(code), "Unknown color") << code;
    EXPECT_EQ(filterTypeName(0), "Butterworth");
    EXPECT_EQ(filterTypeName(4), "User defined");
    EXPECT_EQ(filterTypeName(5), "");
    EXPECT_EQ(fileNamingName(2), "Date and sequence number");
    EXPECT_EQ(fileNamingName(5), "Time (hhmmss_mmm)");
    EXPECT_EQ(fileNamingName(6), "Unknown file type (6)");
    EXPECT_EQ(fileNamingName(-3), "Unknown file type (-3)");
    EXPECT_EQ(markTypeName(4), "Relative time");
    EXPECT_EQ(markTypeName(5), "Unknown mark type (5)");
}
