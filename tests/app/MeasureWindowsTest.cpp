// The measurement windows of a view: power spectra, pulse interval and pulse
// length histograms and the pulse characteristics analysis, driven through
// the view's commands on recordings of known content.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "core/ThreadStartFaults.h"
#include "display/CAnaPlot.h"
#include "widgets/CNumEdit.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "power/CPowerPlot.h"
#include "power/CPowerSettingsDlg.h"
#include "pulse/CAnaRateSet.h"
#include "power/CPowerWnd.h"
#include "power/ViewPower.h"
#include "power/PowerScale.h"
#include "print/PicturePrinting.h"
#include "pulse/CRatePlot.h"
#include "pulse/CRateWnd.h"
#include "pulse/PulsCharDiagCls.h"
#include "pulse/PulsCharDispCls.h"
#include "pulse/ViewPulse.h"
#include "shell/CVesSoundApp.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>

namespace {

using apptest::processEvents;

constexpr std::uint32_t kRate = 384000;
constexpr double kToneHz = 40000;

// Lets the event loop run until `done` or `ms` have passed.
template <class F>
bool waitFor(F done, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

// A mono 16-bit recording of `count` tone bursts (`burstMs` long, `periodMs`
// apart, from 50 ms on) in silence.
void writeBurstWave(const std::string& path, double seconds, int count, double burstMs, double periodMs)
{
    const auto frames = static_cast<std::int64_t>(seconds * kRate);
    vestest::Bytes data;
    for (std::int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate * 1000 - 50;
        const int k = t < 0 ? -1 : static_cast<int>(t / periodMs);
        const bool on = k >= 0 && k < count && t - k * periodMs < burstMs;
        const double v = on ? 0.5 * std::sin(2 * std::numbers::pi * kToneHz * static_cast<double>(i) / kRate) : 0.0;
        const auto s = static_cast<std::int16_t>(std::lround(32767 * v));
        data.push_back(static_cast<std::uint8_t>(s & 0xFF));
        data.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    vestest::ByteWriter w;
    w.chunk("fmt ", vestest::pcmFormat(1, kRate, 16)).chunk("data", data);
    vestest::writeFile(path, vestest::riffWave(w.data()));
}

class MeasureWindowsTest : public apptest::AppTest {
protected:
    CVesAnaView* view = nullptr;
    std::vector<std::string> messages;
    std::string wav;

    MeasureWindowsTest()
    {
        CNumEdit::setMessageSink([this](QWidget*, const std::string& text) { messages.push_back(text); });
    }
    ~MeasureWindowsTest() override { CNumEdit::setMessageSink({}); }

    void openTone(double seconds)
    {
        wav = dir.file("tone.wav");
        apptest::writeToneWave(wav, kRate, seconds, kToneHz);
        openFile(wav);
    }
    void openFile(const std::string& path)
    {
        start({path});
        view = activeView();
        ASSERT_NE(view, nullptr);
        processEvents();
    }
    void select(std::int64_t a, std::int64_t b)
    {
        ViewSelection s;
        s.a = a;
        s.b = b;
        s.channel = ChannelSel::Both;
        view->setSelection(s);
        view->setCursorRecord(view->cursorRecord());  // as after a drag: the windows follow
        processEvents();
    }
    CPowerWnd* openPower()
    {
        EXPECT_TRUE(view->commands().runCommand(cmd::PowerSpectrum));
        auto ws = ViewPower::of(view)->windows();
        return ws.empty() ? nullptr : ws.back();
    }
    static bool finished(CPowerWnd* w) { return waitFor([w] { return !w->calculating(); }); }
};

double peakHz(const PowerResult& r)
{
    int best = 1;
    for (int b = 1; b < r.fftSize / 2; ++b)
        if (r.power[static_cast<std::size_t>(b)] > r.power[static_cast<std::size_t>(best)])
            best = b;
    return r.binFrequency(best);
}

TEST_F(MeasureWindowsTest, PowerSpectrumOfASelectionPeaksAtTheToneInDataPictureAndText)
{
    openTone(1.0);
    select(10000, 200000);
    CPowerWnd* w = openPower();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(finished(w));
    const PowerResult& r = w->result();
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(r.start, 10000);
    EXPECT_EQ(r.end, 200000);
    EXPECT_NEAR(peakHz(r), kToneHz, kRate / r.fftSize);
    EXPECT_EQ(r.fftSize, w->fftSizeToUse()) << "automatic size from the plot's width";
    EXPECT_TRUE(w->windowTitle().startsWith(QStringLiteral("Power spectrum, FFT size ")));
    EXPECT_EQ(w->accessibleName(), QStringLiteral("Power spectrum window"));

    // The picture: the curve's highest point lies over the tone.
    const QImage img = w->pictureImage(QSize(800, 400));
    const PowerPlotPainter geometry(w->plot()->picture(), QRectF(0, 0, 800, 400));
    const QRectF area = geometry.plotArea();
    int topY = 10000, topX = -1;
    for (int x = static_cast<int>(area.left()) + 2; x < static_cast<int>(area.right()) - 1; ++x)
        for (int y = static_cast<int>(area.top()) + 1; y < static_cast<int>(area.bottom()); ++y) {
            const QColor c = img.pixelColor(x, y);
            if (c.blue() > 100 && c.red() < 120 && c.green() < 120) {
                if (y < topY) {
                    topY = y;
                    topX = x;
                }
                break;
            }
        }
    ASSERT_GE(topX, 0) << "no curve drawn";
    EXPECT_NEAR(geometry.frequencyAtX(topX), kToneHz, 2.0 * kRate / r.fftSize + 400);

    // The read-out under the mouse, and relative to a clicked cursor.
    CPowerPlot* plot = w->plot();
    const PowerPlotPainter onScreen = plot->painterForSize();
    const QPoint mid = onScreen.plotArea().center().toPoint();
    const auto moveTo = [plot](QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), plot->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(plot, &move);
    };
    moveTo(mid);
    EXPECT_TRUE(plot->accessibleDescription().contains(QStringLiteral(" kHz, "))) << plot->accessibleDescription().toStdString();
    QTest::mouseClick(plot, Qt::LeftButton, {}, mid);
    moveTo(mid + QPoint(20, 10));
    EXPECT_TRUE(plot->accessibleDescription().contains(QStringLiteral(" dB Distance: "))) << plot->accessibleDescription().toStdString();

    // Copy Ascii gives the export text, which is that of the command-line tool.
    ASSERT_TRUE(w->commands().runCommand(CPowerWnd::kCopyAscii));
    const std::string copied = QApplication::clipboard()->text().toStdString();
    EXPECT_EQ(copied, w->asciiText());
#ifdef VES_CLI_PATH
    // The tool with the program's settings, drawing its picture too.
    const std::string image = dir.file("cli.png");
    char cmdline[2048];
    std::snprintf(cmdline, sizeof cmdline,
                  "XDG_CONFIG_HOME='%s' XDG_CONFIG_DIRS='%s' '%s' power --start 10000 --end 200000 --fft %d "
                  "--window hanning --log --image '%s' '%s'",
                  configHome.c_str(), dir.file("none").c_str(), VES_CLI_PATH, r.fftSize, image.c_str(), wav.c_str());
    std::string cli;
    if (FILE* p = popen(cmdline, "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            cli.append(buf, n);
        EXPECT_EQ(pclose(p), 0);
    }
    EXPECT_EQ(copied, cli);
    // The same picture as the window's at the window's size.
    const QImage drawn(QString::fromStdString(image));
    ASSERT_FALSE(drawn.isNull());
    // (the window's own measurement cursor left out)
    PowerPicture shown = w->plot()->picture();
    shown.cursor.reset();
    shown.message.clear();
    QImage window(drawn.size(), QImage::Format_RGB32);
    {
        QPainter p(&window);
        PowerPlotPainter(shown, QRectF(QPointF(0, 0), QSizeF(drawn.size()))).paint(p);
    }
    EXPECT_TRUE(drawn.convertToFormat(QImage::Format_RGB32) == window)
        << "the tool and the window draw different pictures";
#endif

    // Ascii File Export writes the same text; the picture goes to the clipboard as an image.
    const std::string path = dir.file("spectrum.txt");
    CPowerWnd::setSaveChooser([&](QWidget*) { return path; });
    EXPECT_TRUE(w->commands().runCommand(CPowerWnd::kAsciiExport));
    CPowerWnd::setSaveChooser({});
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), copied);
    ASSERT_TRUE(w->commands().runCommand(CPowerWnd::kCopy));
    EXPECT_EQ(QApplication::clipboard()->image().size(), w->plot()->size());
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->data(QStringLiteral("image/svg+xml")).contains("<svg"));

