// Cursors, selections, marks and the Edit menu of a view, driven with real
// mouse and key events.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "display/CMarkDistDlg.h"
#include "display/CMarkPropDlg.h"
#include "widgets/CRecStatus.h"
#include "display/CVesAnaView.h"
#include "display/CursorMarks.h"
#include "document/CVesSoundDoc.h"
#include "shell/CAppDocument.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"
#include "soundfiles/VesFileType.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>

namespace {

using apptest::processEvents;

constexpr std::uint32_t kRate = 384000;

class CursorEditTest : public apptest::AppTest {
protected:
    CVesAnaView* view = nullptr;

    void open(double seconds)
    {
        const std::string wav = dir.file("rec.wav");
        apptest::writeToneWave(wav, kRate, seconds, 40000);
        start({wav});
        view = activeView();
        ASSERT_NE(view, nullptr);
        processEvents();
    }
    CVesSoundDoc& doc() { return view->doc(); }
    CAnaPlot* plot() { return view->plot(); }
    // The device point of a sample at a frequency in the first channel's spectrogram.
    QPoint at(std::int64_t sample, double hz = 40000)
    {
        const PlotPainter* p = plot()->painter();
        return QPoint(static_cast<int>(p->sampleToDeviceX(static_cast<double>(sample))) + 1,
                      static_cast<int>(p->frequencyToDeviceY(hz, 0)));
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {})
    {
        QTest::mousePress(plot(), Qt::LeftButton, mods, from);
        QTest::mouseMove(plot(), to);
        QTest::mouseRelease(plot(), Qt::LeftButton, mods, to);
        processEvents();
    }
};

TEST_F(CursorEditTest, DragShiftCutUndoMarkSaveAndReopen)
{
    open(1.0);
    setCurrentCursorType(CursorType::Marking);
    const std::int64_t len = doc().lengthFrames();
    drag(at(38400), at(96000));
    ASSERT_TRUE(view->selection());
    EXPECT_NEAR(static_cast<double>(view->selection()->first()), 38400, 400);
    EXPECT_NEAR(static_cast<double>(view->selection()->last()), 96000, 400);
    EXPECT_TRUE(view->statusStrip()->statusText().contains(QStringLiteral(" Distance: ")));
    EXPECT_EQ(view->accessibleName(), QStringLiteral("Analysis view"));
    EXPECT_EQ(view->statusStrip()->accessibleDescription(), view->statusStrip()->statusText());
    EXPECT_TRUE(plot()->accessibleDescription().contains(QStringLiteral("Amplitude"))) << plot()->accessibleDescription().toStdString();

    // Shift+click extends from the cursor; a plain click of the same place clears.
    QTest::mouseClick(plot(), Qt::LeftButton, Qt::ShiftModifier, at(192000));
    processEvents();
    ASSERT_TRUE(view->selection());
    EXPECT_NEAR(static_cast<double>(view->selection()->first()), 38400, 400);
    EXPECT_NEAR(static_cast<double>(view->selection()->last()), 192000, 400);
    const std::int64_t cutFrames = view->selection()->last() - view->selection()->first();
    EXPECT_TRUE(app().commandState(cmd::EditCut).enabled);

    // Ctrl+X and Ctrl+Z as the user types them.
    QWidget* frame = view->window();
    frame->show();
    frame->activateWindow();
    QApplication::setActiveWindow(frame);
    view->setFocus();
    processEvents();
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(doc().lengthFrames(), len - cutFrames);
    EXPECT_FALSE(view->selection());
    EXPECT_EQ(app().commandState(cmd::EditUndo).text, "&Undo Cut\tCtrl+Z");
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(doc().lengthFrames(), len);
    EXPECT_FALSE(app().commandState(cmd::EditUndo).enabled);

    // A click without moving: the cursor, no selection; the keys move it.
    QTest::mouseClick(plot(), Qt::LeftButton, {}, at(96000));
    processEvents();
    EXPECT_FALSE(view->selection());
    const std::int64_t pos = view->cursorRecord().position;
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_GT(view->cursorRecord().position, pos);
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_EQ(view->cursorRecord().position, pos);
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_TRUE(view->selection()) << "Shift+Right extends";
    EXPECT_EQ(view->selection()->first(), pos);
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_FALSE(view->selection()) << "a plain move clears it";
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(view->cursorRecord().position, pos);

    // Save as mark, label it through the properties dialog.
    ASSERT_TRUE(app().runCommand(cmd::SaveCursorAsMark));
    ASSERT_EQ(doc().marks().size(), 1u);
    EXPECT_EQ(doc().marks()[0].m_label, "Mark 0");
    const QString label = QString::fromUtf8("Rufreihe \xc3\xa4\xc3\xb6\xc3\xbc ") + QString(40, QChar(0x00e9));
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CMarkPropDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->labelEdit()->setText(label);
        dlg->accept();
    });
    ASSERT_TRUE(app().runCommand(cmd::ActiveMarkProperties));
    const std::string want = label.left(40).toStdString();
    EXPECT_EQ(doc().marks()[0].m_label, want);
    EXPECT_EQ(view->markDisplays().size(), 1u);

    const std::string path = dir.file("marked.vprd");
    ASSERT_TRUE(saveOwnCloseAndReopen(path));
    view = activeView();
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(doc().marks().size(), 1u);
    EXPECT_EQ(doc().marks()[0].m_posX, pos);
    EXPECT_EQ(doc().marks()[0].m_label, want);
    EXPECT_EQ(view->markDisplays().size(), 1u) << "the reopened view shows the mark";
}

