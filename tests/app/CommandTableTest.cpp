// The command table and the routing of commands, without windows.
#include "commands/CommandRouter.h"
#include "commands/CommandTable.h"

#include <QKeySequence>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(CommandTable, NumbersAreUniqueAndEveryMenuCommandIsInTheMenus)
{
    std::set<int> ids;
    for (const CommandInfo& c : commandTable())
        EXPECT_TRUE(ids.insert(c.id).second) << "number twice: " << c.id;
    const std::vector<int> inMenus = commandsInMenu(mainMenu());
    const std::set<int> menuSet(inMenus.begin(), inMenus.end());
    for (const CommandInfo& c : commandTable()) {
        if (c.menuText.empty()) {
            // Keys only (or posted): it must be reachable some way.
            EXPECT_TRUE(!c.keys.empty() || c.id == cmd::OpenAtStartUp || (c.id > cmd::FileMruFirst && c.id <= cmd::FileMruLast))
                << c.id;
            continue;
        }
        if (c.id == cmd::SaveCursor)
            continue;  // the cursor menu's name of "Save cursor as mark"
        EXPECT_TRUE(menuSet.count(c.id)) << "not in a menu: " << c.id << " " << c.menuText;
    }
    for (int id : inMenus)
        EXPECT_NE(findCommand(id), nullptr) << id;
    for (const MenuEntry& e : cursorMenu().entries) {
        if (e.kind == MenuEntry::Kind::Command) {
            EXPECT_NE(findCommand(e.id), nullptr) << e.id;
        }
    }
}

TEST(CommandTable, TextsNumbersAndKeys)
{
    struct Case {
        int id;
        const char* text;
        const char* keys;
    };
    const Case cases[] = {
        {57600, "&New\tCtrl+N", "Ctrl+N"},
        {57601, "&Open...\tCtrl+O", "Ctrl+O"},
        {33101, "Import...", ""},
        {33104, "Close && Open Next\tN", ""},
        {33103, "", "N"},
        {34004, "Close && Open Previous\tB", ""},
        {34003, "", "B"},
        {32780, "&Combined", ""},
        {32775, "&Spectrogram\tCtrl+Shift+S", "Ctrl+Shift+S"},
        {33076, "Zero Crossing Analysis", ""},
        {32792, "&Zoom In\tCtrl+Up arrow", "Ctrl+Up"},
        {32794, "Zoom &Out\tCtrl+Down arrow", "Ctrl+Down"},
        {32793, "&Default Zoom \tCtrl+Shift+Left arrow", "Ctrl+Shift+Left"},
        {32842, "Zoom &Entire file\tCtrl+Shift+Down arrow", "Ctrl+Shift+Down"},
        {32960, "Zoom full range frequency/amplitude", ""},
        {32816, "", "Ctrl+Left"},
        {32817, "", "Ctrl+Right"},
        {33092, "File Properties", ""},
        {33067, "Save selected interval...", ""},
        {32796, "&Power Spectrum\tCtrl+Shift+P", "Ctrl+Shift+P"},
        {32788, "Clear/&silence", ""},
        {57643, "&Undo\tCtrl+Z", "Ctrl+Z"},
        {33112, "Help on the Web", ""},
    };
    for (const Case& c : cases) {
        const CommandInfo* info = findCommand(c.id);
        ASSERT_NE(info, nullptr) << c.id;
        EXPECT_EQ(info->menuText, c.text) << c.id;
        EXPECT_EQ(info->keys, c.keys) << c.id;
    }
    // Every key text is one Qt understands.
    for (const CommandInfo& c : commandTable())
        for (const QString& k : QString::fromUtf8(c.keys.data(), static_cast<qsizetype>(c.keys.size()))
                                    .split(QStringLiteral(", "), Qt::SkipEmptyParts))
            EXPECT_FALSE(QKeySequence(k, QKeySequence::PortableText).isEmpty()) << k.toStdString();
}

// A target that records what it ran.
struct Recorder {
    CommandHandlers target;
    std::vector<int> ran;
};

TEST(CommandRouter, FirstTargetThatHandlesWinsAndAnswersItsState)
{
    Recorder view, doc, frame;
    view.target.on(1, [&](int id) { view.ran.push_back(id); }, [](int, CommandState& s) { s.enabled = false; });
    doc.target.on(1, [&](int id) { doc.ran.push_back(id); });
    doc.target.on(2, [&](int id) { doc.ran.push_back(id); }, [](int, CommandState& s) { s.checked = true; });
    frame.target.onRange(10, 19, [&](int id) { frame.ran.push_back(id); });
    const std::vector<ICommandTarget*> chain = {&view.target, nullptr, &doc.target, &frame.target};

    EXPECT_FALSE(queryCommand(chain, 1).enabled) << "the view answers, not the document";
    EXPECT_FALSE(dispatchCommand(chain, 1)) << "a disabled command does not run";
    EXPECT_TRUE(view.ran.empty());
    EXPECT_TRUE(doc.ran.empty());

    const CommandState s2 = queryCommand(chain, 2);
    EXPECT_TRUE(s2.enabled);
    EXPECT_TRUE(s2.checked);
    EXPECT_TRUE(dispatchCommand(chain, 2));
    EXPECT_TRUE(dispatchCommand(chain, 17));
    EXPECT_EQ(doc.ran, std::vector<int>{2});
    EXPECT_EQ(frame.ran, std::vector<int>{17});

    EXPECT_FALSE(queryCommand(chain, 20).enabled) << "nobody handles it: disabled";
    EXPECT_FALSE(dispatchCommand(chain, 20));
    EXPECT_FALSE(dispatchCommand(chain, 9));
}

}  // namespace