    // Print: one page through the program's printer, here a PDF file, with
    // the document's title above the picture and the window's title below.
    const std::string pdf = dir.file("power.pdf");
    vprint::sharedPrinter().setOutputFormat(QPrinter::PdfFormat);
    vprint::sharedPrinter().setOutputFileName(QString::fromStdString(pdf));
    apptest::whenModal([](QWidget* dlg) { qobject_cast<QDialog*>(dlg)->accept(); });
    ASSERT_TRUE(w->commands().runCommand(CPowerWnd::kPrint));
    std::ifstream printed(pdf, std::ios::binary);
    std::string head(5, '\0');
    printed.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
    if (const auto page = apptest::pdfText(pdf)) {
        EXPECT_TRUE(page->contains(w->windowTitle())) << page->toStdString();
        EXPECT_TRUE(page->contains(QString::fromStdString(w->doc().title()))) << page->toStdString();
        EXPECT_TRUE(page->contains(QStringLiteral("kHz"))) << page->toStdString();
    }
    ASSERT_TRUE(w->commands().runCommand(CPowerWnd::kPrintPreview));
    QPointer<QPrintPreviewDialog> preview = vprint::printPreviewOf(w);
    ASSERT_NE(preview, nullptr);

    // The linear scale: the same bins as power.
    ASSERT_TRUE(w->commands().runCommand(CPowerWnd::kLogScale));
    ASSERT_TRUE(finished(w));
    EXPECT_TRUE(w->asciiText().rfind("kHz\tV\xC2\xB2\r\n", 0) == 0);
}

