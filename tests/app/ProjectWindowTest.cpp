// File > Open Project: a season's project made by vesperon-cli from demo
// recordings, shown as a table, filtered, a recording opened at its call,
// passes reviewed by the keyboard alone (accept, a typed code, noise), the
// labels written into the files' GUANO with nothing else changed, and the
// faults of a project file told without losing anything.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "project/Project.h"
#include "project/ProjectDialogs.h"
#include "project/ProjectWindow.h"
#include "project/RecordingTableModel.h"
#include "project/ReviewWindow.h"
#include "records/GuanoRecord.h"
#include "shell/CVesSoundApp.h"
#include "soundfiles/DemoRecording.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <array>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>

namespace {

using apptest::processEvents;

class ScriptedProjectDialogs : public IProjectDialogs {
public:
    std::deque<std::string> files, folders;
    std::deque<bool> answers;
    std::vector<std::string> messages, questions;

    std::optional<std::string> projectFile(QWidget*, const std::string&) override { return pop(files); }
    std::optional<std::string> chooseFolder(QWidget*, const std::string&, const std::string&) override
    {
        return pop(folders);
    }
    void message(QWidget*, const std::string& text) override { messages.push_back(text); }
    bool ask(QWidget*, const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }

private:
    static std::optional<std::string> pop(std::deque<std::string>& q)
    {
        if (q.empty())
            return std::nullopt;
        std::string s = q.front();
        q.pop_front();
        return s;
    }
};

// Every field of a window has a name for screen readers (the labels that
// name a field by being its buddy aside).
void expectNamedFields(QWidget* window)
{
    for (QWidget* field : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (auto* l = qobject_cast<QLabel*>(field); l && l->buddy())
            continue;
        EXPECT_FALSE(field->accessibleName().isEmpty()) << field->metaObject()->className();
    }
}

// The sub-chunks of a RIFF/WAVE file by id, in order, each with its payload.
std::vector<std::pair<std::string, std::string>> chunksOf(const std::string& path)
{
    const vestest::Bytes b = vestest::readFile(path);
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t pos = 12; pos + 8 <= b.size();) {
        const std::uint32_t n = b[pos + 4] | b[pos + 5] << 8 | b[pos + 6] << 16 | static_cast<std::uint32_t>(b[pos + 7]) << 24;
        out.emplace_back(std::string(b.begin() + static_cast<long>(pos), b.begin() + static_cast<long>(pos) + 4),
                         std::string(b.begin() + static_cast<long>(pos) + 8,
                                     b.begin() + static_cast<long>(std::min<std::size_t>(b.size(), pos + 8 + n))));
        pos += 8 + n + (n & 1);
    }
    return out;
}

class ProjectWindowTest : public apptest::AppTest {
protected:
    ScriptedProjectDialogs scripted;
    std::string root, project;
    std::vector<std::string> files;

    ProjectWindowTest() { setProjectDialogs(&scripted); }
    ~ProjectWindowTest() override { setProjectDialogs(nullptr); }

    // Three demo recordings (two sites, two nights), one with GUANO of its
    // own, made into a project by the command-line tool; the first
    // recording's calls get an automatic label.
    bool makeProject()
    {
#ifndef VES_CLI_PATH
        return false;
#else
        root = dir.file("season");
        project = dir.file("season.vproj");
        files = {root + "/North/d1/20260601_220000.wav", root + "/South/d2/20260602_013000.wav",
                 root + "/South/d2/20260602_230000.wav"};
        for (const std::string& f : files) {
            std::filesystem::create_directories(std::filesystem::path(f).parent_path());
            if (!writeDemoRecording(f))
                return false;
        }
        std::string error;
        if (!review::writeGuanoField(files[1], "Site Name", "South meadow", error))
            return false;
        const std::string cli = std::string("XDG_CONFIG_HOME='") + configHome + "' '" + VES_CLI_PATH + "' project ";
        for (const std::string& args :
             {"init '" + project + "' --root '" + root + "'",
              "add '" + project + "' '" + root + "' --site-level 1 --detector-level 2", "calls '" + project + "'"})
            if (std::system((cli + args + " > /dev/null").c_str()) != 0)
                return false;
        auto p = Project::open(project);
        const auto rec = p->find("North/d1/20260601_220000.wav");
        if (!rec || rec->calls < 3)
            return false;
        p->inTransaction([&] {
            for (int n = 1; n <= rec->calls; ++n)
                p->setAutoLabel(p->callId(rec->id, n), "PIPPIP", 0.9, false);
            p->refreshCounts(rec->id);
        });
        return true;
#endif
    }

