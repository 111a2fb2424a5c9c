// The display settings from the program: each settings command opens its
// dialog, OK and Apply change the view (which repaints at once) or the
// defaults (kept in the settings file), a rejected value leaves everything as
// it was, and the user colour maps are made, edited and chosen from the
// spectrogram dialog.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "core/RegCls.h"
#include "display/CAnaFreqDlg.h"
#include "display/CAnaPlot.h"
#include "display/CAnaSpectDiag.h"
#include "widgets/CColorButton.h"
#include "display/CUserColorMapsDlg.h"
#include "display/CVesAnaOscDiag.h"
#include "display/CVesAnaView.h"
#include "shell/CAppDocument.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"
#include "soundfiles/VesFileType.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QComboBox>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <string>
#include <vector>

namespace {

using apptest::processEvents;
using Kind = CVesAnaView::SettingsKind;

using apptest::child;
using apptest::whenModal;

// The image row with the most red of the "Yellow & Red" scheme: the tone's
// band (axes and text are black, the background white).
int darkestRow(CAnaPlot* plot)
{
    const QImage img = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int best = -1;
    long long bestSum = -1;
    for (int y = 0; y < img.height(); ++y) {
        long long sum = 0;
        for (int x = img.width() / 4; x < img.width() * 3 / 4; ++x) {
            const QRgb c = img.pixel(x, y);
            sum += qRed(c) > 100 && qGreen(c) < 100 && qBlue(c) < 100;
        }
        if (sum > bestSum) {
            bestSum = sum;
            best = y;
        }
    }
    return best;
}

class DisplaySettingsDialogTest : public apptest::AppTest {
protected:
    std::vector<std::string> messages;
    CVesAnaView* view = nullptr;

    void SetUp() override
    {
        const std::string wav = dir.file("call.wav");
        apptest::writeToneWave(wav, 384000, 0.25, 40000, 0.5);
        CNumEdit::setMessageSink([this](QWidget*, const std::string& text) { messages.push_back(text); });
        start({wav});
        view = app().openView(*activeDocument(), ViewKind::Spectrogram);
        view->resize(600, 400);
        view->show();
        processEvents();
    }
    void TearDown() override
    {
        CNumEdit::setMessageSink([](QWidget*, const std::string&) {});
        CColorMapEditDlg::setColorChooser({});
    }
    template <class T>
    T* open(int command, Kind kind)
    {
        EXPECT_TRUE(app().mainFrame()->action(command)->isEnabled());
        EXPECT_TRUE(app().runCommand(command));
        auto* dlg = qobject_cast<T*>(view->settingsDialog(kind));
        EXPECT_NE(dlg, nullptr);
        return dlg;
    }
    void press(QWidget* dlg, const char* button)
    {
        for (QPushButton* b : dlg->findChildren<QPushButton*>())
            if (b->text().remove('&') == button) {
                b->click();
                break;
            }
        processEvents();
    }
};

TEST_F(DisplaySettingsDialogTest, FrequencyRangeMovesTheBandAndOkClosesTheDialog)
{
    view->plot()->repaint();
    const int before = darkestRow(view->plot());
    auto* dlg = open<CAnaSpectDiag>(cmd::SpectSettingsCurrent, Kind::Spectrogram);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), "Spectrogram settings");
    EXPECT_EQ(dlg->maxFreq()->text(), "192000") << "unset maximum shows R/2";
    dlg->maxFreq()->setText("50000");
    dlg->fftSize()->setCurrentText("512 samples");
    dlg->autoOverlap()->setChecked(false);
    dlg->overlap()->setText("50");
    press(dlg, "Apply");
    EXPECT_EQ(view->parms().m_spectMax, 50000);
    EXPECT_EQ(view->parms().m_fftSize, 512);
    EXPECT_EQ(view->parms().m_fftOverLap, 50);
    EXPECT_EQ(dlg->frequencyResolution()->text(), "1050 Hz");
    EXPECT_EQ(dlg->timeBetweenFfts()->text(), "0.67 ms");
    view->plot()->repaint();
    const int after = darkestRow(view->plot());
    // 40 kHz of 192 kHz is near the bottom; of 50 kHz near the top.
    EXPECT_LT(after, before - view->plot()->height() / 4) << before << " -> " << after;

    dlg->maxFreq()->setText("192000");
    press(dlg, "OK");
    EXPECT_TRUE(view->parms().m_spectMax == -1 || view->parms().m_spectMax == 192000) << view->parms().m_spectMax;
    EXPECT_EQ(view->settingsDialog(Kind::Spectrogram), nullptr);
    EXPECT_TRUE(messages.empty());
}

