// Analysis > Identify calls: a species model labels the calls of the Calls
// window, the labels go into the marks over the calls, and a model that
// cannot be read is refused with its reason.
#include "AppTestSupport.h"

#include "calls/CCallsWnd.h"
#include "calls/ViewCalls.h"
#include "classify/Classifier.h"
#include "classify/ModelFile.h"
#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "soundfiles/DemoRecording.h"

#include <QTableWidget>

#include <algorithm>
#include <fstream>

namespace {

using apptest::processEvents;

class IdentifyCallsTest : public apptest::AppTest {};

}  // namespace

TEST_F(IdentifyCallsTest, ModelLabelsTheCallsInTheWindowAndTheirMarks)
{
    const std::string wav = dir.file("demo.wav");
    ASSERT_TRUE(writeDemoRecording(wav));
    start({wav});
    CVesAnaView* view = activeView();
    ASSERT_NE(view, nullptr);
    processEvents();

    // A model of the demo's two bats, told apart by frequency: its own calls
    // labelled as a person would, spread over three pretend recordings.
    std::string error;
    ViewCalls* part = ViewCalls::of(view);
    EXPECT_FALSE(part->identifyWith(dir.file("none.vcls"), error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
    std::ofstream(dir.file("text.vcls")) << "not a model";
    EXPECT_FALSE(part->identifyWith(dir.file("text.vcls"), error));
    EXPECT_NE(error.find("not a Vesperon classifier model"), std::string::npos) << error;

    ASSERT_TRUE(part->findCalls());
    processEvents();
    const std::vector<CallMeasures> calls = part->callsWindow()->calls();
    ASSERT_GE(calls.size(), 12u);
    std::vector<double> peaks;
    for (const CallMeasures& c : calls)
        peaks.push_back(c.peakFreqHz);
    std::nth_element(peaks.begin(), peaks.begin() + static_cast<long>(peaks.size() / 2), peaks.end());
    const double middle = peaks[peaks.size() / 2];
    const auto truth = [&](const CallMeasures& c) { return c.peakFreqHz >= middle ? "High bat" : "Low bat"; };
    std::vector<classify::LabelledCall> labelled;
    for (std::size_t i = 0; i < calls.size(); ++i)
        labelled.push_back({"rec" + std::to_string(i % 3), truth(calls[i]), calls[i]});
    classify::TrainOptions o;
    o.folds = 3;
    o.minCallsPerSpecies = 3;
    o.targetPrecision = 0.5;
    const std::string model = dir.file("demo.vcls");
    ASSERT_TRUE(classify::saveModel(model, classify::train(labelled, o), error)) << error;

    ASSERT_TRUE(part->identifyWith(model, error)) << error;
    processEvents();
    CCallsWnd* wnd = part->callsWindow();
    const auto& species = wnd->species();
    ASSERT_EQ(species.size(), calls.size());
    int right = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        right += species[i] == truth(calls[i]);
        EXPECT_TRUE(species[i] == truth(calls[i]) || species[i] == classify::kNoId) << i << ": " << species[i];
    }
    EXPECT_GE(right, static_cast<int>(calls.size()) * 3 / 4);
    EXPECT_EQ(wnd->table()->horizontalHeaderItem(0)->text(), "species");
    EXPECT_EQ(wnd->table()->item(0, 0)->text().toStdString(), species[0]);

    const std::size_t before = view->doc().marks().size();
    ASSERT_EQ(part->markCalls(), static_cast<int>(calls.size()));
    const auto& marks = view->doc().marks();
    const bool labelled0 = std::any_of(marks.begin() + static_cast<long>(before), marks.end(), [&](const AnaMarkSave& m) {
        return m.m_label.find(species[0]) != std::string::npos;
    });
    EXPECT_TRUE(labelled0) << "the marks carry the species";

    // A new run of Find calls drops the labels of the old calls.
    ASSERT_TRUE(part->findCalls());
    EXPECT_TRUE(wnd->species().empty());
}