TEST_F(CursorEditTest, RectangleSelectionZoomsToItAndMeasurementReadsOut)
{
    open(1.0);
    setCurrentCursorType(CursorType::Measurement);
    drag(at(38400, 30000), at(96000, 60000));
    ASSERT_TRUE(view->selection());
    EXPECT_FALSE(view->selection()->timeOnly);
    EXPECT_NEAR(view->selection()->low, 30000, 1500);
    EXPECT_NEAR(view->selection()->high, 60000, 1500);
    // Hovering reads out time, frequency and the distance to the cursor.
    QTest::mouseMove(plot(), at(192000, 50000));
    processEvents();
    const QString text = view->statusStrip()->statusText();
    EXPECT_TRUE(text.contains(QStringLiteral("kHz"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(", Distance: "))) << text.toStdString();

    ASSERT_TRUE(app().runCommand(cmd::ZoomIn));
    EXPECT_NEAR(static_cast<double>(view->parms().m_spectMin), 30000, 1500);
    EXPECT_NEAR(static_cast<double>(view->parms().m_spectMax), 60000, 1500);
    EXPECT_FALSE(view->selection());
    EXPECT_FALSE(view->statusStrip()->statusText().contains(QStringLiteral(" - "))) << "no selection read-out left";
    setCurrentCursorType(CursorType::Marking);
}

TEST_F(CursorEditTest, BadInputNeverLosesAMark)
{
    open(0.5);
    setCurrentCursorType(CursorType::Marking);
    const std::int64_t len = doc().lengthFrames();
    // A drag out of the panes stays inside the recording.
    QTest::mousePress(plot(), Qt::LeftButton, {}, at(20000));
    QTest::mouseMove(plot(), QPoint(-200, -50));
    QTest::mouseRelease(plot(), Qt::LeftButton, {}, QPoint(-200, -50));
    ASSERT_TRUE(view->selection());
    EXPECT_EQ(view->selection()->first(), 0);
    drag(at(20000), QPoint(plot()->width() + 300, plot()->height() + 50));
    ASSERT_TRUE(view->selection());
    EXPECT_LE(view->selection()->last(), len);

    // Select All has no cursor: Shift+click extends from the start.
    ASSERT_TRUE(app().runCommand(cmd::SelectAll));
    view->setCursorRecord(CursorRecord{});
    QTest::mouseClick(plot(), Qt::LeftButton, Qt::ShiftModifier, at(96000));
    ASSERT_TRUE(view->selection());
    EXPECT_EQ(view->selection()->first(), 0);
    EXPECT_NEAR(static_cast<double>(view->selection()->last()), 96000, 400);

    // Keys at the ends of the recording.
    CursorRecord c;
    c.position = 0;
    view->setCursorRecord(c);
    app().runCommand(cmd::CursorLeft);
    EXPECT_EQ(view->cursorRecord().position, 0);
    c.position = len;
    view->setCursorRecord(c);
    app().runCommand(cmd::CursorRight);
    EXPECT_EQ(view->cursorRecord().position, len);

    // 201 marks: each its own menu entry and its own number.
    for (int i = 0; i < 201; ++i) {
        c.position = i * 100;
        view->setCursorRecord(c);
        ASSERT_EQ(view->saveCursorAsMark(), i);
    }
    // The mark menus carry the mark in each entry: all 201 are there and work.
    QMenu* setMenu = nullptr;
    QMenu* scrollMenu = nullptr;
    for (QMenu* m : app().mainFrame()->findChildren<QMenu*>()) {
        if (m->title() == QStringLiteral("Set active mark") && !setMenu)
            setMenu = m;
        if (m->title() == QStringLiteral("Scroll to mark") && !scrollMenu)
            scrollMenu = m;
    }
    ASSERT_TRUE(setMenu && scrollMenu);
    emit setMenu->aboutToShow();
    emit scrollMenu->aboutToShow();
    ASSERT_EQ(setMenu->actions().size(), 201);
    ASSERT_EQ(scrollMenu->actions().size(), 201);
    EXPECT_EQ(setMenu->defaultAction(), setMenu->actions().back()) << "the active mark is the default item";
    setMenu->actions()[3]->trigger();
    EXPECT_EQ(activeMark(doc())->m_markNr, 3);
    setMenu->actions().back()->trigger();
    EXPECT_EQ(activeMark(doc())->m_markNr, 200);
    scrollMenu->actions()[0]->trigger();
    EXPECT_EQ(view->parms().m_plotStart, 0) << "a mark near the start scrolls to 0";
    view->setActiveMark(150);
    EXPECT_EQ(activeMark(doc())->m_markNr, 150);
    view->setMoveMarkMode(true);
    app().runCommand(cmd::CursorRight);
    EXPECT_GT(doc().marks()[150].m_posX, 15000) << "move-mark mode moves the active mark";

    // Removing the active mark ends move-mark mode.
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<CMarkPropDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->done(CMarkPropDlg::Removed);
    });
    ASSERT_TRUE(app().runCommand(cmd::ActiveMarkProperties));
    EXPECT_EQ(doc().marks().size(), 200u);
    EXPECT_FALSE(view->moveMarkMode());
    EXPECT_FALSE(app().commandState(cmd::MoveActiveMark).enabled);

    // The distances, and their text on the clipboard.
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<CMarkDistDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->list()->rowCount(), 200);
        dlg->copyToClipboard();
        dlg->reject();
    });
    ASSERT_TRUE(app().runCommand(cmd::MarkDistances));
    const QString clip = QApplication::clipboard()->text();
    EXPECT_EQ(clip.count(QStringLiteral("\r\n")), 201);
    EXPECT_TRUE(clip.contains(QStringLiteral("\t0 ms\t")));

    // A paste with nothing copied: the message, nothing changed.
    CVesSoundDoc::forgetClipboardDocument();
    EXPECT_FALSE(app().commandState(cmd::EditPaste).enabled);

    ASSERT_TRUE(app().runCommand(cmd::ClearAllMarks));
    EXPECT_TRUE(doc().marks().empty());
    EXPECT_TRUE(view->markDisplays().empty());
}