TEST_F(MeasureWindowsTest, ContinuousUpdateFollowsTheSelectionAndAStaleRunNeverWins)
{
    openTone(2.0);
    select(0, 100000);
    CPowerWnd* w = openPower();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(finished(w));
    ASSERT_TRUE(w->parms().m_contUpd);
    select(300000, 700000);
    ASSERT_TRUE(finished(w));
    EXPECT_EQ(w->result().start, 300000);
    EXPECT_EQ(w->result().end, 700000);

    // Quick changes: only the last range's result is taken.
    for (int i = 0; i < 5; ++i)
        w->setRange(100000 * i, 100000 * i + 400000, ChannelSel::Both);
    ASSERT_TRUE(finished(w));
    EXPECT_EQ(w->result().start, 400000);

    // Without continuous update the window keeps its stretch.
    ASSERT_TRUE(w->commands().runCommand(CPowerWnd::kContinuousUpdate));
    ASSERT_TRUE(finished(w));
    select(10000, 50000);
    ASSERT_TRUE(finished(w));
    EXPECT_EQ(w->result().start, 400000);

    // A cursor alone: one FFT length from it, shown as the view's selection.
    ASSERT_TRUE(w->commands().runCommand(CPowerWnd::kContinuousUpdate));
    view->setSelection(std::nullopt);
    CursorRecord c;
    c.position = 500000;
    c.type = CursorType::Marking;
    view->setCursorRecord(c);
    processEvents();
    ASSERT_TRUE(finished(w));
    EXPECT_TRUE(w->cursorMode());
    EXPECT_EQ(w->result().start, 500000);
    EXPECT_EQ(w->result().end, 500000 + w->result().fftSize);
    ASSERT_TRUE(view->selection());
    EXPECT_EQ(view->selection()->first(), 500000);
    w->close();
    processEvents();
    EXPECT_FALSE(view->selection()) << "closing a cursor-mode window clears its stretch";
}

