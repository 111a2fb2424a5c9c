// The high-speed playback list dialog and its status dialog, driven
// offscreen through the simulated card.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "core/RegCls.h"
#include "records/VesSettings.h"
#include "shell/CVesSoundApp.h"
#include "soundio/DaqCard.h"
#include "soundio/HspDialogs.h"
#include "soundio/NidaqPlayCls.h"
#include "soundio/NidaqPlayStatus.h"
#include "soundio/SoundDevices.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTreeWidget>

#include <dirent.h>
#include <unistd.h>

#include <deque>

#include <gtest/gtest.h>

namespace {

class ScriptedHspDialogs : public IHspDialogs {
public:
    std::deque<Frequency> frequencyAnswers;
    std::deque<Answer> clearAnswers;
    std::vector<std::string> messages;
    int frequencyQuestions = 0;

    std::vector<std::string> openRecordings(QWidget*) override { return {}; }
    std::string openPlayList(QWidget*) override { return {}; }
    std::string savePlayList(QWidget*) override { return {}; }
    Frequency askFrequency(QWidget*) override
    {
        ++frequencyQuestions;
        if (frequencyAnswers.empty())
            return Frequency::Cancel;
        const Frequency f = frequencyAnswers.front();
        frequencyAnswers.pop_front();
        return f;
    }
    Answer askClearOld(QWidget*) override
    {
        if (clearAnswers.empty())
            return Answer::Cancel;
        const Answer a = clearAnswers.front();
        clearAnswers.pop_front();
        return a;
    }
    void message(QWidget*, const std::string& text) override { messages.push_back(text); }
};

int openConvertedFiles()
{
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    while (dirent* e = d ? readdir(d) : nullptr) {
        char target[4096];
        const ssize_t len = readlink((std::string("/proc/self/fd/") + e->d_name).c_str(), target, sizeof target - 1);
        if (len <= 0)
            continue;
        const std::string t(target, static_cast<size_t>(len));
        const auto slash = t.find_last_of('/');
        n += slash != std::string::npos && t.compare(slash + 1, 3, DaqTempFile::kPrefix) == 0;
    }
    if (d)
        closedir(d);
    return n;
}

bool waitFor(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

class HighSpeedPlaybackDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        apptest::processEvents();
        auto d = std::make_unique<ScriptedHspDialogs>();
        dialogs = d.get();
        setHspDialogs(std::move(d));
        auto c = std::make_unique<SimulatedDaqCard>(dir.file("card.raw"));
        card = c.get();
        card->setTimeScale(0);
        dlg = std::make_unique<NidaqPlayCls>(std::move(c), "No data-acquisition card (test): the simulated card is used.");
        dlg->setTempFolder(temp.path());
    }
    void TearDown() override
    {
        dlg.reset();
        setHspDialogs(nullptr);
    }
    std::string tone(const std::string& name, std::uint32_t rate, double seconds)
    {
        const std::string path = dir.file(name);
        apptest::writeToneWave(path, rate, seconds, 1000, 0.5);
        return path;
    }
    QStringList rowTexts(int row) const
    {
        QStringList out;
        QTreeWidgetItem* item = dlg->list()->topLevelItem(row);
        for (int c = 0; item && c < 5; ++c)
            out << item->text(c);
        return out;
    }

    vestest::TempDir dir, temp;
    ScriptedHspDialogs* dialogs = nullptr;
    SimulatedDaqCard* card = nullptr;
    std::unique_ptr<NidaqPlayCls> dlg;
};