TEST_F(CursorEditTest, EditMenuOnTheSelection)
{
    open(0.1);
    const std::int64_t len = doc().lengthFrames();
    // Without a selection only the commands that change or cut samples wait
    // for one; Copy (the picture, then the samples) and Copy Ascii do not.
    view->setSelection(std::nullopt);
    for (int id : {cmd::EditCut, cmd::EditDelete, cmd::EditClear, cmd::EditReverse, cmd::EditVolume})
        EXPECT_FALSE(app().commandState(id).enabled) << id;
    for (int id : {cmd::EditCopy, cmd::EditCopyAscii})
        EXPECT_TRUE(app().commandState(id).enabled) << id;
    ViewSelection s;
    s.a = 100;
    s.b = 200;
    view->setSelection(s);
    for (int id : {cmd::EditCut, cmd::EditCopy, cmd::EditCopyAscii, cmd::EditDelete, cmd::EditClear, cmd::EditReverse,
                   cmd::EditVolume})
        EXPECT_TRUE(app().commandState(id).enabled) << id;

    ASSERT_TRUE(app().runCommand(cmd::EditCopyAscii));
    const QString ascii = QApplication::clipboard()->text();
    EXPECT_EQ(ascii.count(QStringLiteral("\r\n")), 100);

    ASSERT_TRUE(app().runCommand(cmd::EditCopy));
    EXPECT_TRUE(app().commandState(cmd::EditPaste).enabled);
    ASSERT_TRUE(app().runCommand(cmd::EditPaste));
    EXPECT_EQ(doc().lengthFrames(), len) << "the selection was replaced by its copy";

    view->setSelection(s);
    QTimer::singleShot(0, [] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Change volume"));
        auto* box = dlg->findChild<QSpinBox*>();
        box->setValue(200);
        qobject_cast<QDialog*>(dlg)->accept();
    });
    ASSERT_TRUE(app().runCommand(cmd::EditVolume));
    EXPECT_EQ(app().commandState(cmd::EditUndo).text, "&Undo Volume\tCtrl+Z");
    ASSERT_TRUE(app().runCommand(cmd::EditDelete));
    EXPECT_EQ(doc().lengthFrames(), len - 100);
}

