#include "records/VesRecData.h"
#include "records/VesSettings.h"
#include "records/VprdData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using VkitXML::Node;

namespace {

std::vector<std::string> childNames(const Node& n)
{
    std::vector<std::string> names;
    for (const auto& c : n.children())
        names.push_back(c->name());
    return names;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

VesRecData sampleRecording()
{
    VesRecData r;
    r.m_release = 4;
    r.m_version = 0;
    r.m_build = 77;
    r.m_copyright = "Copyright <&> by someone";
    r.m_timeExp25 = 10000;
    r.m_date = "2024-05-01";
    r.m_time = "21:14:03";
    r.m_by = "Field team";
    r.m_at = "Pond at the mill";
    r.m_spare1 = 3;
    r.m_spare2 = -9;
    return r;
}

AnaMarkSave sampleMark()
{
    AnaMarkSave m;
    m.m_posX = 123456;
    m.m_posY = -42;
    m.m_chan = 2;
    m.m_spect = false;
    m.m_typ = CursorType::Marking;
    m.m_first = 100;
    m.m_last = 200;
    m.m_show = true;
    m.m_showLabel = true;
    m.m_markNr = 7;
    m.m_select = true;
    m.m_label = "call #1";
    m.m_desc = "FM sweep, 45 kHz";
    return m;
}

}  // namespace

TEST(VesRecData, FixedFormHoldsTheFieldsAtTheirOffsets)
{
    const VesRecData r = sampleRecording();
    const auto b = r.toBytes();
    ASSERT_EQ(b.size(), VesRecData::kFixedSize);
    EXPECT_EQ(le32(b, 8), 77u);
    EXPECT_EQ(le32(b, 52), 10000u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[56])), "2024-05-01");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[72])), "21:14:03");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[122])), "Pond at the mill");
    EXPECT_EQ(b[202] | b[203], 0);
    EXPECT_EQ(static_cast<std::int32_t>(le32(b, 208)), -9);

    VesRecData back;
    back.m_recDev = "kept";  // not carried by the fixed form
    ASSERT_TRUE(back.fromBytes(b));
    VesRecData expected = r;
    expected.m_recDev = "kept";
    EXPECT_EQ(back, expected);
}

TEST(VesRecData, FixedFormCutsTextsToTheirFieldsAndRejectsShortBuffers)
{
    VesRecData r;
    r.m_copyright = std::string(60, 'c');
    r.m_time = "12:34:56.789";
    r.m_at = std::string(78, 'a') + "\xC3\xA4";  // 80 bytes; the cut may not split the 'ä'
    VesRecData back;
    ASSERT_TRUE(back.fromBytes(r.toBytes()));
    EXPECT_EQ(back.m_copyright, std::string(39, 'c'));
    EXPECT_EQ(back.m_time, "12:34:56.");
    EXPECT_EQ(back.m_at, std::string(78, 'a'));

    const auto b = r.toBytes();
    VesRecData untouched;
    EXPECT_FALSE(untouched.fromBytes(std::span(b.data(), b.size() - 1)));
    EXPECT_EQ(untouched, VesRecData{});
}

TEST(VesRecData, XmlFormKeepsEverythingAndReadsOverTheCurrentValues)
{
    VesRecData r = sampleRecording();
    r.m_recDate = "Wed May 1";
    r.m_recDev = "R9000Z V1.2";
    r.m_modTime = "now";
    r.m_user = "me";
    r.m_extraData = {"first line", "second <line>", "third & last"};
    const auto x = r.toXml();
    EXPECT_EQ(childNames(*x), (std::vector<std::string>{"Release", "Version", "Build", "Copyright", "TimeExp25", "Date",
                                                         "Time", "At", "By", "RecDate", "RecDev", "ModTime", "User",
                                                         "ExtraData", "ExtraData", "ExtraData"}));
    const auto parsed = Node::parse(x->toString());
    VesRecData back;
    back.m_spare1 = r.m_spare1;  // the two integers live in the fixed form only
    back.m_spare2 = r.m_spare2;
    ASSERT_TRUE(back.fromXml(*parsed));
    EXPECT_EQ(back, r);
    EXPECT_EQ(back.toXml()->toString(), x->toString()) << "three ExtraData lines write back as three";

    // A missing TimeExp25 leaves the time expansion as it was; the record may
    // also be found as a child.
    VesRecData current;
    current.m_timeExp25 = 2500;
    const auto doc = Node::parse("<VprdData><VesRecData><By>Ann</By></VesRecData></VprdData>");
    ASSERT_TRUE(current.fromXml(*doc));
    EXPECT_EQ(current.m_timeExp25, 2500);
    EXPECT_EQ(current.m_by, "Ann");
    EXPECT_FALSE(current.fromXml(Node("Other")));
}

