// Every field of every record's table survives each form the table gives it:
// a record with that one field away from its default is saved to and loaded
// from the settings, written to and read from XML, and written to and read
// from the fixed bytes, and must come back whole (so that a field at a wrong
// offset, under a wrong name or of a wrong width shows as well as one that
// is lost).
#include "records/RecordFields.h"
#include "records/VesAnaParms.h"
#include "records/VesColorMap.h"
#include "records/VesRecData.h"
#include "records/VesSettings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

using VkitXML::Node;
using vesrec::Field;
using vesrec::FieldKind;

namespace {

// The stored forms of a record; empty functions where it has no such form.
template <class R>
struct Forms {
    std::function<R()> make = [] { return R{}; };
    std::function<std::string(const R&)> key;
    std::function<bool(const R&, vkit::RegCls&)> save;
    std::function<void(R&, const vkit::RegCls&)> load;
    std::function<std::string(const R&)> toXml;
    std::function<bool(R&, const std::string&)> fromXml;
    std::function<std::vector<std::uint8_t>(const R&)> toBytes;
    std::function<bool(R&, const std::vector<std::uint8_t>&)> fromBytes;
};

template <class R>
std::string regKeyOf(const R&)
{
    return R::kRegKey;
}

std::string regKeyOf(const VesCardParms& c)
{
    return c.regKey();
}

template <class R>
Forms<R> settingsForms()
{
    Forms<R> f;
    f.save = [](const R& r, vkit::RegCls& reg) { return r.save(reg); };
    f.load = [](R& r, const vkit::RegCls& reg) { r.load(reg); };
    f.key = [](const R& r) { return regKeyOf(r); };
    return f;
}

template <class R>
Forms<R> fileForms()
{
    Forms<R> f;
    f.toXml = [](const R& r) { return r.toXml()->toString(); };
    f.fromXml = [](R& r, const std::string& text) { return r.fromXml(*Node::parse(text)); };
    f.toBytes = [](const R& r) { return r.toBytes(); };
    f.fromBytes = [](R& r, const std::vector<std::uint8_t>& b) { return r.fromBytes(b); };
    return f;
}

// A value away from the current one that the reader keeps (inside the
// field's range, within its text limits).
template <class R>
void changeField(const Field<R>& f, R& r)
{
    switch (f.kind) {
    case FieldKind::Flag: f.setNum(r, f.getNum(r) != 0 ? 0 : 1); break;
    case FieldKind::Int:
    case FieldKind::Colour: {
        const std::int64_t v = f.getNum(r);
        f.setNum(r, f.range.active && v + 1 > f.range.hi ? v - 1 : v + 1);
        break;
    }
    case FieldKind::Text: f.setText(r, f.getText(r) == "t1" ? "t2" : "t1"); break;
    case FieldKind::Real: f.setReal(r, f.getReal(r) + 0.5); break;
    }
}

struct FieldCase {
    std::string name;
    std::function<void()> check;
};

void PrintTo(const FieldCase& c, std::ostream* os)
{
    *os << c.name;
}

// The cases of the fields of R inside the record Outer (R itself, or a part of it).
template <class Outer, class R>
void addCases(std::vector<FieldCase>& cases, const std::string& record, const Forms<Outer>& forms,
              std::span<const Field<R>> table, R& (*part)(Outer&))
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Field<R>& named = table[i];
        const std::string name =
            record + "_" + (named.xml ? named.xml : named.reg ? named.reg : "at" + std::to_string(named.at));
        cases.push_back({name, [forms, table, part, i, name] {
                             const Field<R>& f = table[i];
                             Outer expected = forms.make();
                             if (f.present && !f.present(part(expected)))
                                 return;
                             changeField(f, part(expected));
                             int forms_tried = 0;

                             if (forms.save && f.readsSettings() && f.writesSettings()) {
                                 ++forms_tried;
                                 // Fields that share a settings value carry one value.
                                 Outer shared = expected;
                                 for (const auto& g : table)
                                     if (&g != &f && g.reg && std::strcmp(g.reg, f.reg) == 0)
                                         g.setNum(part(shared), f.getNum(part(expected)));
                                 vestest::TempDir dir;
                                 vkit::RegCls reg(dir.file("vesperon.conf"), "");
                                 ASSERT_TRUE(forms.save(shared, reg));
                                 Outer back = forms.make();
                                 forms.load(back, reg);
                                 EXPECT_TRUE(back == shared) << "settings";
                             }
                             if (forms.save && f.reg && f.regUse == vesrec::RegUse::WriteOnly) {
                                 ++forms_tried;
                                 vestest::TempDir dir;
                                 vkit::RegCls reg(dir.file("vesperon.conf"), "");
                                 ASSERT_TRUE(forms.save(expected, reg));
                                 EXPECT_TRUE(reg.hasValue(forms.key(expected), f.reg)) << "written for information";
                                 Outer back = forms.make();
                                 forms.load(back, reg);
                                 EXPECT_TRUE(back == forms.make()) << "not read back";
                             }
                             if (forms.save && f.reg && f.regUse == vesrec::RegUse::ReadOnly) {
                                 ++forms_tried;
                                 vestest::TempDir dir;
                                 vkit::RegCls reg(dir.file("vesperon.conf"), "");
                                 ASSERT_TRUE(forms.save(expected, reg));
                                 EXPECT_FALSE(reg.hasValue(forms.key(expected), f.reg)) << "never written";
                                 ASSERT_TRUE(reg.writeInt(forms.key(expected), f.reg, f.getNum(part(expected))));
                                 Outer back = forms.make();
                                 forms.load(back, reg);
                                 EXPECT_TRUE(back == expected) << "read";
                             }
                             if (forms.toXml && f.xml) {
                                 ++forms_tried;
                                 Outer back = forms.make();
                                 ASSERT_TRUE(forms.fromXml(back, forms.toXml(expected)));
                                 EXPECT_TRUE(back == expected) << "XML";
                             }
                             if (forms.toBytes && f.inBytes() && f.fixedRead && !f.fixedConst) {
                                 ++forms_tried;
                                 Outer back = forms.make();
                                 ASSERT_TRUE(forms.fromBytes(back, forms.toBytes(expected)));
                                 EXPECT_TRUE(back == expected) << "fixed bytes";
                             }
                             if (f.inBytes() && f.fixedConst)
                                 ++forms_tried;  // a constant of the fixed form, read back elsewhere
                             EXPECT_GT(forms_tried, 0) << "a field in no form";
                         }});
    }
}

