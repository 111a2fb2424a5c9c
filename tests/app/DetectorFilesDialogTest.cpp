// The detector file management windows, offscreen: the list dialog with its
// buttons, Copy and Export; the copy dialog with its checks, the question
// after a failed copy and the count; the command of the File menu.
#include "detectorfiles/CFileHandlingList.h"
#include "detectorfiles/DetectorFileDialogs.h"
#include "detectorfiles/FileCopyAndRename.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"

#include "AppTestSupport.h"
#include "DetectorFixtures.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <deque>
#include <functional>

namespace {

class ScriptedDetectorDialogs : public IDetectorFileDialogs {
public:
    std::deque<std::optional<std::string>> folderAnswers;
    std::vector<std::pair<std::string, std::string>> folderQuestions;  // title, start
    std::deque<std::optional<std::string>> exportAnswers;
    std::deque<bool> continueAnswers;
    std::vector<std::string> continueQuestions;
    std::vector<std::string> messages;
    std::function<int(QDialog&)> onDialog;

    std::optional<std::string> chooseFolder(QWidget*, const std::string& title, const std::string& start) override
    {
        folderQuestions.emplace_back(title, start);
        return pop(folderAnswers);
    }
    std::optional<std::string> exportFileName(QWidget*, const std::string&) override { return pop(exportAnswers); }
    void message(QWidget*, const std::string& text, Icon) override { messages.push_back(text); }
    bool askContinue(QWidget*, const std::string& text) override
    {
        continueQuestions.push_back(text);
        const bool a = !continueAnswers.empty() && continueAnswers.front();
        if (!continueAnswers.empty())
            continueAnswers.pop_front();
        return a;
    }
    int execDialog(QDialog& dialog) override { return onDialog ? onDialog(dialog) : QDialog::Rejected; }

private:
    static std::optional<std::string> pop(std::deque<std::optional<std::string>>& q)
    {
        if (q.empty())
            return std::nullopt;
        auto a = q.front();
        q.pop_front();
        return a;
    }
};

class DetectorFilesDialogTest : public ::testing::Test {
protected:
    DetectorFilesDialogTest()
    {
        vestest::writeDetectorFolder(src.path());
        setDetectorFileDialogs(&script);
        detectorFolders() = {};
    }
    ~DetectorFilesDialogTest() override { setDetectorFileDialogs(nullptr); }

    QPushButton* button(QWidget& w, const char* name)
    {
        for (QPushButton* b : w.findChildren<QPushButton*>())
            if (b->accessibleName() == QString::fromUtf8(name))
                return b;
        return nullptr;
    }

    vestest::TempDir src, dest, work;
    ScriptedDetectorDialogs script;
};

TEST_F(DetectorFilesDialogTest, ListsTheRecordingsAndCopiesTheSelection)
{
    CFileHandlingList dlg(src.path());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("R450Z/R9000Z File Management"));
    QTreeWidget* list = dlg.list();
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("GPS Latitude"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("E 8.5417"));
    EXPECT_EQ(list->topLevelItem(0)->text(3), QStringLiteral("N 47.3769, E 8.5417"));
    EXPECT_EQ(list->topLevelItem(3)->text(0), QString::fromUtf8("d:0004 H\xc3\xb6hle.wav"));
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("2024-02-29 00:00:00"));
    for (QWidget* w : dlg.findChildren<QWidget*>()) {
        if (w->parentWidget() == &dlg && !qobject_cast<QDialog*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
    }

    QPushButton* copyRename = button(dlg, "Copy & Rename");
    ASSERT_TRUE(copyRename);
    EXPECT_EQ(copyRename->text(), QStringLiteral("Copy && Rename")) << "shown with one ampersand";
    EXPECT_FALSE(copyRename->isEnabled()) << "nothing selected";
    list->topLevelItem(3)->setSelected(true);
    list->topLevelItem(1)->setSelected(true);
    EXPECT_TRUE(copyRename->isEnabled());

    button(dlg, "Copy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromUtf8(DetectorFileList::tableText(dlg.files().textTable({1, 3}), '\t', "\n")));
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("File name\tRecorded date\t")));
    EXPECT_EQ(QApplication::clipboard()->text().count(QLatin1Char('\n')), 3) << "the headings and two rows";

    list->clearSelection();
    EXPECT_FALSE(copyRename->isEnabled());
    QApplication::clipboard()->clear();
    dlg.show();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().count(QLatin1Char('\n')), 5) << "Ctrl+C: every row";

    // Export of every row; a type that writes nothing says so.
    script.exportAnswers = {work.file("list.cvs"), work.file("list.xls")};
    button(dlg, "Export")->click();
    const vestest::Bytes csv = vestest::readFile(work.file("list.cvs"));
    EXPECT_EQ(std::string(csv.begin(), csv.end()),
              DetectorFileList::tableText(dlg.files().textTable(), ',', "\r\n"));
    button(dlg, "Export")->click();
    EXPECT_EQ(script.messages, std::vector<std::string>{"Unknown file type xls"});
    EXPECT_FALSE(vestest::fileExists(work.file("list.xls")));

    dlg.copyAndRename();
    EXPECT_EQ(script.messages.back(), "No files selected!");
}