TEST_F(MeasureWindowsTest, SixteenPowerWindowsPerViewAndTheSeventeenthIsRefused)
{
    openTone(0.2);
    select(0, 20000);
    for (int i = 0; i < MeasureWindowSlots<CPowerWnd>::kMaxWindows; ++i)
        ASSERT_NE(openPower(), nullptr) << i;
    EXPECT_TRUE(messages.empty());
    const auto before = ViewPower::of(view)->windows().size();
    view->commands().runCommand(cmd::PowerSpectrum);
    EXPECT_EQ(ViewPower::of(view)->windows().size(), before);
    EXPECT_EQ(messages, std::vector<std::string>{"Maximum number of power spectras already open."});
    // Closing one frees its slot.
    ViewPower::of(view)->windows().front()->close();
    processEvents();
    EXPECT_NE(openPower(), nullptr);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(MeasureWindowsTest, LongSelectionIsComputedOnTheWorkerAndClosingTheViewStopsIt)
{
    // 40 s at 384 kHz with the smallest FFT: long enough to be caught running.
    openTone(40.0);
    VesPowerParms& defaults = app().powerParms();
    const VesPowerParms saved = defaults;
    defaults.m_fftSize = 16;
    select(0, view->doc().lengthFrames());
    CPowerWnd* w = openPower();
    defaults = saved;
    ASSERT_NE(w, nullptr);
    // The window answers while the worker runs.
    EXPECT_TRUE(w->calculating());
    QElapsedTimer t;
    t.start();
    processEvents();
    EXPECT_LT(t.elapsed(), 1000);
    // Closing the document with the worker running: stopped and joined, no crash.
    QPointer<CPowerWnd> guard(w);
    ASSERT_TRUE(app().runCommand(cmd::FileClose));
    processEvents();
    EXPECT_TRUE(guard.isNull());
}

TEST_F(MeasureWindowsTest, HistogramsFollowTheSelectionAndTheLevelCursor)
{
    wav = dir.file("bursts.wav");
    writeBurstWave(wav, 1.2, 10, 20, 100);  // 10 bursts of 20 ms (longer than the 10 ms delay), 100 ms apart
    openFile(wav);
    select(0, view->doc().lengthFrames());
    ASSERT_NE(currentCursorType(), CursorType::Level);
    ASSERT_TRUE(view->commands().runCommand(cmd::PulseInterval));
    ASSERT_EQ(ViewPulse::of(view)->rateWindows().size(), 1u);
    CRateWnd* w = ViewPulse::of(view)->rateWindows().front();
    EXPECT_TRUE(w->calculating()) << "the passes run on a worker, not in the command";
    ASSERT_TRUE(waitFor([w] { return !w->calculating(); }));
    // A new window shows its threshold as the level cursor at once; the one
    // computed from the sound follows when the calculation ends.
    EXPECT_EQ(currentCursorType(), CursorType::Level);
    EXPECT_EQ(view->levelTarget(), w);
    processEvents();
    EXPECT_EQ(view->cursorRecord().type, CursorType::Level);
    EXPECT_EQ(view->cursorRecord().value, w->levelCursorValue());
    EXPECT_GT(w->levelCursorValue(), 0);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Pulse Interval Analysis"));
    EXPECT_EQ(w->histogram().total, 9) << "nine intervals between ten pulses";
    EXPECT_TRUE(w->thresholdAutomatic());
    // The table's bars start at the histogram's start.
    ASSERT_TRUE(w->commands().runCommand(CRateWnd::kCopyAscii));
    const QString table = QApplication::clipboard()->text();
    EXPECT_TRUE(table.startsWith(QStringLiteral("From (ms)\tTo (ms)\t# observations\r\n")));
    ASSERT_TRUE(w->commands().runCommand(CRateWnd::kCopy));
    EXPECT_EQ(QApplication::clipboard()->image().size(), w->plot()->size());

    // Update threshold: the window becomes the level cursor's target, and the
    // view shows its threshold.
    ASSERT_TRUE(w->commands().runCommand(CRateWnd::kUpdateThreshold));
    ASSERT_TRUE(waitFor([w] { return !w->calculating(); }));
    EXPECT_EQ(currentCursorType(), CursorType::Level);
    EXPECT_EQ(view->cursorRecord().type, CursorType::Level);
    EXPECT_EQ(view->cursorRecord().value, w->levelCursorValue());

    // Moving the level cursor above the bursts' amplitude (50 %) leaves no pulse.
    CursorRecord level = view->cursorRecord();
    level.value = 6000;  // 60 % of full scale
    view->setCursorRecord(level);
    processEvents();
    ASSERT_TRUE(waitFor([w] { return !w->calculating(); }));
    EXPECT_EQ(w->parms().m_threshold, RateLevelToThreshold(6000));
    EXPECT_FALSE(w->thresholdAutomatic());
    EXPECT_EQ(w->histogram().total, 0);
    level.value = 1000;  // 10 %: the ten pulses again
    view->setCursorRecord(level);
    processEvents();
    ASSERT_TRUE(waitFor([w] { return !w->calculating(); }));
    EXPECT_EQ(w->histogram().total, 9);

    // The length histogram, following the selection with continuous update.
    ASSERT_TRUE(view->commands().runCommand(cmd::PulseLength));
    ASSERT_EQ(ViewPulse::of(view)->rateWindows().size(), 2u);
    CRateWnd* len = ViewPulse::of(view)->rateWindows().back();
    len->parms().m_contUpd = true;
    ASSERT_TRUE(waitFor([len] { return !len->calculating(); }));
    EXPECT_EQ(len->histogram().total, 10);
    select(0, static_cast<std::int64_t>(0.36 * kRate));  // the first three bursts, the fourth still open
    ASSERT_TRUE(waitFor([len] { return !len->calculating(); }));
    EXPECT_EQ(len->histogram().total, 3);
    EXPECT_EQ(w->histogram().total, 9) << "without continuous update the window keeps its stretch";
    // The newest window is the level cursor's target; closing it leaves level-cursor mode.
    EXPECT_EQ(currentCursorType(), CursorType::Level);
    len->close();
    processEvents();
    EXPECT_NE(currentCursorType(), CursorType::Level);
}

TEST_F(MeasureWindowsTest, PulseDialogFindsTheCallsPlacesMarksAndCopiesTheTable)
{
    wav = dir.file("calls.wav");
    writeBurstWave(wav, 0.6, 5, 4, 100);
    openFile(wav);
    EXPECT_FALSE(app().commandState(cmd::PulseCharacteristics).enabled) << "needs a selection";
    select(0, view->doc().lengthFrames());
    ASSERT_TRUE(app().commandState(cmd::PulseCharacteristics).enabled);
    ASSERT_TRUE(view->commands().runCommand(cmd::PulseCharacteristics));
    PulsCharDiagCls* d = ViewPulse::of(view)->pulseDialog();
    ASSERT_NE(d, nullptr);
    for (const char* name : {"Start time", "Duration", "Mark start time", "Frequency at max amplitude", "Pulse number"})
        apptest::child<QCheckBox>(d, QString::fromLatin1(name))->setChecked(true);
    // Zero crossings of the calls are no gaps: a separation of 1 ms.
    apptest::child<QLineEdit>(d, QStringLiteral("Minimum separation "))->setText(QStringLiteral("1"));
    apptest::child<QLineEdit>(d, QStringLiteral("Minimum duration"))->setText(QStringLiteral("1"));
    ASSERT_TRUE(d->calculate());
    EXPECT_FALSE(d->calculate()) << "ignored while the worker runs";
    ASSERT_TRUE(waitFor([d] { return !d->running(); }));
    ASSERT_EQ(d->resultWindows().size(), 1u);
    PulsCharDispCls* r = d->resultWindows().front();
    processEvents();
    ASSERT_EQ(r->results().size(), 5u);
    EXPECT_EQ(r->table()->rowCount(), 6) << "the heading row and five pulses";
    EXPECT_NEAR(r->results()[1].startUs, 150000, 200);
    EXPECT_NEAR(r->results()[0].strongestHz, kToneHz, 1000);
    // The marks are in the document and in the view.
    EXPECT_EQ(view->doc().marks().size(), 5u);
    EXPECT_EQ(view->markDisplays().size(), 5u);
    EXPECT_EQ(view->doc().marks()[2].m_label, "#3 start");
    // Copy gives the table as text.
    apptest::child<QPushButton>(r, QStringLiteral("Copy"))->click();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), r->tableText());
    const std::string text = r->tableText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    // Clear Marks takes them away again.
    ASSERT_TRUE(r->hasMarks());
    EXPECT_EQ(r->clearMarks(), 5);
    processEvents();
    EXPECT_TRUE(view->doc().marks().empty());
    EXPECT_TRUE(view->markDisplays().empty());

    // Typing a threshold leaves the view's cursor alone unless it shows the
    // level cursor; then the view shows the threshold with it, and the level
    // cursor moved in the view comes back as the threshold.
    QLineEdit* threshold = apptest::child<QLineEdit>(d, QStringLiteral("Oscillogram threshold"));
    threshold->clear();
    QTest::keyClicks(threshold, QStringLiteral("-10"));
    processEvents();
    EXPECT_NE(currentCursorType(), CursorType::Level);
    EXPECT_NE(view->levelTarget(), d);
    setCurrentCursorType(CursorType::Level);
    threshold->clear();
    QTest::keyClicks(threshold, QStringLiteral("-20"));
    processEvents();
    EXPECT_EQ(currentCursorType(), CursorType::Level);
    EXPECT_EQ(view->levelTarget(), d);
    // The threshold's decibels are 10·log10 of the amplitude ratio: -20 dB is 1 % of full scale.
    EXPECT_EQ(view->cursorRecord().value, 100);
    CursorRecord level = view->cursorRecord();
    level.value = 5000;  // 50 %
    view->setCursorRecord(level);
    processEvents();
    EXPECT_EQ(threshold->text(), QStringLiteral("-3.01"));
    // Closing the dialog leaves level-cursor mode.
    apptest::child<QPushButton>(d, QStringLiteral("Close"))->click();
    processEvents();
    EXPECT_EQ(ViewPulse::of(view)->pulseDialog(), nullptr);
    EXPECT_NE(currentCursorType(), CursorType::Level);
}

