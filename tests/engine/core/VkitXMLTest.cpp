#include "core/VkitXML.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using VkitXML::Node;

namespace {

std::unique_ptr<Node> parse(const std::string& s)
{
    return Node::parse(s.data(), s.size());
}

}  // namespace

TEST(VkitXML, TextAroundAChildIsJoinedAndTheChildKeepsItsOwn)
{
    const auto a = parse("<a>1<b>2</b>3</a>");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->name(), "a");
    EXPECT_EQ(a->text(), "13");
    ASSERT_EQ(a->childCount(), 1u);
    EXPECT_EQ(a->children()[0]->name(), "b");
    EXPECT_EQ(a->children()[0]->text(), "2");
    EXPECT_EQ(a->children()[0]->parent(), a.get());
}

TEST(VkitXML, WrittenFormIsPlainAndItsLengthExact)
{
    Node root("r");
    root.addChildElement("n", std::int32_t{-12});
    root.addChildElement("big", std::int64_t{5000000000});
    root.addChildElement("d", 0.1);
    root.addChildElement("third", 1.0 / 3.0);
    root.addChildElement("s", "a<b");
    const std::string expected =
        "<r><n>-12</n><big>5000000000</big><d>0.1</d><third>0.3333333333333333</third><s>a&lt;b</s></r>";
    EXPECT_EQ(root.toString(), expected);
    EXPECT_EQ(root.writtenLength(), expected.size());
    std::vector<char> buffer(expected.size() + 8, '#');
    EXPECT_EQ(root.write(buffer.data()), expected.size());
    EXPECT_EQ(buffer[expected.size()], '#') << "write stays within the written length";
}

TEST(VkitXML, EveryTextReadsBackAsStored)
{
    const char* texts[] = {"plain", "a < b & c > d", "\"quoted\" and 'single'", "&lt; written literally",
                           "&amp;lt;", "& alone", "&unknown;", "", "line\nbreak\ttab", "ümlaut ✓"};
    Node root("Root");
    for (const char* t : texts)
        root.addChildElement("T", t);
    const std::string written = root.toString();
    EXPECT_EQ(written.find("< b"), std::string::npos) << "a stored '<' is escaped";
    const auto back = Node::parse(written);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->childCount(), std::size(texts));
    for (std::size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(back->children()[i]->text(), texts[i]) << i;
}

TEST(VkitXML, UnescapedTextsOfOlderWritersAndEntitiesAreRead)
{
    struct Case {
        const char* xml;
        const char* text;
    } cases[] = {
        {"<a>x > y & z</a>", "x > y & z"},                      // written unescaped
        {"<a>&quot;&apos;&amp;&gt;&lt;</a>", "\"'&><"},          // the five entities
        {"<a>&amp;lt;</a>", "&lt;"},                             // one pass: an escaped '&' stays one
        {"<a>&#60;&lt</a>", "&#60;&lt"},                         // anything else stays as it is
    };
    for (const auto& c : cases) {
        const auto n = parse(c.xml);
        ASSERT_TRUE(n) << c.xml;
        EXPECT_EQ(n->text(), c.text) << c.xml;
    }
}

TEST(VkitXML, TagsAreTakenWholeAndTextAfterTheRootIsIgnored)
{
    const auto a = parse("junk <a key=\"v\">t</a key=\"v\">after<b>x</b>");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->name(), "a key=\"v\"");
    EXPECT_EQ(a->text(), "t");
    EXPECT_EQ(a->childCount(), 0u);
}

TEST(VkitXML, FindAndCollectChildrenByName)
{
    const auto r = parse("<r><x>0</x><y>y</y><x>1</x><x>2</x></r>");
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->findChild("x", 1));
    EXPECT_EQ(r->findChild("x", 1)->text(), "1");
    EXPECT_EQ(r->findChild("x"), r->findChild("x", 0));
    EXPECT_EQ(r->findChild("x", 3), nullptr);
    EXPECT_EQ(r->findChild("X"), nullptr) << "names are compared exactly";
    std::vector<const Node*> list{r.get()};
    EXPECT_EQ(r->collectChildren("x", list), 3u);
    ASSERT_EQ(list.size(), 4u) << "collect appends";
    EXPECT_EQ(list[3]->text(), "2");
}

