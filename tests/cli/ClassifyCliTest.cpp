// vesperon-cli classify and project classify over recordings of synthetic
// species (FM sweeps that differ in one parameter), labelled by selection
// tables saved beside them as a person would.
#include "project/Project.h"

#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

using vestest::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;
constexpr auto lines = &vestest::outputLines;

struct Species {
    const char* name;
    double highKHz, lowKHz, durationMs;
};
// Beta differs from Alpha in duration only, Gamma in frequency only.
const Species kSpecies[] = {{"Alpha", 70, 40, 3}, {"Beta", 70, 40, 7}, {"Gamma", 85, 55, 3}};
constexpr int kRate = 384000;
constexpr int kCalls = 10;
constexpr double kIntervalMs = 60;

// A recording of kCalls sweeps of `s` (each recording a little higher or
// lower, as bats of one species differ) and its selection table beside it.
void writeRecording(const std::string& folder, const Species& s, int index, bool table = true)
{
    std::mt19937 rng(static_cast<unsigned>(index * 31 + s.name[0]));
    std::normal_distribution<double> noise(0, 60);
    const double shift = 1 + 0.01 * (index % 3 - 1);
    std::vector<double> x(static_cast<std::size_t>(kRate * (kCalls * kIntervalMs + 40) / 1000));
    for (double& v : x)
        v = noise(rng);
    std::string rows;
    for (int c = 0; c < kCalls; ++c) {
        const double t0 = (20 + c * kIntervalMs) / 1000, d = s.durationMs / 1000;
        const double f1 = s.highKHz * 1000 * shift, f0 = s.lowKHz * 1000 * shift;
        double phase = 0;
        const auto first = static_cast<std::size_t>(t0 * kRate);
        const auto n = static_cast<std::size_t>(d * kRate);
        for (std::size_t k = 0; k < n; ++k) {
            const double u = static_cast<double>(k) / static_cast<double>(n);
            phase += 2 * M_PI * (f1 * std::pow(f0 / f1, u)) / kRate;
            x[first + k] += 9000 * std::sin(M_PI * u) * std::sin(phase);
        }
        rows += std::to_string(c + 1) + "\tSpectrogram 1\t1\t" + std::to_string(t0 - 0.0005) + "\t" +
                std::to_string(t0 + d + 0.0005) + "\t" + std::to_string(f0 * 0.9) + "\t" + std::to_string(f1 * 1.1) +
                "\t" + s.name + "\n";
    }
    vestest::ByteWriter data;
    for (double v : x)
        data.u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(std::clamp(v, -32000.0, 32000.0)))));
    vestest::ByteWriter w;
    w.chunk("fmt ", vestest::pcmFormat(1, kRate, 16)).chunk("data", data.data());
    const std::string name = folder + "/" + s.name + std::to_string(index);
    vestest::writeFile(name + ".wav", vestest::riffWave(w.data()));
    if (table)
        std::ofstream(name + ".Table.1.selections.txt")
            << "Selection\tView\tChannel\tBegin Time (s)\tEnd Time (s)\tLow Freq (Hz)\tHigh Freq (Hz)\tSpecies\n"
            << rows;
}

class ClassifyCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        labelled = dir.file("labelled");
        fresh = dir.file("fresh");
        fs::create_directories(labelled);
        fs::create_directories(fresh);
        for (const Species& s : kSpecies)
            for (int i = 0; i < 3; ++i)
                writeRecording(labelled, s, i);
        for (const Species& s : kSpecies)
            writeRecording(fresh, s, 7, false);
    }
    std::string tables() const
    {
        std::string out;
        for (const auto& e : fs::directory_iterator(labelled))
            if (e.path().extension() == ".txt")
                out += " " + q(e.path().string());
        return out;
    }
    vestest::CliRun run(const std::string& args) { return cli(args, dir); }

    TempDir dir;
    std::string labelled, fresh;
};

