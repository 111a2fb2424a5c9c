// Filtering from the program: Edit > Filter opens "Time Domain Filter", its
// checks keep it open with the system's message, OK filters the selection (the
// whole recording without one), the frequency response shows the design, and
// Edit > Undo gives back every sample.
#include "AppTestSupport.h"

#include "DocTestSupport.h"
#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "filter/CFilterRespDlg.h"
#include "filter/CVesFilterDlg.h"
#include "shell/CAppDocument.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"
#include "soundfiles/VesFileType.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using apptest::processEvents;

constexpr std::uint32_t kRate = 384000;
constexpr std::int64_t kFrames = 96000;

// Amplitude of a tone in frames [from, to) of the document.
double toneLevel(CVesSoundDoc& doc, double hz, std::int64_t from, std::int64_t to)
{
    std::vector<double> x(static_cast<std::size_t>(to - from));
    doc.readFramesAsDouble(from, to - from, ChannelIndex::Left, x.data());
    double re = 0, im = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double w = 2 * M_PI * hz * static_cast<double>(from + static_cast<std::int64_t>(i)) / kRate;
        re += x[i] * std::cos(w);
        im += x[i] * std::sin(w);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(x.size());
}

using apptest::child;
using apptest::whenModal;

class FilterDialogTest : public apptest::AppTest {
protected:
    std::string wav;
    std::vector<std::string> messages;
    void SetUp() override
    {
        // A 2 kHz hum and a 40 kHz call.
        wav = dir.file("hum-and-call.wav");
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kFrames) * 2);
        for (std::int64_t i = 0; i < kFrames; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const auto v = static_cast<std::int16_t>(9000 * std::sin(2 * M_PI * 2000 * t) + 9000 * std::sin(2 * M_PI * 40000 * t));
            bytes[static_cast<std::size_t>(2 * i)] = static_cast<std::uint8_t>(v & 0xFF);
            bytes[static_cast<std::size_t>(2 * i + 1)] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        }
        vestest::RecordingHost host;
        CVesSoundDoc doc(host);
        vestest::fillDocument(doc, 1, 16, kRate, bytes);
        ASSERT_TRUE(doc.save(wav, kTypeStandardWave));
        CVesFilterDlg::setMessageSink([this](QWidget*, const std::string& text) { messages.push_back(text); });
        start({wav});
    }
    void TearDown() override
    {
        CVesFilterDlg::setMessageSink([](QWidget*, const std::string&) {});
        CVesFilterDlg::setDefinitionFileChooser([](QWidget*) { return QString(); });
    }
    static void setHighPass(QWidget* dlg, const QString& hz)
    {
        child<QRadioButton>(dlg, "Highpass")->setChecked(true);
        child<QLineEdit>(dlg, "Highpass cut-off frequency")->setText(hz);
        child<QComboBox>(dlg, "Filter type")->setCurrentText("Elliptic");
        child<QComboBox>(dlg, "Filter order")->setCurrentText("8");
        child<QComboBox>(dlg, "Stopband gain")->setEditText("-60 dB");
        child<QComboBox>(dlg, "Passband ripple")->setEditText("0.5 dB");
    }
};

TEST_F(FilterDialogTest, HighPassRemovesTheHumAndUndoBringsItBack)
{
    CVesSoundDoc& doc = activeDocument()->doc();
    const std::vector<std::uint8_t> original = vestest::documentBytes(doc);
    processEvents();
    EXPECT_TRUE(app().mainFrame()->action(cmd::EditFilter)->isEnabled());
    EXPECT_FALSE(app().mainFrame()->action(cmd::EditUndo)->isEnabled());

    bool answered = false;
    whenModal([&](QWidget* dlg) {
        ASSERT_NE(qobject_cast<CVesFilterDlg*>(dlg), nullptr);
        EXPECT_EQ(dlg->windowTitle(), "Time Domain Filter");
        setHighPass(dlg, "10000");
        // Butterworth disables ripple and stopband; elliptic enables both.
        EXPECT_TRUE(child<QComboBox>(dlg, "Stopband gain")->isEnabled());
        child<QPushButton>(dlg, "OK")->click();
        answered = true;
    });
    ASSERT_TRUE(app().runCommand(cmd::EditFilter));
    ASSERT_TRUE(answered);
    EXPECT_LT(toneLevel(doc, 2000, 20000, kFrames), 9000 * 0.002) << "hum removed";
    EXPECT_NEAR(toneLevel(doc, 40000, 20000, kFrames), 9000, 9000 * 0.07) << "call kept";
    EXPECT_EQ(CVesFilterDlg::programRecord().highPassHz, 10000) << "the program keeps the last filter";

    processEvents();
    QAction* undo = app().mainFrame()->action(cmd::EditUndo);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_TRUE(undo->text().startsWith("&Undo Filter")) << undo->text().toStdString();
    ASSERT_TRUE(app().runCommand(cmd::EditUndo));
    EXPECT_EQ(vestest::documentBytes(doc), original);
}

TEST_F(FilterDialogTest, RejectedValuesKeepTheDialogOpenAndChangeNothing)
{
    CVesSoundDoc& doc = activeDocument()->doc();
    const std::vector<std::uint8_t> original = vestest::documentBytes(doc);
    // A definition file whose order is out of range.
    vestest::writeFile(dir.file("bad.flt"), vestest::Bytes{'9', '9', '\n'});
    CVesFilterDlg::setDefinitionFileChooser([this](QWidget*) { return QString::fromStdString(dir.file("bad.flt")); });
    bool stillOpen = false;
    whenModal([&](QWidget* dlg) {
        setHighPass(dlg, "0");
        child<QPushButton>(dlg, "OK")->click();
        stillOpen = dlg->isVisible();
        child<QComboBox>(dlg, "Filter type")->setCurrentText("User defined");
        EXPECT_FALSE(child<QLineEdit>(dlg, "Highpass cut-off frequency")->isEnabled());
        child<QPushButton>(dlg, "OK")->click();
        child<QPushButton>(dlg, "Cancel")->click();
    });
    EXPECT_TRUE(app().runCommand(cmd::EditFilter));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(messages, (std::vector<std::string>{"Illegal cut-off frequency!",
                                                   "Error in filter definition file (filter order out of range).",
                                                   "Ilegal filter order!"}));
    EXPECT_EQ(vestest::documentBytes(doc), original);
    EXPECT_FALSE(doc.canUndo());
}

TEST_F(FilterDialogTest, TheFrequencyResponseShowsTheDesign)
{
    std::vector<double> shown;
    whenModal([&](QWidget* dlg) {
        setHighPass(dlg, "10000");
        whenModal([&](QWidget* response) {
            auto* r = qobject_cast<CFilterRespDlg*>(response);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(r->windowTitle(), "Frequency Response");
            shown = r->plot()->magnitudes();
            const QImage picture = r->plot()->grab().toImage();
            EXPECT_FALSE(picture.isNull());
            r->accept();
        });
        child<QPushButton>(dlg, "Show Frequency Response")->click();
        child<QPushButton>(dlg, "Cancel")->click();
    });
    EXPECT_TRUE(app().runCommand(cmd::EditFilter));
    ASSERT_GE(shown.size(), 1024u);
    EXPECT_LT(shown.front(), 1.01e-3) << "the stopband gain (-60 dB) at 0 Hz";
    const std::size_t at40k = shown.size() * 40000 / 192000;
    EXPECT_GT(shown[at40k], 0.9) << "the passband at 40 kHz";
}

}  // namespace