    ProjectWindow* openThroughMenu()
    {
        scripted.files.push_back(project);
        if (!app().runCommand(cmd::OpenProject))
            return nullptr;
        processEvents();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* pw = qobject_cast<ProjectWindow*>(w); pw && pw->isVisible())
                return pw;
        return nullptr;
    }

    // The manual label, who and when, of every call of a recording.
    std::vector<std::array<std::string, 3>> vetting(const std::string& path)
    {
        auto p = Project::open(project);
        const auto rec = p->find(path);
        std::vector<std::array<std::string, 3>> out;
        // One pass holding every call of the recording.
        const auto pass = review::passAt(*p, rec->id, 0, 1e9);
        for (const review::ReviewCall& c : pass->calls)
            out.push_back({c.manualLabel, c.vettedBy, c.vettedAt});
        return out;
    }
};

}  // namespace

TEST_F(ProjectWindowTest, TableFilterOpenReviewByKeysAndWriteLabels)
{
    if (!makeProject())
        GTEST_SKIP() << "vesperon-cli is not built beside the tests";
    start();
    processEvents();
    ProjectWindow* w = openThroughMenu();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->accessibleName(), "Project");
    expectNamedFields(w);

    RecordingTableModel* model = w->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->data(model->index(0, RecordingTableModel::Path)).toString(), "North/d1/20260601_220000.wav");
    EXPECT_EQ(model->data(model->index(0, RecordingTableModel::Labels)).toString(), "PIPPIP");
    EXPECT_EQ(model->data(model->index(1, RecordingTableModel::Night)).toString(), "2026-06-01");

    // Filters: a site, then a night on top of it, then back to all.
    w->siteFilter()->setCurrentIndex(w->siteFilter()->findText("South"));
    EXPECT_EQ(model->rowCount(), 2);
    w->nightFilter()->setCurrentIndex(w->nightFilter()->findText("2026-06-02"));
    EXPECT_EQ(model->rowCount(), 1);
    w->nightFilter()->setCurrentIndex(0);
    w->siteFilter()->setCurrentIndex(0);
    w->labelFilter()->setCurrentIndex(w->labelFilter()->findText("unidentified"));
    EXPECT_EQ(model->rowCount(), 2);
    w->labelFilter()->setCurrentIndex(0);
    // Sorted by calls, most first, by a click on the heading's sort.
    w->table()->sortByColumn(RecordingTableModel::Calls, Qt::DescendingOrder);
    EXPECT_EQ(model->rowCount(), 3);
    w->table()->sortByColumn(RecordingTableModel::Path, Qt::AscendingOrder);

    // A double-click opens the recording at its first call, selected.
    ASSERT_TRUE(w->openRow(0));
    processEvents();
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->doc().path(), files[0]);
    {
        auto p = Project::open(project);
        const auto pass = review::passAt(*p, p->find("North/d1/20260601_220000.wav")->id, 0, 1000);
        ASSERT_TRUE(view->selection());
        EXPECT_EQ(view->selection()->first(), pass->calls.front().m.startFrame);
        EXPECT_EQ(view->selection()->last(), pass->calls.front().m.endFrame);
    }

    // Review, by keys only: A accepts the automatic label and moves on, a
    // typed code labels the next pass, N marks the last as noise.
    w->notVettedFilter()->setChecked(true);
    w->table()->clearSelection();
    w->table()->setCurrentIndex({});
    ReviewWindow* r = w->openReview();
    ASSERT_NE(r, nullptr);
    processEvents();
    EXPECT_EQ(r->accessibleName(), "Review passes");
    expectNamedFields(r);
    ASSERT_TRUE(r->pass());
    EXPECT_EQ(r->pass()->rec.path, "North/d1/20260601_220000.wav");
    EXPECT_FALSE(r->picture()->picture().isNull());
    EXPECT_EQ(r->callsTable()->rowCount(), static_cast<int>(r->pass()->calls.size()));
    // A shorter pass gap cuts the recording's calls into more passes.
    const std::size_t allCalls = r->pass()->calls.size();
    r->setPassGapMs(20);
    ASSERT_TRUE(r->pass());
    EXPECT_LT(r->pass()->calls.size(), allCalls);
    r->setPassGapMs(Project::kStoredPassGapMs);
    EXPECT_EQ(r->pass()->calls.size(), allCalls);
    QTest::keyClick(r, Qt::Key_A);
    processEvents();
    ASSERT_TRUE(r->pass());
    EXPECT_EQ(r->pass()->rec.path, "South/d2/20260602_013000.wav");
    QTest::keyClick(r, Qt::Key_Slash);
    QTest::keyClicks(r->codeField(), "MYODAU");
    QTest::keyClick(r->codeField(), Qt::Key_Return);
    processEvents();
    ASSERT_TRUE(r->pass());
    EXPECT_EQ(r->pass()->rec.path, "South/d2/20260602_230000.wav");
    // The arrows go back (the filter still holds this pass only) and on.
    QTest::keyClick(r, Qt::Key_Left);
    EXPECT_EQ(r->pass()->rec.path, "South/d2/20260602_230000.wav");
    QTest::keyClick(r, Qt::Key_N);
    processEvents();
    EXPECT_EQ(model->rowCount(), 0) << "every recording is vetted";

    const std::string user = ReviewWindow::userName();
    const std::map<std::string, std::string> expected = {{files[0], "PIPPIP"}, {files[1], "MYODAU"}, {files[2], "noise"}};
    for (const auto& [file, label] : expected) {
        const std::string rel = file.substr(root.size() + 1);
        const auto v = vetting(rel);
        ASSERT_FALSE(v.empty());
        for (const auto& [manual, by, when] : v) {
            EXPECT_EQ(manual, label) << rel;
            EXPECT_EQ(by, user);
            const QDateTime t = QDateTime::fromString(QString::fromStdString(when), Qt::ISODate);
            EXPECT_TRUE(t.isValid() && t.timeSpec() == Qt::UTC && when.back() == 'Z') << when;
            EXPECT_LE(std::abs(t.secsTo(QDateTime::currentDateTimeUtc())), 600);
        }
    }

    // Write labels to files: each file gets its label in GUANO; its other
    // chunks and its other GUANO fields stay as they were.
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> before;
    for (const std::string& f : files)
        before[f] = chunksOf(f);
    scripted.answers.push_back(true);
    EXPECT_EQ(w->writeLabels(), 3);
    EXPECT_TRUE(scripted.messages.empty()) << scripted.messages.front();
    for (const auto& [file, label] : expected) {
        SCOPED_TRACE(file);
        const auto after = chunksOf(file);
        std::vector<std::pair<std::string, std::string>> otherBefore, otherAfter;
        GuanoRecord oldG, newG;
        std::string error;
        for (const auto& c : before[file])
            if (c.first == "guan")
                GuanoRecord::parse(reinterpret_cast<const std::uint8_t*>(c.second.data()), c.second.size(), oldG, error);
            else
                otherBefore.push_back(c);
        for (const auto& c : after) {
            if (c.first == "guan") {
                ASSERT_TRUE(GuanoRecord::parse(reinterpret_cast<const std::uint8_t*>(c.second.data()), c.second.size(),
                                               newG, error));
            } else {
                otherAfter.push_back(c);
            }
        }
        EXPECT_EQ(otherAfter, otherBefore);
        ASSERT_TRUE(newG.find("Species Manual ID"));
        EXPECT_EQ(*newG.find("Species Manual ID"), label);
        newG.remove("Species Manual ID");
        oldG.remove("Species Manual ID");
        newG.remove(GuanoRecord::kVersionKey);
        oldG.remove(GuanoRecord::kVersionKey);
        EXPECT_EQ(newG.toBytes(), oldG.toBytes());
    }
    // The project knows the files as they are now: nothing counts as changed.
    {
        auto p = Project::open(project);
        for (const std::string& f : files) {
            const auto row = p->find(f.substr(root.size() + 1));
            ASSERT_TRUE(row);
            EXPECT_EQ(row->hash, fileContentHash(f, row->size));
        }
    }

    // A recording deleted since: shown as missing, opening it says so.
    r->close();
    w->notVettedFilter()->setChecked(false);
    std::filesystem::remove(files[2]);
    w->model()->refresh();
    EXPECT_EQ(model->data(model->index(2, RecordingTableModel::State)).toString(), "missing");
    EXPECT_FALSE(w->openRow(2));
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_NE(scripted.messages[0].find("is missing"), std::string::npos) << scripted.messages[0];
    w->close();
    processEvents();
}