TEST_F(ClassifyCli, TrainsOnTablesBesideRecordingsAndLabelsNewRecordingsCallByCallAndPerPass)
{
    const std::string model = dir.file("m.vcls");
    const auto trained = run("classify train" + tables() + " -o " + q(model) + " --folds 3");
    ASSERT_EQ(trained.status, 0) << trained.err;
    const auto out = lines(trained.out);
    ASSERT_GE(out.size(), 6u) << trained.out;
    EXPECT_EQ(out[0].rfind("species", 0), 0u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out[1 + i].rfind(kSpecies[i].name, 0), 0u) << out[1 + i];
        EXPECT_NE(out[1 + i].find(" 30 "), std::string::npos) << "every call matched its box: " << out[1 + i];
    }
    EXPECT_NE(trained.out.find("only as good as the calls it was trained on"), std::string::npos);

    // The same labels and seed give the same file, byte for byte.
    const std::string again = dir.file("again.vcls");
    ASSERT_EQ(run("classify train" + tables() + " -o " + q(again) + " --folds 3").status, 0);
    EXPECT_EQ(vestest::readFile(model), vestest::readFile(again));

    const auto applied = run("classify apply " + q(model) + " " + q(fresh) + " --csv");
    ASSERT_EQ(applied.status, 0) << applied.err;
    const auto rows = lines(applied.out);
    ASSERT_EQ(rows.size(), 1u + 3 * kCalls) << applied.out;
    EXPECT_EQ(rows[0], "file,call,start_ms,end_ms,label,probability,pass,pass_label,pass_probability");
    int right = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::string species = fs::path(rows[i].substr(0, rows[i].find(','))).stem().string();
        const std::string name = species.substr(0, species.size() - 1);
        right += rows[i].find("," + name + ",") != std::string::npos;
        EXPECT_NE(rows[i].find(",1," + name + ","), std::string::npos) << "one pass per recording, labelled " << name
                                                                      << ": " << rows[i];
    }
    EXPECT_GE(right, 3 * kCalls - 3) << applied.out;

    const auto info = run("classify info " + q(model));
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("species: 3"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("fc (kHz)"), std::string::npos) << info.out;
}

TEST_F(ClassifyCli, AProjectIsLabelledAndItsManualLabelsTrainTheNextModel)
{
    const std::string project = dir.file("season.vproj");
    ASSERT_EQ(run("project init " + q(project) + " --root " + q(labelled)).status, 0);
    ASSERT_EQ(run("project add " + q(project) + " " + q(labelled)).status, 0);
    ASSERT_EQ(run("project calls " + q(project)).status, 0);
    {
        // A person vets every call of the project by its recording's name.
        auto p = Project::open(project);
        std::vector<std::pair<std::int64_t, std::string>> vetted;
        p->forEachRecordingCalls([&](const RecordingRow& row, const std::vector<CallMeasures>& calls) {
            for (const CallMeasures& c : calls)
                vetted.push_back({p->callId(row.id, c.call), row.path.substr(0, row.path.size() - 5)});
        });
        ASSERT_EQ(vetted.size(), 9u * kCalls);
        for (const auto& [id, species] : vetted)
            p->setManualLabel(id, species, "tester", "2026-06-01 12:00:00");
    }
    const std::string model = dir.file("from-project.vcls");
    const auto trained = run("classify train " + q(project) + " -o " + q(model) + " --folds 3");
    ASSERT_EQ(trained.status, 0) << trained.err;
    EXPECT_NE(trained.out.find("calls: 90 in 9 recordings"), std::string::npos) << trained.out;

    const auto labelledRun = run("project classify " + q(project) + " " + q(model));
    ASSERT_EQ(labelledRun.status, 0) << labelledRun.err;
    EXPECT_EQ(labelledRun.out.rfind("90 calls in 9 recordings: ", 0), 0u) << labelledRun.out;
    const auto status = run("project status " + q(project));
    EXPECT_NE(status.out.find("identified: 90"), std::string::npos) << status.out;
    // The manual labels count over the automatic ones in the summary.
    const auto summary = run("project summary " + q(project) + " --by species --csv");
    for (const Species& s : kSpecies)
        EXPECT_NE(summary.out.find(std::string(s.name) + ",3,3,30,"), std::string::npos) << summary.out;
}

