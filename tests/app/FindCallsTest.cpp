// Analysis > Find calls: the calls of the demo recording in the result
// window, a chosen call as the view's rectangle selection, marks over calls.
#include "AppTestSupport.h"

#include "calls/CCallsWnd.h"
#include "calls/ViewCalls.h"
#include "core/NumberText.h"
#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "shell/CVesSoundApp.h"
#include "soundfiles/DemoRecording.h"

#include <QApplication>
#include <QClipboard>
#include <QTableWidget>

#include <algorithm>

namespace {

using apptest::processEvents;

class FindCallsTest : public apptest::AppTest {};

}  // namespace

TEST_F(FindCallsTest, CallsOfTheSelectionShownSelectedAndMarked)
{
    const std::string wav = dir.file("demo.wav");
    ASSERT_TRUE(writeDemoRecording(wav));
    start({wav});
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    processEvents();

    // The first half second: the demo's calls in it, none outside.
    view->setSelection(ViewSelection{0, 192000});
    ASSERT_TRUE(app().runCommand(cmd::FindCalls));
    processEvents();
    CCallsWnd* wnd = ViewCalls::of(view)->callsWindow();
    ASSERT_NE(wnd, nullptr);
    EXPECT_TRUE(wnd->isVisible());
    EXPECT_EQ(wnd->accessibleName(), "Calls");
    // Calls of the demo's two bats that overlap or follow within a
    // millisecond are one sound.
    std::size_t expected = 0;
    double end = -1;
    for (const DemoCall& c : demoCalls()) {
        if (c.startSec + c.durationSec > 0.5)
            break;
        if (c.startSec > end + 0.001)
            ++expected;
        end = std::max(end, c.startSec + c.durationSec);
    }
    const auto& calls = wnd->calls();
    EXPECT_EQ(calls.size(), expected);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(wnd->table()->rowCount(), static_cast<int>(calls.size()));
    EXPECT_EQ(wnd->table()->item(0, 1)->text().toStdString(), vkit::formatC("%.3f", calls[0].startMs));

    // Choosing a row selects the call's rectangle.
    wnd->table()->setCurrentCell(2, 0);
    processEvents();
    ASSERT_TRUE(view->selection());
    EXPECT_EQ(view->selection()->first(), calls[2].startFrame);
    EXPECT_EQ(view->selection()->last(), calls[2].endFrame);
    EXPECT_FALSE(view->selection()->timeOnly);
    EXPECT_DOUBLE_EQ(view->selection()->low, calls[2].minFreqHz);
    EXPECT_DOUBLE_EQ(view->selection()->high, calls[2].maxFreqHz);

    // Marks over every call, and the table on the clipboard.
    const std::size_t before = view->doc().marks().size();
    EXPECT_EQ(ViewCalls::of(view)->markCalls(), static_cast<int>(calls.size()));
    EXPECT_EQ(view->doc().marks().size(), before + calls.size());
    wnd->copyTable();
    const QString text = QApplication::clipboard()->text();
    EXPECT_EQ(text.count("\r\n"), static_cast<qsizetype>(calls.size() + 1));

    // Without a selection: the range the view shows.
    view->setSelection(std::nullopt);
    ASSERT_TRUE(app().runCommand(cmd::FindCalls));
    processEvents();
    EXPECT_FALSE(ViewCalls::of(view)->callsWindow()->calls().empty());
}