TEST_F(ProjectWindowTest, FaultsOfTheProjectFileAreToldAndNothingIsLost)
{
    if (!makeProject())
        GTEST_SKIP() << "vesperon-cli is not built beside the tests";
    start();
    processEvents();
    const auto opens = [&](const std::string& file) {
        OpenRecordingFn none;
        ProjectWindow* w = openProjectWindow(nullptr, file, none);
        const bool opened = w != nullptr;
        if (w)
            w->close();
        processEvents();
        return opened;
    };

    // Not a project, and a project of a newer schema: refused, unchanged.
    const std::string text = dir.file("notes.vproj");
    vestest::writeFile(text, vestest::Bytes{'h', 'i', '\n'});
    const std::string newer = dir.file("newer.vproj");
    std::filesystem::copy_file(project, newer);
    {
        auto p = Project::open(newer);
        p->db().exec("PRAGMA user_version = 99");
    }
    for (const auto& [file, says] : {std::pair{text, "is not a Vesperon project"}, std::pair{newer, "newer Vesperon"}}) {
        const vestest::Bytes bytes = vestest::readFile(file);
        scripted.messages.clear();
        EXPECT_FALSE(opens(file));
        ASSERT_EQ(scripted.messages.size(), 1u);
        EXPECT_NE(scripted.messages[0].find(says), std::string::npos) << scripted.messages[0];
        EXPECT_EQ(vestest::readFile(file), bytes);
    }

    // Another program holding the write lock: the project opens for
    // reading (WAL); a decision waits, then is refused with the reason, and
    // the pass stays as it was.
    {
        scripted.messages.clear();
        ProjectWindow* w = openProjectWindow(nullptr, project, {});
        ASSERT_NE(w, nullptr);
        ReviewWindow* r = w->openReview();
        ASSERT_TRUE(r->pass());
        auto holder = Project::open(project);
        holder->db().exec("BEGIN IMMEDIATE");
        EXPECT_FALSE(r->noise());
        EXPECT_TRUE(r->statusText().contains("locked")) << r->statusText().toStdString();
        holder->db().exec("ROLLBACK");
        EXPECT_FALSE(review::passAt(*holder, r->pass()->rec.id, 0, 1000)->vetted());
        EXPECT_TRUE(r->noise());
        w->close();
        processEvents();
    }

    // The root moved: a folder that does not hold the recordings is
    // refused; the right one is checked and taken.
    const std::string moved = dir.file("moved");
    std::filesystem::rename(root, moved);
    const std::string other = dir.file("other");
    std::filesystem::create_directories(other);
    scripted.messages.clear();
    scripted.answers = {true, true};
    scripted.folders = {other, moved};
    EXPECT_TRUE(opens(project));
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_NE(scripted.messages[0].find("does not hold this project's recordings"), std::string::npos);
    EXPECT_EQ(Project::open(project)->root(), root);
    EXPECT_TRUE(opens(project));
    EXPECT_EQ(Project::open(project)->root(), moved);
    EXPECT_EQ(scripted.questions.size(), 2u);
}