TEST_F(DisplaySettingsDialogTest, RejectedValuesLeaveTheViewAsItWas)
{
    const VesAnaParms original = view->parms();
    auto* dlg = open<CAnaSpectDiag>(cmd::SpectSettingsCurrent, Kind::Spectrogram);
    ASSERT_NE(dlg, nullptr);
    struct Case {
        std::function<void()> set;
        const char* message;
    };
    const Case cases[] = {
        {[&] { dlg->maxFreq()->setText("200000"); }, "Numeric '200000' out of range (1 - 192000)."},
        {[&] { dlg->minFreq()->setText(""); }, "Error: Min frequency < zero."},
        {[&] { dlg->minFreq()->setText("60000"); dlg->maxFreq()->setText("50000"); }, "Error: Min frequency > Max frequency."},
        {[&] { dlg->autoOverlap()->setChecked(false); dlg->overlap()->setText("100"); }, "Numeric '100' out of range (0 - 99)."},
        {[&] { child<CNumEdit>(dlg, "Milliseconds per plot")->setText("0"); },
         "Numeric '0' out of range (0.001 - 36000000)."},
        {[&] { child<QCheckBox>(dlg, "Left Channel")->setChecked(false); child<QCheckBox>(dlg, "Right Channel")->setChecked(false); },
         "Error: At least one channel must be selected!"},
    };
    for (const Case& c : cases) {
        c.set();
        messages.clear();
        press(dlg, "OK");
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], c.message);
        EXPECT_EQ(view->parms(), original);
        EXPECT_EQ(view->settingsDialog(Kind::Spectrogram), dlg) << "the dialog stays open";
        // Back to values that pass.
        dlg->minFreq()->setText("0");
        dlg->maxFreq()->setText("192000");
        dlg->autoOverlap()->setChecked(true);
        child<CNumEdit>(dlg, "Milliseconds per plot")->setValue(original.m_plotSize);
        child<QCheckBox>(dlg, "Left Channel")->setChecked(true);
    }
    // Typing refuses what the field cannot hold, pasting too.
    dlg->minFreq()->clear();
    dlg->minFreq()->insert("4.5 kHz");
    EXPECT_EQ(dlg->minFreq()->text(), "45");
    press(dlg, "Cancel");
    EXPECT_EQ(view->settingsDialog(Kind::Spectrogram), nullptr);
    EXPECT_EQ(view->parms(), original);
}

TEST_F(DisplaySettingsDialogTest, DefaultsChangeNewViewsAndSurviveARestart)
{
    const VesAnaParms viewBefore = view->parms();
    auto* dlg = open<CAnaSpectDiag>(cmd::SpectSettingsDefault, Kind::Spectrogram);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), "Spectrogram settings - Default values");
    dlg->colorMapping()->setCurrentText("Grey");
    dlg->deEmphasis()->setChecked(true);
    dlg->contrast()->setValue(0);
    press(dlg, "OK");
    EXPECT_EQ(app().defaultAnaParms().m_colorScheme, 2);
    EXPECT_TRUE(app().defaultAnaParms().m_invColors);
    EXPECT_EQ(app().defaultAnaParms().m_contrast, 10);
    EXPECT_EQ(view->parms(), viewBefore) << "OK on the defaults leaves the view";
    // A new view copies the active one; a new recording starts from the defaults.
    ASSERT_NE(app().newDocument(), nullptr);
    processEvents();
    ASSERT_NE(activeView(), nullptr);
    EXPECT_EQ(activeView()->parms().m_colorScheme, 2);

    vkit::RegCls reg;
    VesAnaParms stored;
    stored.load(reg);
    EXPECT_EQ(stored.m_colorScheme, 2);
    EXPECT_TRUE(stored.m_invColors);
}