TEST(VesRecData, DefaultsComeFromTheDefaultDataSettings)
{
    VesDefData def;
    def.m_build = 12;
    def.m_copyright = "c";
    def.m_timeExp25 = 10000;
    def.m_by = "Bob";
    def.m_at = "Somewhere";
    def.m_date = "d";
    def.m_time = "t";
    def.m_spare1 = 5;
    VesRecData r = sampleRecording();
    r.m_extraData = {"old"};
    r.setFromDefaults(def);
    EXPECT_EQ(r.m_build, 12);
    EXPECT_EQ(r.m_copyright, "c");
    EXPECT_EQ(r.m_timeExp25, 10000);
    EXPECT_EQ(r.m_by, "Bob");
    EXPECT_EQ(r.m_spare1, 5);
    EXPECT_EQ(r.m_spare2, -1);
    EXPECT_TRUE(r.m_at.empty() && r.m_date.empty() && r.m_time.empty() && r.m_extraData.empty());
    EXPECT_EQ(VesRecData::timeExpFromOldFactor(10), 10000);
}

TEST(AnaMarkSave, FixedFormRoundTripAndLayout)
{
    const AnaMarkSave m = sampleMark();
    const auto b = m.toBytes();
    ASSERT_EQ(b.size(), AnaMarkSave::kFixedSize);
    EXPECT_EQ(le32(b, 0), 540u);
    EXPECT_EQ(le32(b, 4), 4u);
    EXPECT_EQ(le32(b, 8), 0u);
    EXPECT_EQ(le32(b, 12), 123456u);
    EXPECT_EQ(le32(b, 20), 0u);
    EXPECT_EQ(le32(b, 28), 0u) << "Spect false";
    EXPECT_EQ(le32(b, 52), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[60])), "call #1");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[140])), "FM sweep, 45 kHz");

    AnaMarkSave back;
    back.m_anyY = true;
    ASSERT_TRUE(back.fromBytes(b));
    EXPECT_EQ(back, m) << "AnyY has no place in the fixed form and reads false";

    AnaMarkSave untouched;
    EXPECT_FALSE(untouched.fromBytes(std::span(b.data(), 539)));
    EXPECT_EQ(untouched, AnaMarkSave{});
}

TEST(AnaMarkSave, LongLabelAndFarPositionSurviveOnlyInXml)
{
    AnaMarkSave m = sampleMark();
    m.m_label = std::string(100, 'L');
    m.m_desc = std::string(500, 'D');
    m.m_posX = 5000000000;  // beyond 32 bits
    m.m_first = 3000000000;
    m.m_anyY = true;

    AnaMarkSave fixed;
    ASSERT_TRUE(fixed.fromBytes(m.toBytes()));
    EXPECT_EQ(fixed.m_label, std::string(79, 'L'));
    EXPECT_EQ(fixed.m_desc, std::string(399, 'D'));
    EXPECT_EQ(fixed.m_posX, 5000000000 - (std::int64_t{1} << 32)) << "low 32 bits";
    EXPECT_EQ(fixed.m_first, static_cast<std::int32_t>(3000000000u)) << "sign-extended";
    EXPECT_FALSE(fixed.m_anyY);

    const auto x = m.toXml();
    EXPECT_EQ(childNames(*x), (std::vector<std::string>{"Release", "Version", "PosX", "PosY", "Chan", "Spect", "Typ",
                                                         "First", "Last", "MarkNr", "Select", "AnyY", "Show",
                                                         "ShowLabel", "Label", "Desc"}));
    AnaMarkSave back;
    ASSERT_TRUE(back.fromXml(*Node::parse(x->toString())));
    EXPECT_EQ(back, m);
}

