// vesperon-cli classify: species classifiers a user trains from calls people
// labelled (projects or selection tables beside their recordings), applies
// to recordings, and describes; `project classify` labels a project's calls.
#include "CliCommands.h"
#include "CliInputs.h"
#include "CliSupport.h"
#include "OrderedFor.h"

#include "classify/Classifier.h"
#include "classify/ModelFile.h"
#include "classify/SpeciesTable.h"
#include "core/AtomicFile.h"
#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "project/Project.h"
#include "pulse/CallDetector.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <unistd.h>

using namespace classify;

namespace {

constexpr const char* kHonesty =
    "A model knows only the species it was trained on, and is only as good as the calls it was trained on: a call "
    "of any other species, or recorded elsewhere, gets one of its labels or No ID.";

CommandSpec makeSpec()
{
    const TrainOptions d;
    OptionSpec output;
    output.name = "output";
    output.shortName = 'o';
    output.kind = OptionKind::Path;
    output.valueName = "MODEL";
    output.help = "the model file to write (.vcls)";
    output.sample = "bats.vcls";
    output.group = "train";
    return CommandSpec{
        "classify",
        "train a species classifier on labelled calls, apply it to recordings, describe a model",
        {"train LABELS... -o MODEL.vcls [--folds K] [--target-precision P] [--seed N]",
         "apply MODEL.vcls IN... [--csv]", "info MODEL.vcls"},
        "train learns to tell apart the species of calls people labelled. LABELS are\n"
        "project files (their calls with a manual label) or Raven selection tables\n"
        "with a species column (Species, Species Code, Class, Annotation or Label)\n"
        "saved beside their recordings (a Begin Path or Begin File column names each\n"
        "row's recording, else the table's own name does). The calls of a table's\n"
        "recordings are found with the call detector; a call takes the species of\n"
        "the boxes over it or the points on it. Training first cross-validates in\n"
        "K folds that keep all calls of a recording together, and prints each\n"
        "species' precision, recall and share left \"No ID\" on the held-out\n"
        "recordings; from them it chooses the probability a call (and a pass) must\n"
        "reach for a label so that the labels reach the target precision.\n\n"
        "apply labels the calls of recordings and folders, and their passes (calls\n"
        "with gaps under the model's pass gap), with the species and its\n"
        "probability, or \"No ID\" below the threshold. info prints a model's\n"
        "species, thresholds and training summary.\n\n"
        "A model knows only the species it was trained on and is only as good as\n"
        "the calls it was trained on; no model comes with the program.\n",
        {
            output,
            rangeOption("folds", OptionKind::Integer, "K", 2, 50, keepText(std::to_string(d.folds)),
                        "cross-validation folds (whole recordings each)"),
            rangeOption("target-precision", OptionKind::Number, "P", 0.5, 0.999,
                        keepText(vkit::formatC("%g", d.targetPrecision)),
                        "the precision the labels must reach in cross-validation"),
            rangeOption("seed", OptionKind::Integer, "N", 0, 2147483647, "1",
                        "seed of the folds and trees: the same calls and seed give the same model"),
            rangeOption("min-calls", OptionKind::Integer, "N", 2, 100000, keepText(std::to_string(d.minCallsPerSpecies)),
                        "labelled calls a species needs"),
            rangeOption("pass-gap", OptionKind::Number, "MS", 1, 3600000, "1000",
                        "calls with a shorter gap between them belong to one pass"),
            [] {
                OptionSpec band = callBandOption("search band in kHz");
                band.group = "the call detector (train from tables, apply)";
                return band;
            }(),
            rangeOption("snr", OptionKind::Number, "DB", 0, 100, "15", "a call's peak above the noise of its band"),
            channelOption("mix|left|right", "mix: both", "channel of a stereo recording"),
            timeExpansionOption(),
            jobsOption(),
            {.name = "csv", .help = "comma-separated values, one header row for all files", .group = "apply"},
            recursiveOption(),
        },
        "Exit status 1 when a label file, recording or model cannot be read, the\n"
        "labels cannot train a model (too few species or calls: each named), or the\n"
        "model cannot be written (nothing is written then), 2 for wrong usage.\n"};
}

// `command` is the one the user ran: classify, or project for its classify action.
void say(const std::string& text, const char* command = "classify")
{
    std::fprintf(stderr, "vesperon-cli %s: %s\n", command, text.c_str());
}

struct DetectOptions {
    CallDetectorSettings settings;
    std::optional<std::int32_t> timeExp25;
    int jobs = 1;
};

DetectOptions detectOptions(const ParsedArgs& parsed)
{
    DetectOptions d;
    for (const OptionValue& o : parsed.options) {
        if (o.is("band"))
            parseCallBand(o.text, d.settings.bandLowHz, d.settings.bandHighHz);
        else if (o.is("snr"))
            d.settings.snrDb = o.number;
        else if (o.is("channel"))
            d.settings.channel = channelValue(o) == Channel::Left    ? CallChannel::Left
                                 : channelValue(o) == Channel::Right ? CallChannel::Right
                                                                     : CallChannel::Mix;
        else if (o.is("time-expansion"))
            d.timeExp25 = timeExpansionValue(o);
        else if (o.is("jobs"))
            d.jobs = static_cast<int>(o.integer());
    }
    return d;
}

struct Detected {
    bool failed = false;
    std::vector<CallMeasures> calls;
};

Detected detect(const std::string& file, const DetectOptions& d)
{
    Detected r;
    CliDocHost host(file);
    CVesSoundDoc doc(host, userDefaults());
    if (!doc.open(file)) {
        r.failed = true;
        return r;
    }
    if (d.timeExp25)
        doc.recData().m_timeExp25 = *d.timeExp25;
    CallCollector collector;
    detectCalls(doc, 0, -1, d.settings, collector);
    r.calls = std::move(collector.calls);
    return r;
}

bool isProjectFile(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[16] = {};
    const std::size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    return n == 16 && std::string(buf, 15) == "SQLite format 3";
}

// The labelled calls of every label file; false (after saying why) when any
// cannot be read or names a recording that is missing.
bool gatherLabels(const std::vector<std::string>& files, const DetectOptions& d, std::vector<LabelledCall>& out)
{
    bool ok = true;
    std::map<std::string, std::vector<SpeciesSelection>> byRecording;  // recordings of the tables
    for (const std::string& file : files) {
        if (isProjectFile(file)) {
            try {
                auto project = Project::open(file);
                std::size_t before = out.size();
                forEachRecordingCallsWithLabels(*project, [&](const RecordingRow& row,
                                                              const std::vector<CallMeasures>& calls,
                                                              const std::vector<CallIdentity>& ids) {
                    for (std::size_t i = 0; i < calls.size(); ++i)
                        if (!ids[i].manualLabel.empty() && ids[i].manualLabel != kNoId)
                            out.push_back({file + ":" + row.path, ids[i].manualLabel, calls[i]});
                });
                if (out.size() == before) {
                    say(file + ": the project has no calls with a manual label");
                    ok = false;
                }
            } catch (const ProjectError& e) {
                say(file + ": " + e.what());
                ok = false;
            }
            continue;
        }
        std::string text, error;
        if (!vkit::readWholeFile(file, text, 64u << 20)) {
            say(file + ": cannot be read");
            ok = false;
            continue;
        }
        std::vector<SpeciesSelection> rows;
        if (!readSpeciesTable(text, rows, error)) {
            say(file + ": " + error);
            ok = false;
            continue;
        }
        for (const SpeciesSelection& row : rows) {
            std::string tried;
            const std::string rec = recordingOfSelection(file, row, tried);
            if (rec.empty()) {
                say(file + ": the recording " + tried + " is missing");
                ok = false;
                break;
            }
            byRecording[rec].push_back(row);
        }
    }
    if (!ok)
        return false;
    std::vector<std::string> recordings;
    for (const auto& [rec, rows] : byRecording)
        recordings.push_back(rec);
    parallelForInOrder<Detected>(
        recordings.size(), d.jobs, [&](std::size_t i) { return detect(recordings[i], d); },
        [&](std::size_t i, Detected&& r) {
            if (r.failed) {
                ok = false;
                return;
            }
            const std::vector<std::string> species = speciesOfCalls(r.calls, byRecording[recordings[i]]);
            for (std::size_t k = 0; k < r.calls.size(); ++k)
                if (!species[k].empty())
                    out.push_back({recordings[i], species[k], r.calls[k]});
        });
    return ok;
}

std::string percent(double v)
{
    return vkit::formatC("%.1f %%", 100 * v);
}

void printSummary(const ClassifierModel& m)
{
    const TrainingSummary& s = m.summary;
    std::size_t width = 7;
    for (const SpeciesScore& r : s.species)
        width = std::max(width, r.species.size());
    std::string out = vkit::formatC("%-*s  %7s  %10s  %9s  %7s  %7s\n", static_cast<int>(width), "species", "calls",
                                    "recordings", "precision", "recall", "No ID");
    for (const SpeciesScore& r : s.species)
        out += vkit::formatC("%-*s  %7lld  %10lld  %9.3f  %7.3f  %7.3f\n", static_cast<int>(width), r.species.c_str(),
                             static_cast<long long>(r.calls), static_cast<long long>(r.recordings), r.precision,
                             r.recall, r.abstention);
    out += vkit::formatC("calls: %lld in %lld recordings; cross-validated in %d folds by recording: accuracy %.3f on the "
                         "calls labelled, %s No ID\n",
                         static_cast<long long>(s.calls), static_cast<long long>(s.recordings), s.folds,
                         s.callAccuracy, percent(s.callNoId).c_str());
    out += vkit::formatC("passes: %lld; accuracy %.3f on the passes labelled, %s No ID\n",
                         static_cast<long long>(s.passes), s.passAccuracy, percent(s.passNoId).c_str());
    out += vkit::formatC("thresholds: call %.3f, pass %.3f (target precision %.3f); pass gap %g ms; seed %llu\n",
                         m.callThreshold, m.passThreshold, m.targetPrecision, m.passGapMs,
                         static_cast<unsigned long long>(s.seed));
    std::fputs(out.c_str(), stdout);
}

int runTrain(const CommandSpec& spec, const ParsedArgs& parsed, const std::vector<std::string>& labels)
{
    TrainOptions o;
    std::string output;
    for (const OptionValue& v : parsed.options) {
        if (v.is("output"))
            output = v.text;
        else if (v.is("folds"))
            o.folds = static_cast<int>(v.integer());
        else if (v.is("target-precision"))
            o.targetPrecision = v.number;
        else if (v.is("seed"))
            o.seed = static_cast<std::uint64_t>(v.integer());
        else if (v.is("min-calls"))
            o.minCallsPerSpecies = static_cast<int>(v.integer());
        else if (v.is("pass-gap"))
            o.passGapMs = v.number;
    }
    if (labels.empty())
        return usageError(spec, "train needs one or more label files (projects or selection tables)");
    if (output.empty())
        return usageError(spec, "train needs the model file to write: -o MODEL.vcls");
    std::vector<LabelledCall> calls;
    if (!gatherLabels(labels, detectOptions(parsed), calls)) {
        say("nothing written");
        return 1;
    }
    ClassifierModel model;
    try {
        model = train(std::move(calls), o, [](const std::string& text) {
            if (::isatty(2))
                std::fprintf(stderr, "\r%s   ", text.c_str());
        });
        if (::isatty(2))
            std::fprintf(stderr, "\n");
    } catch (const ClassifyError& e) {
        say(std::string(e.what()) + "; nothing written");
        return 1;
    }
    printSummary(model);
    for (const SpeciesScore& sc : model.summary.species)
        if (sc.recordings < 2)
            say(sc.species + ": all its calls come from one recording, so cross-validation by recording could not "
                             "test it; label it in more recordings");
    if (model.callThreshold >= 1.0 || model.passThreshold >= 1.0)
        say(vkit::formatC("the labels did not reach the target precision %.3f in cross-validation: the model will "
                          "give almost every %s No ID",
                          model.targetPrecision, model.callThreshold >= 1.0 ? "call" : "pass"));
    std::string error;
    if (!saveModel(output, model, error)) {
        say(error);
        return 1;
    }
    std::printf("model: %s (%zu species)\n%s\n", output.c_str(), model.species.size(), kHonesty);
    return 0;
}

std::optional<ClassifierModel> loadOrSay(const std::string& path, const char* command = "classify")
{
    ClassifierModel m;
    std::string error;
    if (!loadModel(path, m, error)) {
        say(error, command);
        return std::nullopt;
    }
    return m;
}

struct Applied {
    bool failed = false;
    std::vector<CallMeasures> calls;
    std::vector<CallLabel> labels;
    std::vector<PassLabel> passes;
};

int runApply(const CommandSpec& spec, const ParsedArgs& parsed, const std::vector<std::string>& operands)
{
    if (operands.size() < 2)
        return usageError(spec, "apply needs a model file and one or more recordings or folders");
    auto model = loadOrSay(operands[0]);
    if (!model)
        return 1;
    std::unique_ptr<Classifier> classifier;
    try {
        classifier = std::make_unique<Classifier>(std::move(*model));
    } catch (const ClassifyError& e) {
        say(operands[0] + ": " + e.what());
        return 1;
    }
    const bool csv = parsed.has("csv");
    const DetectOptions d = detectOptions(parsed);
    const std::vector<std::string> inputs(operands.begin() + 1, operands.end());
    const RecordingInputs in = expandRecordingInputs("classify", inputs, parsed.has("recursive"));
    if (in.files.empty())
        return 1;
    bool failed = !in.ok;
    if (csv)
        std::fputs("file,call,start_ms,end_ms,label,probability,pass,pass_label,pass_probability\n", stdout);
    parallelForInOrder<Applied>(
        in.files.size(), d.jobs,
        [&](std::size_t i) {
            Applied a;
            Detected r = detect(in.files[i], d);
            a.failed = r.failed;
            a.calls = std::move(r.calls);
            if (!a.failed)
                classifier->classify(a.calls, a.labels, a.passes);
            return a;
        },
        [&](std::size_t i, Applied&& a) {
            if (a.failed) {
                failed = true;
                return;
            }
            const std::string& file = in.files[i];
            std::string text;
            if (!csv)
                text += "# " + file + "\n";
            for (std::size_t k = 0; k < a.calls.size(); ++k) {
                const CallLabel& l = a.labels[k];
                const PassLabel& p = a.passes[l.pass];
                if (csv)
                    text += vkit::formatC("%s,%d,%.3f,%.3f,%s,%.4f,%d,%s,%.4f\n", file.c_str(), a.calls[k].call,
                                          a.calls[k].startMs, a.calls[k].endMs, classifier->label(l.species).c_str(),
                                          l.probability, l.pass + 1, classifier->label(p.species).c_str(),
                                          p.probability);
                else
                    text += vkit::formatC("call %d\t%.3f ms\t%s\t%.3f\tpass %d\n", a.calls[k].call, a.calls[k].startMs,
                                          classifier->label(l.species).c_str(), l.probability, l.pass + 1);
            }
            if (!csv)
                for (std::size_t k = 0; k < a.passes.size(); ++k) {
                    const PassLabel& p = a.passes[k];
                    text += vkit::formatC("pass %zu\t%.3f-%.3f ms\t%d calls\t%s\t%.3f\n", k + 1,
                                          a.calls[p.firstCall].startMs, a.calls[p.lastCall].endMs,
                                          p.lastCall - p.firstCall + 1, classifier->label(p.species).c_str(),
                                          p.probability);
                }
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
        });
    return failed ? 1 : 0;
}

int runInfo(const CommandSpec& spec, const std::vector<std::string>& operands)
{
    if (operands.size() != 1)
        return usageError(spec, "info takes one model file");
    const auto model = loadOrSay(operands[0]);
    if (!model)
        return 1;
    std::printf("model: %s\nformat: %u\nspecies: %zu\n", operands[0].c_str(), ClassifierModel::kFormatVersion,
                model->species.size());
    printSummary(*model);
    std::printf("features:");
    for (std::size_t i = 0; i < model->featureNames.size(); ++i)
        std::printf(" %s (%s)", model->featureNames[i].c_str(), model->featureUnits[i].c_str());
    std::printf("\n%s\n", kHonesty);
    return 0;
}

}  // namespace