TEST_F(HighSpeedPlaybackDialogTest, AddFileShowsTheColumnsAndAsksWhichFrequencyToUse)
{
    EXPECT_NE(apptest::child<QTreeWidget>(dlg.get(), "Play list"), nullptr);
    EXPECT_NE(apptest::child<QComboBox>(dlg.get(), "Sampl. freq"), nullptr);
    EXPECT_NE(apptest::child<QSpinBox>(dlg.get(), "Repeat # times"), nullptr);
    for (const char* b : {"Play", "Add file", "Read file list", "Save file list", "Remove file", "Close"})
        EXPECT_NE(apptest::child<QPushButton>(dlg.get(), b), nullptr) << b;
    EXPECT_TRUE(dlg->cardField()->text().contains("simulated card is used"));

    const std::string a = tone("a.wav", 250000, 0.1);
    dlg->addFiles({a});
    ASSERT_EQ(dlg->rows().size(), 1u);
    EXPECT_EQ(rowTexts(0), (QStringList{"a.wav", "0.231", " 1 ", " 250 kHz", QString::fromStdString(a)}));
    EXPECT_EQ(dialogs->frequencyQuestions, 0);

    // A frequency of the field that differs from the file's: Selected, File, Cancel.
    dlg->frequencyField()->setEditText("300 kHz");
    dlg->repeatField()->setValue(4);
    dialogs->frequencyAnswers = {IHspDialogs::Frequency::Selected, IHspDialogs::Frequency::File,
                                 IHspDialogs::Frequency::Cancel};
    dlg->addFiles({a, a, a});
    ASSERT_EQ(dlg->rows().size(), 3u);
    EXPECT_EQ(rowTexts(1)[3], " 300 kHz");
    EXPECT_EQ(rowTexts(1)[2], " 4 ");
    EXPECT_EQ(rowTexts(2)[3], " 250 kHz");
    EXPECT_EQ(openConvertedFiles(), 3);  // the cancelled one went at once

    // A recording faster than the card is refused before it is added.
    dlg->frequencyField()->setEditText("");
    dlg->addFiles({tone("fast.wav", 600000, 0.01)});
    EXPECT_EQ(dlg->rows().size(), 3u);
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_NE(dialogs->messages[0].find("outside the range of the card"), std::string::npos);

    dlg->list()->topLevelItem(0)->setSelected(true);
    dlg->list()->topLevelItem(2)->setSelected(true);
    apptest::child<QPushButton>(dlg.get(), "Remove file")->click();
    ASSERT_EQ(dlg->rows().size(), 1u);
    EXPECT_EQ(rowTexts(0)[3], " 300 kHz");
    EXPECT_EQ(openConvertedFiles(), 1);
    apptest::child<QPushButton>(dlg.get(), "Close")->click();
    EXPECT_TRUE(dlg->rows().empty());
    EXPECT_EQ(openConvertedFiles(), 0);
}

TEST_F(HighSpeedPlaybackDialogTest, ReadingAListKeepsTheGoodLinesAndSavingWritesThemBack)
{
    const std::string a = tone("a.wav", 250000, 0.05);
    const std::string b = tone("b.wav", 200000, 0.05);
    const std::string list = dir.file("in.vpl");
    const std::string text = a + "\ta.wav\t250000\t3\r\n" +                   // kept
                             dir.file("missing.wav") + "\tm.wav\t0\t1\r\n" +  // no such file
                             list + "\tin.vpl\t0\t1\r\n" +                    // not a recording
                             a + "\ta.wav\t0\t0\r\n" +                        // repeat count 0
                             b + "\tb.wav\t900000\t1\r\n" +                   // above the card
                             b + "\tb.wav\t0\t2\r\n" +                        // kept
                             std::string(1 << 20, 'x') + "\r\n" +             // a megabyte
                             a + "\ta.wav\t0\t1\r\n";                         // after the error: not read
    vestest::writeFile(list, vestest::Bytes(text.begin(), text.end()));
    dialogs->frequencyAnswers = {IHspDialogs::Frequency::Selected};
    dlg->readFileList(list);
    ASSERT_EQ(dlg->rows().size(), 2u);
    EXPECT_EQ(rowTexts(0)[2], " 3 ");
    EXPECT_EQ(rowTexts(1)[0], "b.wav");
    EXPECT_EQ(rowTexts(1)[3], " 200 kHz");
    ASSERT_EQ(dialogs->messages.size(), 5u);
    EXPECT_EQ(dialogs->messages[0], "Error while reading file " + dir.file("missing.wav") + "\nFile is not a valid WAVE sound file.");
    EXPECT_EQ(dialogs->messages[1].rfind("Error while reading file " + list, 0), 0u);
    EXPECT_EQ(dialogs->messages[2], "Error while reading file " + a + "\nThe repeat count must be at least 1.");
    EXPECT_NE(dialogs->messages[3].find("outside the range of the card"), std::string::npos);
    EXPECT_EQ(dialogs->messages[4].rfind("Play list file format error on line:\n", 0), 0u);
    EXPECT_LT(dialogs->messages[4].size(), 200u);

    const std::string out = dir.file("out.vpl");
    dlg->saveFileList(out);
    const vestest::Bytes saved = vestest::readFile(out);
    EXPECT_EQ(std::string(saved.begin(), saved.end()), a + "\ta.wav\t250000\t3\r\n" + b + "\tb.wav\t200000\t2\r\n");

    // Reading again: Cancel reads nothing, No appends, Yes clears first.
    dialogs->clearAnswers = {IHspDialogs::Answer::Cancel, IHspDialogs::Answer::No, IHspDialogs::Answer::Yes};
    dlg->readFileList(out);
    EXPECT_EQ(dlg->rows().size(), 2u);
    dlg->readFileList(out);
    EXPECT_EQ(dlg->rows().size(), 4u);
    dlg->readFileList(out);
    EXPECT_EQ(dlg->rows().size(), 2u);
    dialogs->clearAnswers = {IHspDialogs::Answer::No};
    dlg->readFileList(dir.file("none.vpl"));
    EXPECT_EQ(dialogs->messages.back(), "Unable to open file " + dir.file("none.vpl"));
}