template <class R>
R& whole(R& r)
{
    return r;
}

VesColorMapRad& band5(VesColorMap& m)
{
    return m.m_bands[5];
}

std::vector<FieldCase> allCases()
{
    std::vector<FieldCase> cases;
    addCases(cases, "VesRecData", fileForms<VesRecData>(), VesRecData::fields(), whole<VesRecData>);
    addCases(cases, "AnaMarkSave", fileForms<AnaMarkSave>(), AnaMarkSave::fields(), whole<AnaMarkSave>);
    addCases(cases, "VesColorMap", fileForms<VesColorMap>(), VesColorMap::fields(), whole<VesColorMap>);
    addCases(cases, "VesColorMapRad", fileForms<VesColorMap>(), VesColorMapRad::fields(), band5);

    Forms<VesAnaParms> ana = fileForms<VesAnaParms>();
    const Forms<VesAnaParms> anaSettings = settingsForms<VesAnaParms>();
    ana.save = anaSettings.save;
    ana.load = anaSettings.load;
    ana.key = anaSettings.key;
    addCases(cases, "VesAnaParms", ana, VesAnaParms::fields(), whole<VesAnaParms>);

    addCases(cases, "VesDefData", settingsForms<VesDefData>(), VesDefData::fields(), whole<VesDefData>);
    addCases(cases, "VesPowerParms", settingsForms<VesPowerParms>(), VesPowerParms::fields(), whole<VesPowerParms>);
    addCases(cases, "VesRateParms", settingsForms<VesRateParms>(), VesRateParms::fields(), whole<VesRateParms>);
    addCases(cases, "VesPulsParms", settingsForms<VesPulsParms>(), VesPulsParms::fields(), whole<VesPulsParms>);
    for (const auto card : {VesCardParms::Card::CB, VesCardParms::Card::NI, VesCardParms::Card::INES}) {
        Forms<VesCardParms> forms = settingsForms<VesCardParms>();
        forms.make = [card] { return VesCardParms(card); };
        addCases(cases, std::string("VesCardParms") + (VesCardParms::regKey(card) + 9), forms, VesCardParms::fields(),
                 whole<VesCardParms>);
    }
    addCases(cases, "VesAutoRecParms", settingsForms<VesAutoRecParms>(), VesAutoRecParms::fields(),
             whole<VesAutoRecParms>);
    return cases;
}

class RecordFields : public ::testing::TestWithParam<FieldCase> {};

}  // namespace

TEST_P(RecordFields, ANonDefaultValueSurvivesEveryForm)
{
    GetParam().check();
}

// The fields of a fixed layout lie apart from each other and inside the form.
TEST(RecordFieldLayouts, FieldsDoNotOverlap)
{
    auto check = [](const char* record, auto table, std::size_t size) {
        std::vector<std::pair<int, int>> spans;
        for (const auto& f : table)
            if (f.inBytes())
                spans.emplace_back(f.at, f.at + f.width);
        std::sort(spans.begin(), spans.end());
        for (std::size_t i = 1; i < spans.size(); ++i)
            EXPECT_LE(spans[i - 1].second, spans[i].first) << record << " at " << spans[i].first;
        ASSERT_FALSE(spans.empty()) << record;
        EXPECT_LE(static_cast<std::size_t>(spans.back().second), size) << record;
    };
    check("VesRecData", VesRecData::fields(), VesRecData::kFixedSize);
    check("AnaMarkSave", AnaMarkSave::fields(), AnaMarkSave::kFixedSize);
    check("VesAnaParms", VesAnaParms::fields(), VesAnaParms::kColorMapOffset);
    check("VesColorMap", VesColorMap::fields(), VesColorMap::kBandsOffset);
    check("VesColorMapRad", VesColorMapRad::fields(), VesColorMapRad::kFixedSize);
}

INSTANTIATE_TEST_SUITE_P(EveryTable, RecordFields, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<FieldCase>& param) { return param.param.name; });