const CommandSpec& cmdClassifySpec()
{
    static const CommandSpec spec = makeSpec();
    return spec;
}

int cmdClassify(const CliArgs& args)
{
    const CommandSpec& spec = cmdClassifySpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    if (parsed.operands.empty())
        return usageError(spec, "give an action: train, apply or info (see --help)");
    const std::string action = parsed.operands[0];
    const std::vector<std::string> rest(parsed.operands.begin() + 1, parsed.operands.end());
    static const std::map<std::string, std::vector<std::string>> kOptionsOf = {
        {"train",
         {"output", "folds", "target-precision", "seed", "min-calls", "pass-gap", "band", "snr", "channel",
          "time-expansion", "jobs"}},
        {"apply", {"csv", "band", "snr", "channel", "time-expansion", "recursive", "jobs"}},
        {"info", {}},
    };
    const auto own = kOptionsOf.find(action);
    if (own == kOptionsOf.end())
        return usageError(spec, "unknown action '" + action + "' (train, apply, info)");
    for (const OptionValue& o : parsed.options)
        if (std::find(own->second.begin(), own->second.end(), o.spec->name) == own->second.end())
            return usageError(spec, std::string("--") + o.spec->name + " is not an option of " + action);
    if (action == "train")
        return runTrain(spec, parsed, rest);
    if (action == "apply")
        return runApply(spec, parsed, rest);
    return runInfo(spec, rest);
}

