#include "calls/ViewCalls.h"

#include "calls/CCallsWnd.h"
#include "classify/Classifier.h"
#include "classify/ModelFile.h"
#include "commands/CommandTable.h"
#include "core/NumberText.h"
#include "display/CAnaPlot.h"
#include "display/CVesAnaView.h"
#include "display/ViewParts.h"
#include "document/CVesSoundDoc.h"
#include "document/MarkTables.h"
#include "pulse/CallDetector.h"
#include "pulse/CallTable.h"

#include <QFileDialog>
#include <QMessageBox>

#include <algorithm>

ViewCalls::ViewCalls(CVesAnaView& view, CommandHandlers& commands) : QObject(&view), m_view(view)
{
    commands.on(cmd::FindCalls, [this](int) { findCalls(); },
                [this](int, CommandState& s) { s.enabled = m_view.doc().lengthFrames() > 0; });
    commands.on(cmd::IdentifyCalls, [this](int) { identifyCalls(); },
                [this](int, CommandState& s) { s.enabled = m_view.doc().lengthFrames() > 0; });
    // The result window is the view's child: it goes with the view.
}

ViewCalls* ViewCalls::of(const CVesAnaView* view)
{
    return viewPart<ViewCalls>(view);
}

void ViewCalls::registerPart()
{
    registerViewPart("calls", [](CVesAnaView& view, CommandHandlers& commands) { new ViewCalls(view, commands); });
}

bool ViewCalls::findCalls()
{
    CVesSoundDoc& doc = m_view.doc();
    std::int64_t first = 0, last = 0;
    CallDetectorSettings settings;
    const auto& selection = m_view.selection();
    if (selection) {
        first = selection->first();
        last = selection->last();
    } else {
        const PlotLayout& L = m_view.plot()->layout();
        first = std::max<std::int64_t>(0, L.plotStart);
        last = std::min(doc.lengthFrames(), L.plotStart + L.samplesPerPlot);
    }
    if (doc.format().channels > 1 && selection && selection->channel != ChannelSel::Both)
        settings.channel = selection->channel == ChannelSel::Left ? CallChannel::Left : CallChannel::Right;
    std::vector<CallMeasures> calls;
    if (!findCallsWithProgress(&m_view, doc, first, last, settings, calls))
        return false;
    if (!m_wnd) {
        m_wnd = new CCallsWnd(&m_view);
        connect(m_wnd, &CCallsWnd::callChosen, this, [this](int index) { showCall(index); });
        connect(m_wnd, &CCallsWnd::markCallsAsked, this, [this] { markCalls(); });
    }
    const double from = static_cast<double>(doc.framesToRealMicros(first)) / 1e6;
    const double to = static_cast<double>(doc.framesToRealMicros(last)) / 1e6;
    const QString status = QString::fromStdString(vkit::formatC("%zu calls in %.3f to %.3f s", calls.size(), from, to));
    m_wnd->setCalls(std::move(calls), status);
    m_wnd->show();
    m_wnd->raise();
    return true;
}

void ViewCalls::showCall(int index)
{
    if (!m_wnd || index < 0 || index >= static_cast<int>(m_wnd->calls().size()))
        return;
    const CallMeasures& c = m_wnd->calls()[static_cast<std::size_t>(index)];
    const std::int64_t length = m_view.doc().lengthFrames();
    ViewSelection sel;
    sel.a = std::clamp<std::int64_t>(c.startFrame, 0, length);
    sel.b = std::clamp<std::int64_t>(c.endFrame, 0, length);
    sel.channel = ChannelSel::Both;
    if (m_view.parms().m_spectPlot) {
        sel.timeOnly = false;
        sel.inFrequencyPane = true;
        sel.low = c.minFreqHz;
        sel.high = c.maxFreqHz;
    }
    m_view.revealSelection(sel);
}

int ViewCalls::markCalls()
{
    if (!m_wnd || m_wnd->calls().empty())
        return 0;
    CVesSoundDoc& doc = m_view.doc();
    AnnotationTable table = emptyCallTable();
    appendCallsToTable(table, doc.path(), m_wnd->calls());
    const auto& species = m_wnd->species();
    for (std::size_t i = 0; i < species.size() && i < table.rows.size(); ++i)
        table.rows[i].label += vkit::formatC(": %s %.2f", species[i].c_str(), m_wnd->probabilities()[i]);
    std::string error;
    const int added = addMarksFromTable(doc, table, error);
    if (added < 0) {
        QMessageBox::warning(&m_view, tr("Find calls"), QString::fromStdString(error));
        return 0;
    }
    CVesAnaView::marksChanged(doc);
    return added;
}

bool ViewCalls::identifyCalls()
{
    const QString path = QFileDialog::getOpenFileName(&m_view, tr("Identify calls: species model"), QString(),
                                                      tr("Species models (*.vcls);;All files (*)"));
    if (path.isEmpty())
        return false;
    std::string error;
    if (!identifyWith(path.toStdString(), error)) {
        if (!error.empty())
            QMessageBox::warning(&m_view, tr("Identify calls"), QString::fromStdString(error));
        return false;
    }
    return true;
}

bool ViewCalls::identifyWith(const std::string& path, std::string& error)
{
    classify::ClassifierModel model;
    if (!classify::loadModel(path, model, error))
        return false;
    std::unique_ptr<classify::Classifier> classifier;
    try {
        classifier = std::make_unique<classify::Classifier>(std::move(model));
    } catch (const classify::ClassifyError& e) {
        error = path + ": " + e.what();
        return false;
    }
    if ((!m_wnd || m_wnd->calls().empty()) && !findCalls())
        return false;  // cancelled
    std::vector<classify::CallLabel> labels;
    std::vector<classify::PassLabel> passes;
    classifier->classify(m_wnd->calls(), labels, passes);
    std::vector<std::string> species;
    std::vector<float> probabilities;
    std::size_t named = 0;
    for (const classify::CallLabel& l : labels) {
        species.push_back(classifier->label(l.species));
        probabilities.push_back(l.probability);
        named += l.species >= 0;
    }
    const std::string file = path.substr(path.find_last_of('/') + 1);
    m_wnd->setSpecies(std::move(species), std::move(probabilities),
                      QString::fromStdString(vkit::formatC(
                          "%zu calls, %zu labelled by %s (%zu species), %zu No ID; a model is only as good as the "
                          "calls it was trained on",
                          labels.size(), named, file.c_str(), classifier->speciesCount(), labels.size() - named)));
    m_wnd->show();
    m_wnd->raise();
    return true;
}
