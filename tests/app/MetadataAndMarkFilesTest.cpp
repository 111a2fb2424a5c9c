// The recording's GUANO fields edited in File properties, and the marks
// written to and read from selection tables and label tracks through the
// File menu.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "core/AtomicFile.h"
#include "display/CVesAnaView.h"
#include "records/AnnotationTable.h"
#include "records/GuanoRecord.h"
#include "shell/CAppDocument.h"
#include "shell/CFilePropDlg.h"
#include "shell/CVesSoundApp.h"

#include <QDialog>
#include <QLineEdit>

#include <filesystem>

namespace {

using apptest::processEvents;
using apptest::whenModal;
using apptest::writeToneWave;

class MetadataAndMarkFilesTest : public apptest::AppTest {
protected:
    CVesSoundDoc& doc() { return activeDocument()->doc(); }

    GuanoRecord guano()
    {
        GuanoRecord g;
        std::string error;
        doc().guano(g, error);
        return g;
    }

    // Opens File properties, types the values into their fields and presses OK (or Cancel).
    void editProperties(std::vector<std::pair<std::string, QString>> values, bool ok = true)
    {
        whenModal([values, ok](QWidget* w) {
            auto* dlg = qobject_cast<CFilePropDlg*>(w);
            ASSERT_NE(dlg, nullptr);
            for (const auto& [key, text] : values) {
                QWidget* field = dlg->metadataField(key);
                ASSERT_NE(field, nullptr) << key;
                EXPECT_EQ(field->accessibleName().toStdString(), key);
                dlg->setMetadataText(key, text);
            }
            ok ? dlg->accept() : dlg->reject();
        });
        ASSERT_TRUE(app().runCommand(cmd::FileProperties));
        processEvents();
    }