// A season larger than a page: the table counts it and reads the pages it
// shows, never the whole table, and keeps only a few pages.
TEST_F(ProjectWindowTest, TheTableReadsPagesOfALargeSeason)
{
    constexpr int kRows = 5000;
    const std::string file = dir.file("large.vproj");
    {
        auto p = Project::create(file);
        p->setRoot(dir.path());
        p->inTransaction([&] {
            for (int i = 0; i < kRows; ++i) {
                RecordingRow r;
                char name[32];
                std::snprintf(name, sizeof name, "R%05d.wav", i);
                r.path = name;
                r.night = i % 2 ? "2026-06-01" : "2026-06-02";
                r.site = "S";
                CallMeasures c;
                c.call = 1;
                c.endMs = 5;
                p->storeCalls(p->putRecording(r), "k", 0, {c});
            }
        });
    }
    ProjectWindow* w = openProjectWindow(nullptr, file, {});
    ASSERT_NE(w, nullptr);
    RecordingTableModel* model = w->model();
    processEvents();
    EXPECT_EQ(model->rowCount(), kRows);
    const int shown = model->pagesFetched();
    EXPECT_LE(shown, 2);
    // Scrolling to the end reads the last page, from the end of the order.
    w->table()->scrollToBottom();
    processEvents();
    EXPECT_EQ(model->data(model->index(kRows - 1, RecordingTableModel::Path)).toString(), "R04999.wav");
    EXPECT_EQ(model->data(model->index(kRows / 2, RecordingTableModel::Path)).toString(), "R02500.wav");
    EXPECT_LE(model->pagesFetched(), shown + 3);
    // Walking every row keeps the cache to its few pages.
    for (int row = 0; row < kRows; row += 97)
        ASSERT_TRUE(model->rowAt(row)) << row;
    EXPECT_LE(model->pagesFetched(), shown + 3 + kRows / RecordingTableModel::kPageRows + 1);
    // Sorted by night, descending (ties by path, descending too): the even
    // rows' later night first.
    w->table()->sortByColumn(RecordingTableModel::Night, Qt::DescendingOrder);
    EXPECT_EQ(model->data(model->index(0, RecordingTableModel::Path)).toString(), "R04998.wav");
    EXPECT_EQ(model->data(model->index(kRows / 2, RecordingTableModel::Path)).toString(), "R04999.wav");
    EXPECT_EQ(model->data(model->index(kRows - 1, RecordingTableModel::Path)).toString(), "R00001.wav");
    w->nightFilter()->setCurrentIndex(w->nightFilter()->findText("2026-06-01"));
    EXPECT_EQ(model->rowCount(), kRows / 2);
    // Not vetted: not counted ahead; the rows grow a page at a time.
    w->notVettedFilter()->setChecked(true);
    EXPECT_EQ(model->rowCount(), RecordingTableModel::kPageRows);
    EXPECT_TRUE(w->statusText().contains("and more")) << w->statusText().toStdString();
    ASSERT_TRUE(model->canFetchMore({}));
    model->fetchMore({});
    EXPECT_EQ(model->rowCount(), 2 * RecordingTableModel::kPageRows);
    while (model->canFetchMore({}))
        model->fetchMore({});
    EXPECT_EQ(model->rowCount(), kRows / 2);
    EXPECT_EQ(w->statusText(), QString("%1 recordings").arg(kRows / 2));
    w->close();
    processEvents();
}