// No thread to be had: the windows open and say so, and calculate once threads come again.
TEST_F(MeasureWindowsTest, WindowsWithoutAThreadSaySoAndRecover)
{
    openTone(0.2);
    select(1000, 20000);
    vkit::failNextThreadStarts(1);
    ASSERT_TRUE(view->commands().runCommand(cmd::PulseInterval));
    ASSERT_EQ(ViewPulse::of(view)->rateWindows().size(), 1u);
    CRateWnd* rate = ViewPulse::of(view)->rateWindows().front();
    EXPECT_FALSE(rate->calculating());
    EXPECT_EQ(rate->plot()->picture().status, "Can't start histogram calculation (CreateThread failed)!");
    vkit::failNextThreadStarts(1);
    CPowerWnd* power = openPower();
    ASSERT_NE(power, nullptr);
    EXPECT_FALSE(power->calculating());
    EXPECT_EQ(power->plot()->picture().message, "Can't start power spectrum calculation (CreateThread failed)!");
    vkit::failNextThreadStarts(0);
    rate->recalculate();
    ASSERT_TRUE(waitFor([rate] { return !rate->calculating(); }));
    EXPECT_EQ(rate->plot()->picture().status, "");
}

// The command on an open dialog replaces it by one on the view's current
// selection, from the view's settings; a dialog saves only what it offers.
TEST_F(MeasureWindowsTest, PulseDialogIsReplacedAndSavesOnlyWhatItOffers)
{
    openTone(0.5);
    VesPulsParms& defaults = view->viewHost().pulsDefaults();
    defaults.m_startFreq = defaults.m_stopFreq = defaults.m_durationFreq = true;
    select(1000, 20000);
    ASSERT_TRUE(view->commands().runCommand(cmd::PulseCharacteristics));
    QPointer<PulsCharDiagCls> first = ViewPulse::of(view)->pulseDialog();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first->parms().m_fontSize, view->parms().m_fontSize);
    QLineEdit* duration = apptest::child<QLineEdit>(first, QStringLiteral("Minimum duration"));
    const QString stored = duration->text();
    duration->setText(QStringLiteral("7"));

    select(30000, 60000);
    ASSERT_TRUE(view->commands().runCommand(cmd::PulseCharacteristics));
    PulsCharDiagCls* second = ViewPulse::of(view)->pulseDialog();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first.data());
    processEvents();
    EXPECT_TRUE(first.isNull()) << "the old dialog stays";
    EXPECT_EQ(second->first(), 30000);
    EXPECT_EQ(second->last(), 60000);
    EXPECT_EQ(apptest::child<QLineEdit>(second, QStringLiteral("Minimum duration"))->text(), stored)
        << "the replaced dialog's settings were kept";

    apptest::child<QPushButton>(second, QStringLiteral("Close"))->click();
    processEvents();
    const VesPulsParms& saved = view->viewHost().pulsDefaults();
    EXPECT_FALSE(saved.m_startFreq);
    EXPECT_FALSE(saved.m_stopFreq);
    EXPECT_FALSE(saved.m_durationFreq);
}