TEST(VprdData, DocumentRoundTripsThroughThePayload)
{
    VprdData d;
    d.m_recData = sampleRecording();
    d.m_recData.m_extraData = {"x"};
    VesAnaParms a1, a2;
    a1.m_plotSize = 250000;
    a2.m_spectPlot = false;
    a2.m_ampPlot = true;
    a2.m_colorScheme = 100;
    a2.m_colorMap.m_name = "My <map>";
    d.m_anaParms = {a1, a2};
    AnaMarkSave m2 = sampleMark();
    m2.m_label = "a & b < c";
    d.m_marks = {sampleMark(), m2};
    d.m_playSpeedList = std::make_unique<Node>(VprdData::kPlaySpeedListName);
    d.m_playSpeedList->addChild(std::make_unique<Node>("PlaySpeedData"))->addChildElement("Speed", std::int32_t{10});

    const auto payload = d.toPayload();
    ASSERT_GT(payload.size(), VprdData::kPayloadPadding);
    for (std::size_t i = payload.size() - VprdData::kPayloadPadding; i < payload.size(); ++i)
        ASSERT_EQ(payload[i], 0) << i;
    EXPECT_EQ(childNames(*d.toXml()), (std::vector<std::string>{"VesRecData", "VesAnaParms", "VesAnaParms", "AnaMarkSave",
                                                                 "AnaMarkSave", "PlaySpeedDataList"}));

    VprdData back;
    back.m_recData.m_spare1 = d.m_recData.m_spare1;
    back.m_recData.m_spare2 = d.m_recData.m_spare2;
    ASSERT_TRUE(back.fromPayload(payload));
    EXPECT_EQ(back.m_recData, d.m_recData);
    EXPECT_EQ(back.m_anaParms, d.m_anaParms);
    EXPECT_EQ(back.m_marks, d.m_marks);
    ASSERT_TRUE(back.m_playSpeedList);
    EXPECT_EQ(back.m_playSpeedList->toString(), d.m_playSpeedList->toString());
    EXPECT_FALSE(back.m_newerAnaParmsFound);

    VprdData copy = back;
    EXPECT_EQ(copy.m_playSpeedList->toString(), back.m_playSpeedList->toString());
    EXPECT_NE(copy.m_playSpeedList.get(), back.m_playSpeedList.get());
}

TEST(VprdData, ViewsStopAtASetOfALaterVersionAndEmptyListsAreLeftOut)
{
    const std::string xml = "<VprdData><VesAnaParms><FontSize>9</FontSize></VesAnaParms>"
                            "<VesAnaParms><Version>100</Version></VesAnaParms>"
                            "<VesAnaParms><FontSize>11</FontSize></VesAnaParms>"
                            "<AnaMarkSave><MarkNr>3</MarkNr></AnaMarkSave></VprdData>";
    VprdData d;
    ASSERT_TRUE(d.fromPayload(std::span(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size())));
    ASSERT_EQ(d.m_anaParms.size(), 1u);
    EXPECT_EQ(d.m_anaParms[0].m_fontSize, 9);
    EXPECT_TRUE(d.m_newerAnaParmsFound);
    ASSERT_EQ(d.m_marks.size(), 1u);
    EXPECT_EQ(d.m_marks[0].m_markNr, 3);

    VprdData empty;
    empty.m_playSpeedList = std::make_unique<Node>(VprdData::kPlaySpeedListName);
    EXPECT_EQ(empty.toXml()->findChild(VprdData::kPlaySpeedListName), nullptr);

    const std::vector<std::uint8_t> noXml(100, 0);
    EXPECT_FALSE(d.fromPayload(noXml));
    EXPECT_FALSE(d.fromXml(Node("NotADocument")));
}