int classifyProject(const std::string& projectPath, const std::string& modelPath)
{
    const auto model = loadOrSay(modelPath, "project");
    if (!model)
        return 1;
    std::unique_ptr<Classifier> classifier;
    try {
        classifier = std::make_unique<Classifier>(*model);
    } catch (const ClassifyError& e) {
        say(modelPath + ": " + e.what(), "project");
        return 1;
    }
    auto project = Project::open(projectPath);
    std::int64_t recordings = 0, calls = 0, labelled = 0, passes = 0, passesLabelled = 0;
    std::vector<CallLabel> labels;
    std::vector<PassLabel> passLabels;
    forEachRecordingCallsWithLabels(*project, [&](const RecordingRow& row, const std::vector<CallMeasures>& cs,
                                                  const std::vector<CallIdentity>& ids) {
        if (cs.empty())
            return;
        classifier->classify(cs, labels, passLabels);
        project->inTransaction([&] {
            for (std::size_t i = 0; i < cs.size(); ++i)
                project->setAutoLabel(ids[i].id, classifier->label(labels[i].species), labels[i].probability, false);
            project->refreshCounts(row.id);
        });
        ++recordings;
        calls += static_cast<std::int64_t>(cs.size());
        labelled += std::count_if(labels.begin(), labels.end(), [](const CallLabel& l) { return l.species >= 0; });
        passes += static_cast<std::int64_t>(passLabels.size());
        passesLabelled +=
            std::count_if(passLabels.begin(), passLabels.end(), [](const PassLabel& p) { return p.species >= 0; });
    });
    std::printf("%lld calls in %lld recordings: %lld labelled, %lld No ID; %lld passes: %lld labelled, %lld No ID\n%s\n",
                static_cast<long long>(calls), static_cast<long long>(recordings), static_cast<long long>(labelled),
                static_cast<long long>(calls - labelled), static_cast<long long>(passes),
                static_cast<long long>(passesLabelled), static_cast<long long>(passes - passesLabelled), kHonesty);
    return 0;
}