TEST_F(MeasureWindowsTest, EditsAndClosingStopThePulseWorkerFirst)
{
    // Long enough to be running still when the edit comes.
    wav = dir.file("long.wav");
    writeBurstWave(wav, 30, 280, 4, 100);
    openFile(wav);
    select(0, view->doc().lengthFrames());
    ASSERT_TRUE(view->commands().runCommand(cmd::PulseCharacteristics));
    PulsCharDiagCls* d = ViewPulse::of(view)->pulseDialog();
    ASSERT_NE(d, nullptr);
    apptest::child<QCheckBox>(d, QStringLiteral("Mark start time"))->setChecked(true);
    apptest::child<QLineEdit>(d, QStringLiteral("Minimum separation "))->setText(QStringLiteral("1"));
    ASSERT_TRUE(d->calculate());
    // A power spectrum calculating at the same time.
    CPowerWnd* power = openPower();
    ASSERT_NE(power, nullptr);
    // Without a pass of the event loop neither worker has been taken back
    // yet: an edit now must stop and join both before it changes the samples.
    ViewSelection s;
    s.a = 0;
    s.b = 1000;
    view->setSelection(s);
    ASSERT_TRUE(d->running());
    ASSERT_TRUE(power->calculating());
    const std::int64_t before = view->doc().lengthFrames();
    ASSERT_TRUE(view->commands().runCommand(cmd::EditDelete));
    EXPECT_EQ(view->doc().lengthFrames(), before - 1000);
    EXPECT_FALSE(d->running());
    EXPECT_FALSE(power->calculating());
    // The spectrum is calculated again on what the edit left.
    processEvents();
    ASSERT_TRUE(finished(power));
    EXPECT_TRUE(power->result().complete);
    // Run again and close the view while it runs: stopped and joined.
    select(0, view->doc().lengthFrames());
    ASSERT_TRUE(d->calculate());
    ASSERT_TRUE(app().runCommand(cmd::FileClose));
    processEvents();
}