TEST_F(CursorEditTest, PasteBetweenRecordingsChecksTheFormat)
{
    const std::string a = dir.file("a.wav"), b = dir.file("b.wav"), c = dir.file("c.wav");
    apptest::writeToneWave(a, kRate, 0.1, 40000);
    apptest::writeToneWave(b, 250000, 0.1, 40000);
    apptest::writeToneWave(c, kRate, 0.2, 30000);
    start({a, b, c});
    ASSERT_EQ(app().documents().size(), 3u);
    CVesAnaView* va = app().documents()[0]->views().front();
    CVesAnaView* vb = app().documents()[1]->views().front();
    CVesAnaView* vc = app().documents()[2]->views().front();

    CVesSoundDoc::forgetClipboardDocument();
    const std::int64_t lenB = vb->doc().lengthFrames();
    EXPECT_FALSE(vb->editPaste());
    EXPECT_EQ(dialogs().messages.back(), "No data to paste!");
    EXPECT_EQ(vb->doc().lengthFrames(), lenB);

    ViewSelection s;
    s.a = 0;
    s.b = 1000;
    va->setSelection(s);
    ASSERT_TRUE(va->editCopy());
    EXPECT_FALSE(vb->editPaste());
    EXPECT_EQ(dialogs().messages.back(), "Different sampling rates in clipboard data and in data file.");
    EXPECT_EQ(vb->doc().lengthFrames(), lenB) << "nothing changed";

    const std::int64_t lenC = vc->doc().lengthFrames();
    ASSERT_TRUE(vc->editPaste());
    EXPECT_EQ(vc->doc().lengthFrames(), lenC + 1000);
}

TEST_F(CursorEditTest, StereoSelectionsKeepTheirChannel)
{
    const std::string wav = dir.file("stereo.wav");
    vestest::Bytes data;
    for (int i = 0; i < 38400; ++i)
        for (int ch = 0; ch < 2; ++ch) {
            const auto v = static_cast<std::int16_t>((i * (ch + 3)) % 2000 - 1000);
            data.push_back(static_cast<std::uint8_t>(v & 0xFF));
            data.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        }
    vestest::ByteWriter w;
    w.chunk("fmt ", vestest::pcmFormat(2, kRate, 16)).chunk("data", data);
    vestest::writeFile(wav, vestest::riffWave(w.data()));
    start({wav});
    view = activeView();
    ASSERT_NE(view, nullptr);
    processEvents();
    ASSERT_TRUE(plot()->layout().bothChannels);
    setCurrentCursorType(CursorType::Marking);
    const PlotPainter* p = plot()->painter();
    auto atCh = [&](std::int64_t sample, std::size_t ch) {
        return QPoint(static_cast<int>(p->sampleToDeviceX(static_cast<double>(sample))) + 1,
                      static_cast<int>(p->frequencyToDeviceY(40000, ch)));
    };
    drag(atCh(3840, 1), atCh(19200, 1));
    ASSERT_TRUE(view->selection());
    EXPECT_EQ(view->selection()->channel, ChannelSel::Right);
    // A drag into the other channel's half is ignored.
    QTest::mousePress(plot(), Qt::LeftButton, {}, atCh(3840, 1));
    QTest::mouseMove(plot(), atCh(9600, 1));
    QTest::mouseMove(plot(), atCh(30000, 0));
    QTest::mouseRelease(plot(), Qt::LeftButton, {}, atCh(30000, 0));
    ASSERT_TRUE(view->selection());
    EXPECT_NEAR(static_cast<double>(view->selection()->last()), 9600, 200);
    // Shift+click on the other channel starts anew instead of extending.
    QTest::mouseClick(plot(), Qt::LeftButton, Qt::ShiftModifier, atCh(25000, 0));
    EXPECT_FALSE(view->selection());
    EXPECT_EQ(view->cursorRecord().channel, ChannelSel::Left);
    // The stereo marking cursor selects both channels.
    EXPECT_TRUE(app().commandState(cmd::CursorMarkingStereo).enabled);
    ASSERT_TRUE(app().runCommand(cmd::CursorMarkingStereo));
    drag(atCh(3840, 0), atCh(19200, 0));
    ASSERT_TRUE(view->selection());
    EXPECT_EQ(view->selection()->channel, ChannelSel::Both);
    // A cut of the left channel keeps the length.
    setCurrentCursorType(CursorType::Marking);
    drag(atCh(3840, 0), atCh(19200, 0));
    ASSERT_EQ(view->selection()->channel, ChannelSel::Left);
    ASSERT_TRUE(app().runCommand(cmd::EditDelete));
    EXPECT_EQ(doc().lengthFrames(), 38400);
}