TEST_F(DisplaySettingsDialogTest, OscillogramAndZeroCrossingDialogs)
{
    auto* osc = open<CVesAnaOscDiag>(cmd::OscSettingsCurrent, Kind::Oscillogram);
    ASSERT_NE(osc, nullptr);
    osc->maxAmplitude()->setText("50");
    osc->minAmplitude()->setText("-25,5");
    child<QComboBox>(osc, "Amplitude grid")->setCurrentText("3");
    press(osc, "OK");
    EXPECT_EQ(view->parms().m_ampMax, 5000);
    EXPECT_EQ(view->parms().m_ampMin, -2550);
    EXPECT_EQ(view->parms().m_oscGridY, 3);
    osc = open<CVesAnaOscDiag>(cmd::OscSettingsCurrent, Kind::Oscillogram);
    osc->maxAmplitude()->setText("-30");
    messages.clear();
    press(osc, "OK");
    EXPECT_EQ(messages, std::vector<std::string>{"Error: Min amplitude > Max amplitude."});
    press(osc, "Cancel");
    EXPECT_EQ(view->parms().m_ampMax, 5000);

    auto* freq = open<CAnaFreqDlg>(cmd::FreqSettingsCurrent, Kind::ZeroCrossing);
    ASSERT_NE(freq, nullptr);
    freq->frequencyGrid()->setCurrentText("2 / tick mark");
    freq->maxFreq()->setText("80000");
    press(freq, "OK");
    EXPECT_EQ(view->parms().m_freqGridY, 2);
    EXPECT_EQ(view->parms().m_spectMax, 80000);
    freq = open<CAnaFreqDlg>(cmd::FreqSettingsCurrent, Kind::ZeroCrossing);
    EXPECT_EQ(freq->frequencyGrid()->currentText(), "2 / tick mark");
    freq->maxFreq()->setText("200000");
    messages.clear();
    press(freq, "OK");
    EXPECT_EQ(messages, std::vector<std::string>{"Error: Max frequency > 192000 Hz"});
    press(freq, "OK");  // the same value is rejected again
    freq->maxFreq()->setText("80000");
    press(freq, "OK");
    EXPECT_EQ(view->parms().m_freqGridY, 2);
}