TEST_F(MeasureWindowsTest, SettingsDialogsCheckTheirFieldsAndKeepAnAutomaticThresholdApart)
{
    openTone(0.2);
    // Power spectrum settings: the first failing check keeps the dialog open.
    VesPowerParms p;
    CPowerSettingsDlg power(p, kRate);
    apptest::child<QLineEdit>(&power, QStringLiteral("Max freq"))->setText(QStringLiteral("250000"));
    power.accept();
    EXPECT_EQ(power.result(), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"Error: Max frequency > 192000"});
    apptest::child<QLineEdit>(&power, QStringLiteral("Max freq"))->setText(QStringLiteral("100000"));
    // Ticking off the logarithmic scale swaps the level fields to V².
    apptest::child<QCheckBox>(&power, QStringLiteral("Logarithmic scale"))->setChecked(false);
    EXPECT_EQ(apptest::child<QLineEdit>(&power, QStringLiteral("Max level"))->text(), QStringLiteral("1"));
    power.accept();
    EXPECT_EQ(power.result(), QDialog::Accepted);
    EXPECT_FALSE(power.parms().m_logScale);
    EXPECT_EQ(power.parms().m_maxFrequency, 100000);
    EXPECT_EQ(power.parms().m_maxDB, 0) << "the dB pair is kept";

    // Histogram settings: an empty threshold is the one from the sound, a typed one is kept.
    messages.clear();
    VesRateParms r;
    r.m_threshold = 5000;  // derived from the data by an earlier calculation
    CAnaRateSet automatic(r, true);
    QLineEdit* threshold = apptest::child<QLineEdit>(&automatic, QStringLiteral("Detection threshold %"));
    EXPECT_TRUE(threshold->text().isEmpty());
    automatic.accept();
    EXPECT_TRUE(automatic.thresholdAutomatic());
    EXPECT_EQ(automatic.parms().m_threshold, -1);
    CAnaRateSet typed(r, true);
    apptest::child<QLineEdit>(&typed, QStringLiteral("Detection threshold %"))->setText(QStringLiteral("20"));
    typed.accept();
    EXPECT_FALSE(typed.thresholdAutomatic());
    EXPECT_EQ(typed.parms().m_threshold, RatePercentToThreshold(20));
    CAnaRateSet bars(r, false);
    apptest::child<QLineEdit>(&bars, QStringLiteral("Histogram end time"))->setText(QStringLiteral("10"));
    apptest::child<QLineEdit>(&bars, QStringLiteral("Number of histogram bars"))->setText(QStringLiteral("20"));
    bars.accept();
    EXPECT_EQ(bars.result(), 0);
    EXPECT_EQ(messages,
              std::vector<std::string>{"Number of histogram bars to high! Each bar must represent at least 1 millisecond."});
    // The detection delay is any integer, a negative one included; a word is refused.
    for (const auto& [text, accepted] : {std::pair{"-5", true}, std::pair{"0", true}, std::pair{"x", false}}) {
        CAnaRateSet delay(r, false);
        apptest::child<QLineEdit>(&delay, QStringLiteral("Detection delay time"))->setText(QString::fromLatin1(text));
        delay.accept();
        EXPECT_EQ(delay.result() == QDialog::Accepted, accepted) << text;
        if (accepted) {
            EXPECT_EQ(delay.parms().m_delay, std::stoi(text));
        }
    }
}

}  // namespace