TEST_F(ClassifyCli, BadLabelsAndModelsGetAClearMessageAndNothingIsWritten)
{
    const std::string model = dir.file("m.vcls");
    std::ofstream(dir.file("orphan.Table.1.selections.txt"))
        << "Selection\tView\tChannel\tBegin Time (s)\tEnd Time (s)\tSpecies\n1\tSpectrogram 1\t1\t0.1\t0.2\tAlpha\n";
    std::ofstream(dir.file("nolabels.txt")) << "Selection\tView\tChannel\tBegin Time (s)\tEnd Time (s)\n"
                                               "1\tSpectrogram 1\t1\t0.1\t0.2\n";
    std::ofstream(dir.file("damaged.vcls")) << "VESCLS\r\n\x01\x00\x00\x00 and then garbage";
    const struct {
        const char* what;
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"missing recording", "classify train " + q(dir.file("orphan.Table.1.selections.txt")) + " -o " + q(model), 1,
         "the recording " + dir.file("orphan.wav") + " is missing"},
        {"no labels", "classify train " + q(dir.file("nolabels.txt")) + " -o " + q(model), 1, "no species column"},
        {"too few calls", "classify train" + tables() + " -o " + q(model) + " --folds 3 --min-calls 40", 1,
         "too few labelled calls to train: Alpha (30 calls), Beta (30 calls), Gamma (30 calls); each species needs at "
         "least 40"},
        {"more folds than recordings", "classify train" + tables() + " -o " + q(model) + " --folds 12", 1,
         "needs at least as many recordings"},
        {"no output", "classify train" + tables(), 2, "-o MODEL.vcls"},
        {"damaged model", "classify apply " + q(dir.file("damaged.vcls")) + " " + q(fresh), 1, "damaged"},
        {"damaged model for a project", "project classify " + q(dir.file("p.vproj")) + " " + q(dir.file("damaged.vcls")),
         1, "vesperon-cli project: " + dir.file("damaged.vcls") + ": the model file is damaged"},
        {"project without a model", "project classify " + q(dir.file("p.vproj")), 2, "a project file and a model file"},
        {"not a model", "classify info " + q(dir.file("nolabels.txt")), 1, "not a Vesperon classifier model"},
        {"unknown action", "classify guess x", 2, "unknown action 'guess'"},
        {"option of another action", "classify info x --csv", 2, "--csv is not an option of info"},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_FALSE(fs::exists(model)) << c.what;
    }
}

// The soundclass recordings (Barbastella barbastellus and Myotis
// escalerai, 10x time-expanded, calls on the right channel) with the call
// points a person clicked, as selection tables naming their recordings.
TEST_F(ClassifyCli, RealLabelledRecordingsAreToldApartInCrossValidationByRecording)
{
    const std::string data = vestest::sharedDataDir();
    if (data.empty() || !fs::exists(data + "/soundclass/annotations.csv"))
        GTEST_SKIP() << "shared recordings not present";
    std::ifstream csv(data + "/soundclass/annotations.csv");
    std::map<std::string, std::string> tables;  // recording -> table text
    std::map<std::string, int> rows;
    std::string line;
    std::getline(csv, line);
    while (std::getline(csv, line)) {
        const std::string file = line.substr(0, line.find(','));
        const bool bbar = file.rfind("Bbar", 0) == 0;
        if (!bbar && file.rfind("Mesc", 0) != 0)
            continue;  // the real-time recordings' points carry no species
        const std::string t = line.substr(file.size() + 1, line.find(',', file.size() + 1) - file.size() - 1);
        std::string& text = tables[file];
        if (text.empty())
            text = "Selection\tView\tChannel\tBegin Time (s)\tEnd Time (s)\tBegin Path\tSpecies\n";
        text += std::to_string(++rows[file]) + "\tSpectrogram 1\t1\t" + t + "\t" + t + "\t" + data +
                "/soundclass/" + file + "\t" + (bbar ? "Barbastella barbastellus" : "Myotis escalerai") + "\n";
    }
    ASSERT_EQ(tables.size(), 14u);
    std::string args;
    for (const auto& [file, text] : tables) {
        const std::string path = dir.file(file + ".selections.txt");
        std::ofstream(path) << text;
        args += " " + q(path);
    }
    const auto r = run("classify train" + args + " -o " + q(dir.file("sc.vcls")) +
                       " --folds 4 --time-expansion 10 --channel right");
    ASSERT_EQ(r.status, 0) << r.err;
    double accuracy = 0, noId = 100;
    const auto at = r.out.find("passes: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + at, "passes: %*d; accuracy %lf on the passes labelled, %lf %%", &accuracy,
                          &noId),
              2)
        << r.out;
    EXPECT_GE(accuracy, 0.9) << r.out;
    EXPECT_LE(noId, 20) << r.out;
    EXPECT_NE(r.out.find("calls: 117 in 14 recordings"), std::string::npos) << r.out;
}

}  // namespace