// A cursor drag over a 1600-pixel view of a ten-minute 384 kHz recording
// redraws overlays only: no spectrogram column is computed again.
TEST_F(CursorEditTest, CursorDragRecomputesNoColumn)
{
    const std::string wav = dir.file("long.wav");
    {
        const std::int64_t frames = 600LL * kRate;
        vestest::ByteWriter w;
        w.chunk("fmt ", vestest::pcmFormat(1, kRate, 16));
        vestest::Bytes head = vestest::riffWave(w.data());
        // A data chunk of silence: the file is sparse.
        const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * 2);
        const std::uint32_t riffSize = static_cast<std::uint32_t>(head.size() - 8 + 8 + dataBytes);
        for (int i = 0; i < 4; ++i)
            head[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
        for (char ch : std::string("data"))
            head.push_back(static_cast<std::uint8_t>(ch));
        for (int i = 0; i < 4; ++i)
            head.push_back(static_cast<std::uint8_t>(dataBytes >> (8 * i)));
        vestest::writeFile(wav, head);
        std::filesystem::resize_file(wav, head.size() + dataBytes);
    }
    start({wav});
    view = activeView();
    ASSERT_NE(view, nullptr);
    QWidget* frame = view->window();
    frame->resize(1700, 700);
    view->resize(1600 + 40, 600);
    plot()->resize(1600 + 40, 560);
    processEvents();
    ASSERT_EQ(doc().lengthFrames(), 600LL * kRate);
    plot()->repaint();
    processEvents();
    const int paintsBefore = plot()->dataPaintCount();
    setCurrentCursorType(CursorType::Marking);
    std::int64_t worst = 0, total = 0;
    int n = 0;
    QTest::mousePress(plot(), Qt::LeftButton, {}, at(1000));
    for (int x = at(1000).x(); x < plot()->width() - 60; x += 25) {
        QTest::mouseMove(plot(), QPoint(x, at(0).y()));
        plot()->repaint();
        worst = std::max(worst, plot()->lastPaintMicros());
        total += plot()->lastPaintMicros();
        ++n;
    }
    QTest::mouseRelease(plot(), Qt::LeftButton, {}, QPoint(plot()->width() - 80, at(0).y()));
    for (int i = 0; i < 20; ++i) {
        app().runCommand(cmd::CursorRight);
        plot()->repaint();
        worst = std::max(worst, plot()->lastPaintMicros());
        total += plot()->lastPaintMicros();
        ++n;
    }
    EXPECT_EQ(plot()->dataPaintCount(), paintsBefore) << "no column recomputed";
    std::printf("[ cursor paint ] %d paints of a %d-pixel plot: mean %lld us, worst %lld us\n", n, plot()->width(),
                static_cast<long long>(total / std::max(1, n)), static_cast<long long>(worst));
}

}  // namespace