TEST_F(MeasureWindowsTest, WindowsAreWindowsForScreenReadersAndTheirMenusAreReadable)
{
    openTone(0.5);
    select(1000, 100000);
    CPowerWnd* power = openPower();
    ASSERT_NE(power, nullptr);
    ASSERT_TRUE(view->commands().runCommand(cmd::PulseInterval));
    ASSERT_EQ(ViewPulse::of(view)->rateWindows().size(), 1u);
    CRateWnd* rate = ViewPulse::of(view)->rateWindows().front();
    ASSERT_TRUE(finished(power));
    ASSERT_TRUE(waitFor([rate] { return !rate->calculating(); }));

    struct Case {
        CMeasureWnd* window;
        QWidget* plot;
        QStringList menu;
    } cases[] = {
        {power, power->plot(),
         {"Copy", "Copy Ascii", "Print", "Print Preview", "Settings - Current diagram", "Continuous update",
          "Logarithmic scale", "Ascii File Export"}},
        {rate, rate->plot(),
         {"Copy", "Copy Ascii", "Print", "Settings - Current diagram", "Continuous update", "Automatic settings",
          "Update threshold"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window->accessibleName().toStdString());
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(c.window);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), QAccessible::Window);
        EXPECT_EQ(iface->text(QAccessible::Name), c.window->windowTitle());
        EXPECT_TRUE(c.window->isWindow());

        // The context menu, read as a screen reader reads it while it is open.
        QStringList items;
        QAccessible::Role menuRole = QAccessible::NoRole;
        QTimer::singleShot(0, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                QAccessibleInterface* m = QAccessible::queryAccessibleInterface(popup);
                menuRole = m->role();
                for (int i = 0; i < m->childCount(); ++i)
                    if (m->child(i)->role() == QAccessible::MenuItem)
                        items << m->child(i)->text(QAccessible::Name);
                popup->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), c.plot->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(c.plot, &event);
        EXPECT_EQ(menuRole, QAccessible::PopupMenu);
        EXPECT_EQ(items, c.menu);
    }
}