TEST_F(DisplaySettingsDialogTest, UserColourMapIsMadeInTheEditorAndChosenForTheView)
{
    auto* dlg = open<CAnaSpectDiag>(cmd::SpectSettingsCurrent, Kind::Spectrogram);
    ASSERT_NE(dlg, nullptr);
    CColorMapEditDlg::setColorChooser([](const QColor&, QWidget*) { return QColor(200, 0, 0); });
    bool edited = false;
    whenModal([&](QWidget* list) {
        auto* maps = qobject_cast<CUserColorMapsDlg*>(list);
        ASSERT_NE(maps, nullptr);
        whenModal([&](QWidget* w) {
            auto* ed = qobject_cast<CColorMapEditDlg*>(w);
            ASSERT_NE(ed, nullptr);
            ed->nameEdit()->setText(QString::fromUtf8("  Rote Rufe äöü  "));
            ed->row(0).from->setText("-10");
            ed->row(0).to->setText("-70");
            ed->row(0).colFrom->click();
            ed->save(CColorMapEditDlg::Saved);
            edited = true;
        });
        maps->newMap();
        ASSERT_EQ(maps->list()->count(), 1);
        EXPECT_EQ(maps->list()->item(0)->text(), QString::fromUtf8("Rote Rufe äöü"));
        maps->accept();
    });
    dlg->editUserColors();
    ASSERT_TRUE(edited);
    ASSERT_EQ(app().userColorMaps().size(), 1u);
    const VesColorMap& made = app().userColorMaps()[0];
    EXPECT_EQ(made.m_colorMapRader, 1);
    EXPECT_EQ(made.m_bands[0].m_dbFrom, -10000);
    EXPECT_EQ(made.m_bands[0].m_dbTo, -70000);
    EXPECT_EQ(made.m_bands[0].m_colFrom, 200u);
    EXPECT_NE(made.m_modTime, 0);
    {
        vkit::RegCls reg;
        EXPECT_EQ(VesColorMapList::load(reg), app().userColorMaps()) << "written when it changed";
    }

    dlg->colorMapping()->setCurrentText(QString::fromUtf8("Rote Rufe äöü"));
    press(dlg, "OK");
    EXPECT_EQ(view->parms().m_colorScheme, 100);
    EXPECT_EQ(view->parms().m_colorMap.m_name, made.m_name);
    view->plot()->repaint();
    // The spectrogram now shows the map's red.
    const QImage img = view->plot()->grab().toImage();
    bool red = false;
    for (int y = 0; y < img.height() && !red; ++y)
        for (int x = 0; x < img.width() && !red; ++x) {
            const QColor c = img.pixelColor(x, y);
            red = c.red() > 150 && c.green() < 60 && c.blue() < 60;
        }
    EXPECT_TRUE(red);
}

TEST_F(DisplaySettingsDialogTest, RecordingFileKeepsTheViewSettingsAndBringsItsMap)
{
    VesColorMap map;
    map.m_name = "carried";
    map.m_modTime = 133000000000000000LL;
    map.m_colorMapRader = 1;
    map.m_bands[0] = {0, -60000, -1000, 60, 0x0000C0, 0xF0F0F0, 0};
    app().userColorMaps() = {map};
    auto* dlg = open<CAnaSpectDiag>(cmd::SpectSettingsCurrent, Kind::Spectrogram);
    ASSERT_NE(dlg, nullptr);
    dlg->colorMapping()->setCurrentText("carried");
    dlg->threshold()->setValue(5);
    // Automatic off and on again gives the overlap back.
    dlg->autoOverlap()->setChecked(false);
    dlg->overlap()->setText("75");
    dlg->autoOverlap()->setChecked(true);
    EXPECT_EQ(dlg->overlap()->text(), "");
    dlg->autoOverlap()->setChecked(false);
    EXPECT_EQ(dlg->overlap()->text(), "75");
    dlg->contrast()->setValue(dlg->contrast()->maximum());
    press(dlg, "OK");
    EXPECT_EQ(view->parms().m_contrast, -10) << "the right end of the slider";
    EXPECT_EQ(view->parms().m_fftOverLap, 75);
    const VesAnaParms saved = view->parms();

    // Only the spectrogram view is left, saved in the program's own format.
    for (CVesAnaView* v : activeDocument()->views())
        if (v != view)
            v->parentWidget()->close();
    processEvents();
    app().userColorMaps().clear();
    const std::string path = dir.file("settings.vprd");
    ASSERT_TRUE(saveOwnCloseAndReopen(path));
    ASSERT_NE(activeView(), nullptr);
    const VesAnaParms& back = activeView()->parms();
    EXPECT_EQ(back.m_colorScheme, 100);
    EXPECT_EQ(back.m_colorMap.m_name, "carried");
    EXPECT_EQ(back.m_fftThresHold, saved.m_fftThresHold);
    EXPECT_EQ(back.m_contrast, -10);
    EXPECT_EQ(back.m_fftOverLap, 75);
    ASSERT_EQ(app().userColorMaps().size(), 1u) << "the map came back into the list";
    EXPECT_EQ(app().userColorMaps()[0].m_name, "carried");
    {
        vkit::RegCls reg;
        EXPECT_EQ(VesColorMapList::load(reg).size(), 1u);
    }
    // Opening it again adds nothing.
    ASSERT_TRUE(app().runCommand(cmd::FileClose));
    processEvents();
    dialogs().openAnswers.push_back(OpenChoice{{path}, 0});
    ASSERT_TRUE(app().runCommand(cmd::FileOpen));
    processEvents();
    EXPECT_EQ(app().userColorMaps().size(), 1u);
}

