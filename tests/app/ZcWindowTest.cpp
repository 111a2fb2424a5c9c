// Zero-crossing files in the desktop program: they open in a window of their
// own beside recordings, zoom, scroll, cursors, marks, read-out, pictures and
// properties work, the commands that need samples stay disabled, and a
// damaged file gets a message.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"
#include "zc/CZcFrame.h"
#include "zc/CZcView.h"
#include "zcfiles/ZcFile.h"

#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollBar>

#include <cmath>

namespace {

using apptest::AppTest;
using apptest::processEvents;

// A second of dots: a 5 ms sweep from 80 to 40 kHz every 100 ms, off dots between.
void writeSweeps(const std::string& path)
{
    zcfile::ZcFile f;
    f.setText(zcfile::TextField::Species, "Mylu");
    GuanoRecord g;
    g.set("Make", "Tester");
    f.setGuano(g);
    std::uint64_t now = 0;
    for (int call = 0; call < 10; ++call) {
        const std::size_t firstOff = f.intervals.size();
        for (int i = 0; i < 40; ++i) {
            f.intervals.push_back(2000);
            now += 2000;
        }
        f.runs.push_back({firstOff, 0xE1, 40, zcfile::DotStatus::Off});
        const std::uint64_t start = now;
        while (now - start < 5000) {
            const double hz = 80000 - 40000 * static_cast<double>(now - start) / 5000;
            const auto v = static_cast<std::uint32_t>(std::lround(8e6 / (2 * hz)));
            f.intervals.push_back(v);
            now += v;
        }
        f.intervals.push_back(static_cast<std::uint32_t>(100000 * (call + 1) - now));
        now = 100000u * static_cast<std::uint64_t>(call + 1);
    }
    std::string error;
    ASSERT_TRUE(zcfile::writeFile(path, f, error)) << error;
}

}  // namespace

TEST_F(AppTest, ZeroCrossingFileOpensInItsOwnWindowWithoutSampleCommands)
{
    const std::string wav = dir.file("tone.wav"), zc = dir.file("night.zc");
    apptest::writeToneWave(wav, 384000, 0.25, 40000);
    writeSweeps(zc);
    start({wav, zc});
    CMainFrame* frame = app().mainFrame();
    CZcView* view = frame->activeZcView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(activeView(), nullptr) << "the sound view behind gets no commands";
    EXPECT_EQ(app().recentFiles().entries().front(), zc);

    for (int id : {cmd::PlaySound, cmd::EditCut, cmd::EditPaste, cmd::EditFilter, cmd::PowerSpectrum,
                   cmd::PulseCharacteristics, cmd::FileSave, cmd::SelectAll})
        EXPECT_FALSE(app().commandState(id).enabled) << id;
    for (int id : {cmd::ZoomIn, cmd::FilePrint, cmd::FilePrintPreview, cmd::EditCopy, cmd::FileProperties,
                   cmd::CursorRight})
        EXPECT_TRUE(app().commandState(id).enabled) << id;
    const auto* why = view->findChild<QLabel*>();
    ASSERT_NE(why, nullptr);
    bool said = false;
    for (const QLabel* l : view->findChildren<QLabel*>())
        said = said || l->text().contains(QStringLiteral("no samples"));
    EXPECT_TRUE(said);

    // Zoom and scroll.
    const double whole = view->spanUs();
    EXPECT_NEAR(whole, 1e6, 1);
    ASSERT_TRUE(app().runCommand(cmd::ZoomIn));
    EXPECT_NEAR(view->spanUs(), whole / 2, 1);
    ASSERT_TRUE(app().runCommand(cmd::MoveToEnd));
    EXPECT_NEAR(view->startUs() + view->spanUs(), whole, 1);
    EXPECT_EQ(view->findChild<QScrollBar*>()->value(), view->findChild<QScrollBar*>()->maximum());

    // Cursors step over off dots onto the calls; the read-out measures.
    ASSERT_TRUE(app().runCommand(cmd::CursorRight));
    ASSERT_GE(view->cursorDot(), 0);
    const zcfile::Dot& d = view->dots()[static_cast<std::size_t>(view->cursorDot())];
    EXPECT_EQ(d.status, zcfile::DotStatus::Normal);
    EXPECT_NEAR(d.freqHz, 80000, 1500);
    EXPECT_LT(view->startUs(), d.timeUs) << "the cursor was brought into sight";
    EXPECT_TRUE(view->readout().startsWith(QStringLiteral("Dot 41 of"))) << view->readout().toStdString();
    view->setCursorDot(view->cursorDot() + 10, true);
    EXPECT_TRUE(view->readout().contains(QStringLiteral("kHz/ms"))) << view->readout().toStdString();
    ASSERT_TRUE(app().runCommand(cmd::SaveCursorAsMark));
    EXPECT_EQ(view->marks().size(), 1u);
    EXPECT_TRUE(view->dotsText().startsWith(QStringLiteral("Time (ms)\tFrequency (Hz)")));

    // The picture shows the dots in their colour.
    QImage image(600, 400, QImage::Format_RGB32);
    {
        QPainter p(&image);
        view->paintPicture(p, QRectF(0, 0, 600, 400), PictureMedium::Raster);
    }
    int blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            blue += image.pixelColor(x, y) == QColor(20, 40, 160);
    EXPECT_GT(blue, 50);

    // Properties: header fields and GUANO.
    bool species = false, guano = false, division = false;
    for (const auto& [label, value] : zcPropertyRows(*view)) {
        species = species || (label == QStringLiteral("Species") && value == QStringLiteral("Mylu"));
        guano = guano || (label == QStringLiteral("GUANO Make") && value == QStringLiteral("Tester"));
        division = division || (label == QStringLiteral("Division ratio") && value == QStringLiteral("8"));
    }
    EXPECT_TRUE(species && guano && division);

    // Every widget of the window has a name for screen readers.
    EXPECT_FALSE(view->accessibleName().isEmpty());
    for (const QWidget* w : view->findChildren<QWidget*>()) {
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
    }

    // The recording's window takes the commands again when it is in front;
    // Close closes the zero-crossing window.
    QMdiSubWindow* zcFrame = frame->mdiArea()->activeSubWindow();
    ASSERT_TRUE(app().runCommand(cmd::FileClose));
    processEvents();
    EXPECT_FALSE(frame->mdiArea()->subWindowList().contains(zcFrame));
    EXPECT_EQ(frame->activeZcView(), nullptr);
    EXPECT_NE(activeView(), nullptr);
}