TEST_F(HighSpeedPlaybackDialogTest, PlayShowsEachRepetitionInTheStatusLogUntilEnded)
{
    dlg->repeatField()->setValue(3);
    dlg->addFiles({tone("a.wav", 250000, 0.02)});
    dlg->repeatField()->setValue(1);
    dlg->addFiles({tone("b.wav", 250000, 0.02)});
    QString log, state;
    bool stopEnabledAtEnd = true;
    apptest::whenModal([&](QWidget* w) {
        auto* status = qobject_cast<NidaqPlayStatus*>(w);
        ASSERT_NE(status, nullptr);
        waitFor([&] { return status->stateField()->text() == "Ended"; });
        log = status->logText();
        state = status->stateField()->text();
        stopEnabledAtEnd = status->stopButton()->isEnabled();
        status->closeButton()->click();
    });
    dlg->play();
    EXPECT_EQ(state, "Ended");
    EXPECT_FALSE(stopEnabledAtEnd);
    EXPECT_EQ(log, "Playing a.wav 1 of 3 times\r\nPlaying a.wav 2 of 3 times\r\nPlaying a.wav 3 of 3 times\r\n"
                   "Playing b.wav");
    EXPECT_EQ(card->playCalls(), 4);
    EXPECT_FALSE(soundBusy());
}

TEST_F(HighSpeedPlaybackDialogTest, ClosingTheStatusWhilePlayingStopsTheFileInTheMiddle)
{
    card->setTimeScale(1.0);
    dlg->addFiles({tone("long.wav", 250000, 3.0)});
    QElapsedTimer t;
    apptest::whenModal([&](QWidget* w) {
        auto* status = qobject_cast<NidaqPlayStatus*>(w);
        ASSERT_NE(status, nullptr);
        waitFor([&] { return status->stateField()->text() == "PLAYING"; });
        EXPECT_TRUE(soundBusy());
        QThread::msleep(100);
        t.start();
        status->closeButton()->click();
    });
    dlg->play();
    EXPECT_LT(t.elapsed(), 1000);
    const vestest::Bytes played = vestest::readFile(dir.file("card.raw"));
    EXPECT_GT(played.size(), 0u);
    EXPECT_LT(played.size(), 2u * 250000);
    EXPECT_FALSE(soundBusy());
    // Closing the list lets every converted file go.
    dlg->done(QDialog::Accepted);
    EXPECT_EQ(openConvertedFiles(), 0);
}

}  // namespace

namespace {

using HighSpeedPlaybackCommandTest = apptest::AppTest;

TEST_F(HighSpeedPlaybackCommandTest, CardSettingsAreReadAtStartTheMenuOpensTheListAndExitWritesThem)
{
    {
        vkit::RegCls reg;
        reg.beginUpdate();
        reg.writeInt("Settings\\NI", "SampFreq", 123456);
        reg.writeText(DaqCardSettings::kRegKey, "Card", "simulated");
        reg.writeText(DaqCardSettings::kRegKey, "SimOutput", dir.file("sim.raw"));
        ASSERT_TRUE(reg.endUpdate());
    }
    start({});
    EXPECT_EQ(app().cardParms(VesCardParms::Card::NI).m_sampFreq, 123456);
    EXPECT_EQ(app().daqCardSettings().m_card, "simulated");
    ASSERT_TRUE(app().commandState(cmd::HighSpeedPlayback).enabled);
    QString cardText;
    apptest::whenModal([&](QWidget* w) {
        auto* list = qobject_cast<NidaqPlayCls*>(w);
        ASSERT_NE(list, nullptr);
        cardText = list->cardField()->text();
        apptest::child<QPushButton>(list, "Close")->click();
    });
    EXPECT_TRUE(app().runCommand(cmd::HighSpeedPlayback));
    EXPECT_EQ(cardText, QString::fromStdString("Card: Simulated card (plays into " + dir.file("sim.raw") + ")"));
    quit();
    vkit::RegCls reg;
    EXPECT_EQ(reg.readInt("Settings\\NI", "SampFreq", 0), 123456);
    EXPECT_TRUE(reg.hasValue("Settings\\CB", "SampFreq"));
    EXPECT_FALSE(reg.hasValue("Settings\\CB", "Gain"));
    EXPECT_EQ(reg.readText(DaqCardSettings::kRegKey, "Card", ""), "simulated");
}

}  // namespace