TEST_F(DisplaySettingsDialogTest, EditorKeepsRowEditsAcrossScrollingAndRefusesBadRows)
{
    CColorMapEditDlg ed(VesColorMap{});
    EXPECT_FALSE(ed.saveAsNewButton()->isEnabled()) << "a new map has no name";
    ed.row(2).from->setText("-20");
    ed.row(2).to->setText("-80");
    ed.row(2).step->setText("-10");
    ASSERT_TRUE(ed.scrollTo(12));
    EXPECT_EQ(ed.row(0).number->text(), "13");
    ASSERT_TRUE(ed.scrollTo(0));
    EXPECT_EQ(ed.row(2).to->text(), "-80") << "the edit survived the scroll";
    EXPECT_EQ(ed.row(2).count->text(), "6");

    ed.row(3).from->setText("-80");
    ed.row(3).to->setText("-20");
    messages.clear();
    EXPECT_FALSE(ed.scrollTo(1));
    EXPECT_EQ(messages, std::vector<std::string>{"From (-80) must be greater then To (-20)."});
    EXPECT_EQ(ed.top(), 0);
    ed.row(3).from->setText("0");
    ed.row(3).to->setText("0");
    messages.clear();
    EXPECT_FALSE(ed.save(CColorMapEditDlg::Saved));
    EXPECT_EQ(messages, std::vector<std::string>{"Name may not be blank!"});
    ed.nameEdit()->setText("x");
    EXPECT_TRUE(ed.save(CColorMapEditDlg::Saved));
    const VesColorMap m = ed.storedMap();
    EXPECT_EQ(m.m_colorMapRader, 3) << "the empty band before the last in use counts";
    EXPECT_EQ(m.m_bands[2].m_count, 6);
    EXPECT_EQ(m.m_bands[2].m_dbStep, -10000);
}

}  // namespace

namespace {

TEST(PlotSizeField, StepGrowsWhileHeldAndFromTheLoadedValue)
{
    struct Case {
        std::int64_t loaded, heldMs, step;
    };
    const Case cases[] = {
        {500, 0, 10},          {500, 999, 10},        {500, 1000, 500},        {500, 13000, 1000000},
        {50000, 0, 100},       {50000, 5000, 50000},  {1000000, 0, 1000},      {1000000, 10000, 10000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CPlotSizeField::stepFor(c.loaded, c.heldMs), c.step) << c.loaded << " " << c.heldMs;

    CPlotSizeField field;
    field.load(36000000000LL - 5);
    auto buttons = field.findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 2);
    for (QToolButton* b : buttons)
        if (b->arrowType() == Qt::UpArrow)
            b->click();
    EXPECT_EQ(field.edit()->text(), "36000000") << "limited to 10 hours";
}

TEST(NumEditTyping, RefusesWhatTheFieldCannotHold)
{
    CNumEdit ms(plotSizeFormat());
    QTest::keyClicks(&ms, "1x2-,5");
    EXPECT_EQ(ms.text(), "12,5");
    CNumEdit db(NumEditFormat{3, -200000, 20000, true, false});
    QTest::keyClicks(&db, "-1a0");
    EXPECT_EQ(db.text(), "-10");
    CNumEdit hz(NumEditFormat{0, 0, 96000, false, true});
    QTest::keyClicks(&hz, "4.8k");
    EXPECT_EQ(hz.text(), "48");
}

}  // namespace