TEST(VkitXML, GettersConvertLikeTheCLibraryAndLeaveMissingValuesAlone)
{
    const auto r = parse("<r><a> 42abc</a><b>abc</b><c>-7</c><d>99999999999</d><e>-9223372036854775808</e>"
                         "<f>99999999999999999999</f><g>2</g><h>0</h><i> 1.5e3x</i><j>1e999</j><k>+2.5</k>"
                         "<t>hello</t></r>");
    ASSERT_TRUE(r);
    struct IntCase {
        const char* name;
        std::int32_t value;
    } ints[] = {{"a", 42}, {"b", 0}, {"c", -7}, {"d", INT32_MAX}};
    for (const auto& c : ints) {
        std::int32_t v = 123;
        EXPECT_TRUE(r->getInt(c.name, v));
        EXPECT_EQ(v, c.value) << c.name;
    }
    std::int64_t v64 = 0;
    EXPECT_TRUE(r->getInt64("e", v64));
    EXPECT_EQ(v64, INT64_MIN);
    EXPECT_TRUE(r->getInt64("f", v64));
    EXPECT_EQ(v64, INT64_MAX);
    bool flag = false;
    EXPECT_TRUE(r->getFlag("g", flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(r->getFlag("h", flag));
    EXPECT_FALSE(flag);
    double d = 0;
    EXPECT_TRUE(r->getDouble("i", d));
    EXPECT_EQ(d, 1500.0);
    EXPECT_TRUE(r->getDouble("j", d));
    EXPECT_EQ(d, HUGE_VAL);
    EXPECT_TRUE(r->getDouble("k", d));
    EXPECT_EQ(d, 2.5);

    std::int32_t keep = 5;
    std::string s = "kept";
    EXPECT_FALSE(r->getInt("missing", keep));
    EXPECT_FALSE(r->getString("missing", s));
    EXPECT_EQ(keep, 5);
    EXPECT_EQ(s, "kept");

    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_TRUE(r->getText("t", buf, 3));
    EXPECT_EQ(std::string(buf, 4), "helx") << "no terminator beyond what fits";
    EXPECT_TRUE(r->getText("t", buf, sizeof buf));
    EXPECT_STREQ(buf, "hello");
}

TEST(VkitXML, BrokenInputGivesWhatWasReadWithoutCrashing)
{
    struct Case {
        std::string xml;
        bool tree;
        const char* rootName;
    } cases[] = {
        {"", false, ""},
        {"no tag at all", false, ""},
        {"<", true, ""},
        {"<abc", true, ""},                // no '>': the name is empty
        {"<a><b>text", true, "a"},         // truncated
        {"<a></b></a>", true, "a"},        // unbalanced
        {"<a>&amp", true, "a"},
        {std::string("<a>\0\0</a>", 10), true, "a"},
    };
    for (const auto& c : cases) {
        const auto n = Node::parse(c.xml.data(), c.xml.size());
        EXPECT_EQ(static_cast<bool>(n), c.tree) << c.xml;
        if (n) {
            EXPECT_EQ(n->name(), c.rootName) << c.xml;
            EXPECT_EQ(Node::parse(n->toString())->toString(), n->toString()) << c.xml;
        }
    }
    const auto t = parse("<a><b>text");
    ASSERT_EQ(t->childCount(), 1u);
    EXPECT_EQ(t->children()[0]->text(), "text");
    // Only `length` characters are looked at.
    const auto part = Node::parse("<a>1</a><b>", 5);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->text(), "1");
}

TEST(VkitXML, DeepNestingIsBoundedAndDeepTreesNeedNoRecursion)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    const auto parsed = parse(deep);
    ASSERT_TRUE(parsed);
    std::size_t depth = 1;
    for (const Node* n = parsed.get(); !n->children().empty(); n = n->children()[0].get())
        ++depth;
    EXPECT_EQ(depth, Node::kMaxDepth);

    // A tree built by code may be deeper than any parse: writing, copying and
    // destroying it must still work.
    auto root = std::make_unique<Node>("d");
    Node* n = root.get();
    for (int i = 0; i < 100000; ++i)
        n = n->addChildElement("d", "");
    EXPECT_EQ(root->writtenLength(), 100001u * 7);
    EXPECT_EQ(root->toString().size(), 100001u * 7);
    auto copy = root->clone();
    EXPECT_EQ(copy->writtenLength(), root->writtenLength());
    root->destroyChildren();
    EXPECT_EQ(root->childCount(), 0u);
    copy.reset();
}

TEST(VkitXML, CloneCopiesTheWholeSubtree)
{
    const auto r = parse("<r>t<a>1<b>2</b></a><c/></r>");
    const auto c = r->children()[0]->clone();
    EXPECT_EQ(c->parent(), nullptr);
    EXPECT_EQ(c->toString(), "<a>1<b>2</b></a>");
}