TEST_F(DetectorFilesDialogTest, CopyAndRenameChecksTheDestinationAndNeverReplaces)
{
    CFileHandlingList dlg(src.path());
    for (int i = 0; i < 4; ++i)
        dlg.list()->topLevelItem(i)->setSelected(true);
    vestest::writeFile(dest.file("s_2024-02-29_00_00_00_b_0002.WAV"), vestest::Bytes{'x'});
    script.continueAnswers = {true};
    int shown = 0;
    script.onDialog = [&](QDialog& d) {
        auto* copy = qobject_cast<FileCopyAndRename*>(&d);
        EXPECT_TRUE(copy);
        if (!copy)
            return 0;
        ++shown;
        EXPECT_EQ(copy->windowTitle(), QStringLiteral("Copy And Rename"));
        EXPECT_EQ(copy->destination()->text().toStdString(), src.path()) << "the source folder at first";
        EXPECT_FALSE(copy->addDate()->isChecked());
        copy->destination()->setText(QString::fromStdString(dest.file("none")));
        copy->accept();
        copy->destination()->setText(QString::fromStdString(src.path()));
        copy->accept();
        EXPECT_EQ(copy->result().copies.size(), 0u) << "nothing copied yet";
        copy->destination()->setText(QString::fromStdString(dest.path()));
        copy->addDate()->setChecked(true);
        copy->prefix()->setText(QStringLiteral("s_"));
        copy->accept();
        EXPECT_EQ(copy->result().copied, 3);
        return copy->result().copied;
    };
    button(dlg, "Copy & Rename")->click();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(script.messages,
              (std::vector<std::string>{"Directory '" + dest.file("none") + "'not found!",
                                        "Destination and source the same!", "3 files copied to " + dest.path()}));
    EXPECT_EQ(script.continueQuestions,
              std::vector<std::string>{"Copy of file b_0002 FAILED!\nFile exists\nContinue copying?"});
    EXPECT_EQ(vestest::readFile(dest.file("s_2024-02-29_00_00_00_b_0002.WAV")), vestest::Bytes{'x'});
    EXPECT_EQ(vestest::readFile(dest.file("s_2024-01-31_23_59_59_A_0001.wav")), vestest::readFile(src.file("A_0001.wav")));
    EXPECT_TRUE(vestest::fileExists(dest.file("s_2023-06-30_12_00_00_d:0004 H\xc3\xb6hle.wav")));
    EXPECT_TRUE(detectorFolders().destination.empty()) << "a typed destination is not remembered";
}

TEST_F(DetectorFilesDialogTest, BrowseRemembersTheDestination)
{
    {
        FileCopyAndRename copy({src.file("A_0001.wav")}, src.path());
        copy.destination()->setText(QString::fromStdString(work.path()));
        script.folderAnswers = {dest.file("somefile.wav")};  // a file stands for its folder
        vestest::writeFile(dest.file("somefile.wav"), {});
        copy.browseButton()->click();
        ASSERT_EQ(script.folderQuestions.size(), 1u);
        EXPECT_EQ(script.folderQuestions[0],
                  std::make_pair(std::string("Please select a folder for storing copied files :"), work.path()));
        EXPECT_EQ(copy.destination()->text().toStdString(), dest.path());
    }
    FileCopyAndRename later({src.file("A_0001.wav")}, src.path());
    EXPECT_EQ(later.destination()->text().toStdString(), dest.path()) << "the folder chosen through Browse";
    later.destination()->setText(QStringLiteral("/elsewhere"));
    later.browseButton()->click();  // cancelled: the field's text is remembered all the same
    EXPECT_EQ(detectorFolders().destination, "/elsewhere");

    // A destination of three characters or fewer gives the documents folder.
    const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QByteArray::fromStdString(work.path()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(work.file("config")));
    const std::string docs = FileCopyAndRename::initialDestination("", "/");
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", config);
    EXPECT_EQ(docs, work.file("Documents"));
    EXPECT_TRUE(vestest::fileExists(work.file("Documents"))) << "created when missing";
    EXPECT_EQ(FileCopyAndRename::initialDestination("/mnt/x", "/data"), "/mnt/x");
}

class DetectorFilesCommandTest : public apptest::AppTest {};

TEST_F(DetectorFilesCommandTest, TheFileMenuCommandOpensTheListOfTheChosenFolder)
{
    vestest::TempDir folder;
    vestest::writeDetectorFolder(folder.path());
    const std::string wav = dir.file("tone.wav");
    apptest::writeToneWave(wav, 384000, 0.1, 40000);
    start({wav});
    ScriptedDetectorDialogs script;
    setDetectorFileDialogs(&script);
    detectorFolders() = {};
    int rows = -1;
    script.onDialog = [&](QDialog& d) {
        if (auto* list = qobject_cast<CFileHandlingList*>(&d))
            rows = list->list()->topLevelItemCount();
        return 0;
    };
    QAction* action = app().mainFrame()->action(cmd::DetectorFileManagement);
    ASSERT_TRUE(action);
    app().mainFrame()->updateCommandStates();
    EXPECT_TRUE(action->isEnabled());
    EXPECT_TRUE(app().mainFrame()->menu(QStringLiteral("&File"))->actions().contains(action));

    script.folderAnswers = {std::nullopt, folder.file("c-0003")};
    action->trigger();
    EXPECT_EQ(rows, -1) << "cancelled: no list";
    action->trigger();
    EXPECT_EQ(rows, 4);
    EXPECT_EQ(detectorFolders().source, folder.path()) << "a chosen file stands for its folder";
    action->trigger();
    ASSERT_EQ(script.folderQuestions.size(), 3u);
    EXPECT_EQ(script.folderQuestions[2], std::make_pair(std::string("Please select a folder :"), folder.path()));
    setDetectorFileDialogs(nullptr);
}

}  // namespace
