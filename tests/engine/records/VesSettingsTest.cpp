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

}  // namespace

// Every value's round trip is in RecordFieldsTest, the files themselves in
// RecordGoldenTest; these are the conversions on the way.
TEST(VesSettings, RealsAreStoredInRoundedThousandthsAndCardsWithoutGainLeaveItOut)
{
    TempDir dir;
    vkit::RegCls reg(dir.file("config/vesperon/vesperon.conf"), "");
    VesPowerParms rounded;
    rounded.m_zeroV = 0.0125;
    rounded.m_maxV = -0.0004;
    ASSERT_TRUE(rounded.save(reg));
    EXPECT_EQ(reg.readText("Settings\\Power", "ZeroV", ""), "13") << "round(value x 1000)";
    EXPECT_EQ(reg.readText("Settings\\Power", "MaxV", ""), "0");
    VesPowerParms back;
    back.load(reg);
    EXPECT_EQ(back.m_zeroV, 0.013);

    VesCardParms cb(VesCardParms::Card::CB);
    cb.m_gain = 8;
    ASSERT_TRUE(cb.save(reg));
    EXPECT_FALSE(reg.hasValue("Settings\\CB", "Gain"));
    ASSERT_TRUE(reg.writeInt("Settings\\CB", "Gain", 5));
    VesCardParms cbBack(VesCardParms::Card::CB);
    cbBack.load(reg);
    EXPECT_EQ(cbBack.m_gain, VesCardParms{}.m_gain);
    VesCardParms ines(VesCardParms::Card::INES);
    ines.load(reg);
    EXPECT_EQ(ines.m_gain, VesCardParms{}.m_gain) << "each card under its own key";
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
