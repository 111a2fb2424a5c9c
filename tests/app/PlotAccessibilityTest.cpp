// Assistive tools see each pane of an analysis plot as a child of its own,
// named by its title, where the pane is on the screen, following the view.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "display/CVesAnaView.h"
#include "shell/CVesSoundApp.h"

#include <QAccessible>

namespace {

class PlotAccessibilityTest : public apptest::AppTest {};

struct Pane {
    QString name;
    QAccessible::Role role;
    QRect rect;
};

std::vector<Pane> panesOf(CAnaPlot* plot)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(plot);
    std::vector<Pane> out;
    if (!iface)
        return out;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* c = iface->child(i);
        EXPECT_NE(c, nullptr);
        if (!c)
            continue;
        EXPECT_EQ(c->parent(), iface);
        EXPECT_EQ(iface->indexOfChild(c), i);
        out.push_back({c->text(QAccessible::Name), c->role(), c->rect()});
    }
    return out;
}

TEST_F(PlotAccessibilityTest, EachPaneIsAChildWithItsTitleAndPlace)
{
    const std::string wav = dir.file("tone.wav");
    apptest::writeToneWave(wav, 384000, 0.5, 40000);
    start({wav});
    CAnaPlot* plot = activeView()->plot();
    plot->resize(900, 600);
    apptest::processEvents();

    const QRect plotRect(plot->mapToGlobal(QPoint(0, 0)), plot->size());
    const std::vector<Pane> combined = panesOf(plot);
    ASSERT_EQ(combined.size(), 3u);  // oscillogram, spectrogram, colour bar
    EXPECT_EQ(combined[0].name, QStringLiteral("Amplitude"));
    EXPECT_EQ(combined[0].role, QAccessible::Chart);
    EXPECT_TRUE(combined[1].name.startsWith(QStringLiteral("Spectrogram"))) << combined[1].name.toStdString();
    EXPECT_EQ(combined[2].name, QStringLiteral("Colour bar"));
    for (const Pane& p : combined) {
        EXPECT_FALSE(p.rect.isEmpty()) << p.name.toStdString();
        EXPECT_TRUE(plotRect.contains(p.rect)) << p.name.toStdString();
    }
    // The oscillogram lies above the spectrogram, without overlapping it.
    EXPECT_LE(combined[0].rect.bottom(), combined[1].rect.top());
    // A point inside a pane finds that pane.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(plot);
    const QPoint inSpect = combined[1].rect.center();
    ASSERT_NE(iface->childAt(inSpect.x(), inSpect.y()), nullptr);
    EXPECT_EQ(iface->childAt(inSpect.x(), inSpect.y())->text(QAccessible::Name), combined[1].name);

    // An oscillogram view has one pane.
    ASSERT_TRUE(app().runCommand(cmd::NewOscillogramView));
    apptest::processEvents();
    const std::vector<Pane> osc = panesOf(activeView()->plot());
    ASSERT_EQ(osc.size(), 1u);
    EXPECT_EQ(osc[0].name, QStringLiteral("Amplitude"));
}

}  // namespace