// Close & Open Next walks a folder of zero-crossing files as it walks recordings.
TEST_F(AppTest, CloseAndOpenNextWalksZeroCrossingFiles)
{
    writeSweeps(dir.file("a.zc"));
    writeSweeps(dir.file("b.zc"));
    start({dir.file("a.zc")});
    CMainFrame* frame = app().mainFrame();
    ASSERT_NE(frame->activeZcView(), nullptr);
    EXPECT_TRUE(app().commandState(cmd::CloseOpenNext).enabled);
    ASSERT_TRUE(app().runCommand(cmd::CloseOpenNext));
    processEvents();
    ASSERT_NE(frame->activeZcView(), nullptr);
    EXPECT_EQ(frame->activeZcView()->path(), dir.file("b.zc"));
    EXPECT_EQ(frame->mdiArea()->subWindowList().size(), 1);
    // Opening it again brings the open window to the front.
    EXPECT_EQ(app().openDocuments({dir.file("b.zc")}, 0), 1);
    EXPECT_EQ(frame->mdiArea()->subWindowList().size(), 1);
}

TEST_F(AppTest, DamagedZeroCrossingFileGetsAMessage)
{
    const std::string zc = dir.file("cut.zc");
    writeSweeps(zc);
    vestest::Bytes bytes = vestest::readFile(zc);
    bytes[0x11C] = 0;  // RES1 0
    bytes[0x11D] = 0;
    vestest::writeFile(zc, bytes);
    start({zc});
    EXPECT_EQ(app().mainFrame()->activeZcView(), nullptr);
    ASSERT_FALSE(dialogs().messages.empty());
    EXPECT_NE(dialogs().messages.back().find("cut.zc"), std::string::npos) << dialogs().messages.back();
    EXPECT_NE(dialogs().messages.back().find("RES1"), std::string::npos) << dialogs().messages.back();
}