    std::string readFile(const std::string& path)
    {
        std::string text;
        EXPECT_TRUE(vkit::readWholeFile(path, text, 1 << 20)) << path;
        return text;
    }
};

TEST_F(MetadataAndMarkFilesTest, FieldsTypedInFilePropertiesGoOutWithTheNextSave)
{
    const std::string wav = dir.file("bridge.wav");
    writeToneWave(wav, 384000, 0.2, 40000);
    start({wav});
    ASSERT_TRUE(guano().empty());

    // Cancel changes nothing.
    editProperties({{"Species Manual ID", QStringLiteral("Pipistrellus pygmaeus")}}, false);
    EXPECT_FALSE(doc().modified());
    EXPECT_TRUE(guano().empty());

    // A recording without metadata gets a record of its own; a line break in
    // the note must not split it into two lines of the chunk (GUANO's "\n"),
    // one pasted into a one-line field becomes a blank.
    editProperties({{"Species Manual ID", QStringLiteral("Pipistrellus\npygmaeus")},
                    {"Note", QStringLiteral("under the\nbridge")},
                    {"Loc Position", QStringLiteral("52.1 5.2")}});
    EXPECT_TRUE(doc().modified());

    const std::string saved = dir.file("bridge.vprd");
    ASSERT_TRUE(saveOwnCloseAndReopen(saved));
    GuanoRecord g = guano();
    ASSERT_NE(g.find(GuanoRecord::kVersionKey), nullptr);
    EXPECT_EQ(*g.find("Species Manual ID"), "Pipistrellus pygmaeus");
    EXPECT_EQ(*g.find("Note"), "under the\\nbridge");
    EXPECT_EQ(*g.find("Loc Position"), "52.1 5.2");
    EXPECT_FALSE(doc().modified());
    {
        CFilePropDlg shown(doc());
        EXPECT_EQ(shown.metadataText("Note"), QStringLiteral("under the\nbridge")) << "the escape shows as a break";
    }

    // An emptied field is removed; the others stay.
    editProperties({{"Note", QString()}});
    g = guano();
    EXPECT_EQ(g.find("Note"), nullptr);
    EXPECT_EQ(*g.find("Species Manual ID"), "Pipistrellus pygmaeus");

    // OK without a change leaves the document unmodified.
    ASSERT_TRUE(app().runCommand(cmd::FileSave));
    editProperties({});
    EXPECT_FALSE(doc().modified());
}

TEST_F(MetadataAndMarkFilesTest, EditingARealRecordKeepsEveryOtherField)
{
    if (vestest::sharedDataDir().empty())
        GTEST_SKIP() << "no shared recordings beside the project (../shared/data)";
    const std::string source = vestest::sharedDataDir() + "/batdetect2/contrib_jeff37_0166_20240602_225340.wav";
    const std::string copy = dir.file("jeff.wav");
    std::filesystem::copy_file(source, copy);
    start({copy});
    const GuanoRecord before = guano();
    ASSERT_FALSE(before.empty());

    editProperties({{"Species Manual ID", QStringLiteral("Eptesicus serotinus")}});
    ASSERT_TRUE(saveOwnCloseAndReopen(dir.file("jeff.vprd")));
    const GuanoRecord after = guano();
    EXPECT_EQ(*after.find("Species Manual ID"), "Eptesicus serotinus");
    for (const GuanoField& f : before.fields()) {
        if (f.key == "Species Manual ID" || f.key.empty())
            continue;
        const std::string* v = after.find(f.key);
        ASSERT_NE(v, nullptr) << f.key;
        EXPECT_EQ(*v, f.value) << f.key;
    }
}

TEST_F(MetadataAndMarkFilesTest, MarksGoToATableAndComeBackFromIt)
{
    const std::string wav = dir.file("night.wav");
    writeToneWave(wav, 192000, 1.0, 30000);
    const std::string other = dir.file("other.wav");
    writeToneWave(other, 192000, 1.0, 30000);
    start({wav});
    EXPECT_FALSE(app().commandState(cmd::ExportMarks).enabled);  // nothing to export yet

    AnaMarkSave point;
    point.m_posX = 19200;  // 0.1 s
    point.m_label = "first";
    point.m_showLabel = true;
    doc().addMark(point);
    AnaMarkSave range;
    range.m_posX = range.m_first = 96000;
    range.m_last = 115200;  // 0.5 .. 0.6 s
    range.m_label = "call";
    doc().addMark(range);
    CVesAnaView::marksChanged(doc());
    ASSERT_TRUE(app().commandState(cmd::ExportMarks).enabled);

    // The proposal sits beside the recording; Cancel writes nothing.
    ASSERT_TRUE(app().runCommand(cmd::ExportMarks));
    ASSERT_EQ(dialogs().markTableProposals.back(), dir.file("night.selections.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("night.selections.txt")));

    struct Case {
        const char* name;
        bool selectionTable;
    };
    for (const Case c : {Case{"marks.selections.txt", true}, Case{"marks.labels.txt", false}}) {
        const std::string path = dir.file(c.name);
        dialogs().markTableAnswers.push_back(MarkTableChoice{path, c.selectionTable});
        ASSERT_TRUE(app().runCommand(cmd::ExportMarks));
        AnnotationTable table;
        std::string error;
        const std::string text = readFile(path);
        ASSERT_EQ(looksLikeSelectionTable(text), c.selectionTable) << c.name;
        ASSERT_TRUE(c.selectionTable ? readSelectionTable(text, table, error) : readLabelTrack(text, table, error))
            << error;
        ASSERT_EQ(table.rows.size(), 2u) << c.name;
        EXPECT_NEAR(table.rows[0].beginSeconds, 0.1, 1e-6);
        EXPECT_EQ(table.rows[0].label, "first");
        EXPECT_NEAR(table.rows[1].beginSeconds, 0.5, 1e-6);
        EXPECT_NEAR(table.rows[1].endSeconds, 0.6, 1e-6);
    }

    // A folder that is not there: the system's message, no file.
    const std::string nowhere = dir.file("missing/marks.txt");
    dialogs().markTableAnswers.push_back(MarkTableChoice{nowhere, true});
    app().runCommand(cmd::ExportMarks);
    ASSERT_FALSE(dialogs().messages.empty());
    EXPECT_NE(dialogs().messages.back().find("Cannot write " + nowhere), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(nowhere));

    // Into another recording: both kinds read back onto the same frames.
    dialogs().openAnswers.push_back(OpenChoice{{other}, 0});
    ASSERT_TRUE(app().runCommand(cmd::FileOpen));
    processEvents();
    ASSERT_EQ(doc().path(), other);
    for (const char* name : {"marks.selections.txt", "marks.labels.txt"}) {
        dialogs().markTableAnswers.push_back(MarkTableChoice{dir.file(name), true});
        ASSERT_TRUE(app().runCommand(cmd::ImportMarks));
    }
    ASSERT_EQ(doc().marks().size(), 4u);
    EXPECT_TRUE(doc().modified());
    for (int i : {0, 2}) {
        EXPECT_EQ(doc().marks()[i].m_posX, 19200);
        EXPECT_EQ(doc().marks()[i + 1].m_first, 96000);
        EXPECT_EQ(doc().marks()[i + 1].m_last, 115200);
        EXPECT_EQ(doc().marks()[i + 1].m_label, "call");
    }

    // Bad tables: a message naming the fault, and no mark added.
    struct Bad {
        const char* text;
        const char* fault;  // part of the message
    };
    const Bad bad[] = {
        {"Selection\tBegin Time (s)\tEnd Time (s)\n1\tearly\t0.2\n", "Line 2"},
        {"Selection\tBegin Time (s)\tEnd Time (s)\n1\t0.5\t9.0\n", "outside the recording"},
    };
    for (const Bad& b : bad) {
        const std::string path = dir.file("bad.txt");
        ASSERT_TRUE(vkit::writeFileAtomically(path, b.text));
        dialogs().messages.clear();
        dialogs().markTableAnswers.push_back(MarkTableChoice{path, true});
        app().runCommand(cmd::ImportMarks);
        ASSERT_EQ(dialogs().messages.size(), 1u) << b.text;
        EXPECT_NE(dialogs().messages[0].find(b.fault), std::string::npos) << dialogs().messages[0];
        EXPECT_EQ(doc().marks().size(), 4u);
    }
}

}  // namespace
