// Species classifiers trained on synthetic species whose calls differ in one
// parameter at a time, the model file and its faults, and labels from
// selection tables.
#include "classify/CallFeatures.h"
#include "classify/Classifier.h"
#include "classify/ModelFile.h"
#include "classify/SpeciesTable.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

using namespace classify;

namespace {

struct Shape {
    const char* name;
    double fcKHz = 45, durationMs = 5, bandwidthKHz = 30, intervalMs = 90;
};

// A call of `s` with the scatter of real calls of one species: a few
// percent in every measurement.
CallMeasures syntheticCall(const Shape& s, double startMs, std::mt19937& rng)
{
    std::normal_distribution<double> jitter(1.0, 0.04);
    CallMeasures c;
    c.startMs = startMs;
    c.durationMs = s.durationMs * jitter(rng);
    c.endMs = startMs + c.durationMs;
    c.charFreqHz = s.fcKHz * 1000 * jitter(rng);
    c.minFreqHz = c.charFreqHz * 0.97;
    c.bandwidthHz = s.bandwidthKHz * 1000 * jitter(rng);
    c.maxFreqHz = c.minFreqHz + c.bandwidthHz;
    c.peakFreqHz = c.minFreqHz + 0.3 * c.bandwidthHz;
    c.kneeFreqHz = c.minFreqHz + 0.2 * c.bandwidthHz;
    c.meanFreqHz = c.minFreqHz + 0.35 * c.bandwidthHz;
    c.lowFreqHz = c.minFreqHz;
    c.highFreqHz = c.maxFreqHz;
    c.slopeKHzPerMs = c.bandwidthHz / 1000 / c.durationMs;
    c.charTimeMs = 0.8 * c.durationMs;
    c.kneeTimeMs = 0.4 * c.durationMs;
    c.charSlopeOps = 20 * jitter(rng);
    c.initialSlopeOps = 200 * jitter(rng);
    c.qualityPct = 0.5 * jitter(rng);
    c.snrDb = 30 * jitter(rng);
    c.prominenceDb = 25 * jitter(rng);
    c.intervalMs = s.intervalMs * jitter(rng);
    return c;
}

// `recordings` recordings of each shape, each with `passes` passes of 8 calls.
std::vector<LabelledCall> syntheticSet(const std::vector<Shape>& shapes, int recordings, int passes, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<LabelledCall> out;
    for (const Shape& s : shapes)
        for (int r = 0; r < recordings; ++r)
            for (int p = 0; p < passes; ++p)
                for (int k = 0; k < 8; ++k)
                    out.push_back({std::string(s.name) + "_rec" + std::to_string(r), s.name,
                                   syntheticCall(s, p * 5000.0 + k * s.intervalMs, rng)});
    return out;
}

const std::vector<Shape> kFourShapes = {
    {"Base"},
    {"HighFc", 52},                // characteristic frequency only
    {"Long", 45, 8.5},             // duration only
    {"Broad", 45, 5, 55},          // bandwidth only
};

TrainOptions quick()
{
    TrainOptions o;
    o.folds = 3;
    o.rounds = 30;
    return o;
}

}  // namespace

TEST(Classify, SpeciesDifferingInOneParameterAreToldApartInCrossValidation)
{
    const ClassifierModel m = train(syntheticSet(kFourShapes, 4, 3, 7), quick());
    ASSERT_EQ(m.species, (std::vector<std::string>{"Base", "Broad", "HighFc", "Long"}));
    EXPECT_EQ(m.summary.calls, 4 * 4 * 3 * 8);
    EXPECT_EQ(m.summary.recordings, 16);
    EXPECT_EQ(m.summary.passes, 4 * 4 * 3);
    EXPECT_GE(m.summary.passAccuracy, 0.95);
    EXPECT_LE(m.summary.passNoId, 0.2);
    for (const SpeciesScore& s : m.summary.species) {
        EXPECT_GE(s.precision, 0.9) << s.species;
        EXPECT_GE(s.recall, 0.8) << s.species;
        EXPECT_EQ(s.recordings, 4) << s.species;
    }

    // The saved model labels new calls of the same shapes.
    const Classifier c(m);
    for (const LabelledCall& lc : syntheticSet(kFourShapes, 1, 1, 99)) {
        if (lc.call.startMs > 0)
            continue;  // one call per shape is enough here
        std::vector<CallLabel> calls;
        std::vector<PassLabel> passes;
        c.classify({lc.call}, calls, passes);
        ASSERT_EQ(passes.size(), 1u);
        EXPECT_EQ(c.label(calls[0].species), lc.species);
    }
}

TEST(Classify, SpeciesThatCannotBeToldApartGetNoIdNotAConfidentGuess)
{
    // Two names for one shape: the held-out calls are right half the time,
    // so no threshold reaches the target and the model abstains.
    const std::vector<Shape> twins = {{"Twin1"}, {"Twin2"}};
    const ClassifierModel m = train(syntheticSet(twins, 4, 3, 3), quick());
    EXPECT_GE(m.summary.callNoId, 0.9);
    EXPECT_GE(m.summary.passNoId, 0.9);
    const Classifier c(m);
    std::mt19937 rng(5);
    std::vector<CallMeasures> calls;
    for (int k = 0; k < 8; ++k)
        calls.push_back(syntheticCall(twins[0], k * 90.0, rng));
    std::vector<CallLabel> labels;
    std::vector<PassLabel> passes;
    c.classify(calls, labels, passes);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(c.label(passes[0].species), kNoId);
}

TEST(Classify, TheSameCallsAndSeedGiveTheSameModelBytes)
{
    const auto set = syntheticSet(kFourShapes, 3, 2, 11);
    auto shuffled = set;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(1));
    const std::string a = writeModelBytes(train(set, quick()));
    EXPECT_EQ(a, writeModelBytes(train(shuffled, quick()))) << "the input order does not matter";
    TrainOptions other = quick();
    other.seed = 2;
    EXPECT_NE(a, writeModelBytes(train(set, other))) << "the seed is part of the model";
}

TEST(Classify, TrainingRefusesWhatItCannotLearnFromAndSaysWhy)
{
    std::vector<LabelledCall> few;
    int rare = 0;
    for (LabelledCall& c : syntheticSet({{"Plenty"}, {"Rare", 60}}, 3, 2, 1))
        if (c.species != "Rare" || ++rare <= 4)
            few.push_back(std::move(c));
    const struct {
        const char* what;
        std::vector<LabelledCall> calls;
        int folds;
        const char* message;
    } cases[] = {
        {"nothing", {}, 3, "no labelled calls"},
        {"one species", syntheticSet({{"Only"}}, 3, 2, 1), 3, "only one species (Only)"},
        {"too few calls", few, 3, "too few labelled calls to train: Rare (4 calls)"},
        {"more folds than recordings", syntheticSet(kFourShapes, 1, 2, 1), 5, "there are 4 (give --folds 4"},
    };
    for (const auto& c : cases) {
        TrainOptions o = quick();
        o.folds = c.folds;
        try {
            train(c.calls, o);
            ADD_FAILURE() << c.what << ": trained";
        } catch (const ClassifyError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

TEST(Classify, SpeciesNamesWithTabsOrLineBreaksStayReadableInTheModelFile)
{
    auto set = syntheticSet({{"A"}, {"B", 60}}, 3, 2, 4);
    for (LabelledCall& c : set)
        c.species = c.species == "A" ? "Pipistrellus\tpipistrellus" : " Myotis\r\n";
    set.push_back({"A_rec0", "  ", set.front().call});
    const ClassifierModel m = train(set, quick());
    EXPECT_EQ(m.species, (std::vector<std::string>{"Myotis", "Pipistrellus pipistrellus"}));
    ClassifierModel back;
    std::string error;
    EXPECT_TRUE(readModelBytes(writeModelBytes(m), back, error)) << error;
    EXPECT_EQ(back.species, m.species);
}

class ModelFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_bytes = writeModelBytes(train(syntheticSet(kFourShapes, 3, 1, 2), quick())); }
    static std::string s_bytes;
};
std::string ModelFileTest::s_bytes;

TEST_F(ModelFileTest, ReadsBackWhatItWroteAndSavesAtomically)
{
    ClassifierModel m;
    std::string error;
    ASSERT_TRUE(readModelBytes(s_bytes, m, error)) << error;
    EXPECT_EQ(writeModelBytes(m), s_bytes);
    EXPECT_EQ(m.featureNames.size(), kFeatureCount);
    EXPECT_EQ(m.summary.species.size(), 4u);

    vestest::TempDir dir;
    const std::string path = dir.file("m.vcls");
    ASSERT_TRUE(saveModel(path, m, error)) << error;
    ClassifierModel back;
    ASSERT_TRUE(loadModel(path, back, error)) << error;
    EXPECT_EQ(writeModelBytes(back), s_bytes);
    EXPECT_FALSE(saveModel(dir.file("no/such/folder/m.vcls"), m, error));
    EXPECT_NE(error.find("cannot write"), std::string::npos);
}

TEST_F(ModelFileTest, DamagedForeignAndOtherVersionFilesAreRefusedWithTheReason)
{
    ClassifierModel good;
    std::string error;
    ASSERT_TRUE(readModelBytes(s_bytes, good, error));
    ClassifierModel otherFeatures = good;
    otherFeatures.featureNames[3] = "peak_power";
    const auto patched = [](std::string b, std::size_t at, char v) {
        b[at] = v;
        return b;
    };
    const struct {
        const char* what;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"empty", "", "not a Vesperon classifier model"},
        {"another file", "RIFF....WAVEfmt ", "not a Vesperon classifier model"},
        {"newer", patched(s_bytes, 8, 9), "format version 9; this program reads version 1 (the model was made by a "
                                          "newer Vesperon)"},
        {"cut short", s_bytes.substr(0, s_bytes.size() / 2), "damaged"},
        {"a flipped byte", patched(s_bytes, s_bytes.size() / 2, static_cast<char>(s_bytes[s_bytes.size() / 2] ^ 1)),
         "checksum"},
        {"other features", writeModelBytes(otherFeatures), "other call features"},
    };
    for (const auto& c : cases) {
        ClassifierModel m;
        EXPECT_FALSE(readModelBytes(c.bytes, m, error)) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        EXPECT_TRUE(m.species.empty()) << c.what;
    }
    ClassifierModel brokenTrees = good;
    brokenTrees.booster = "{not trees}";
    EXPECT_THROW(Classifier{brokenTrees}, ClassifyError);
}

TEST(SpeciesTable, TheSpeciesColumnAndTheRecordingBesideTheTable)
{
    vestest::TempDir dir;
    std::ofstream(dir.file("night1.wav")) << "x";
    std::ofstream(dir.file("other.wav")) << "x";
    const std::string header = "Selection\tView\tChannel\tBegin Time (s)\tEnd Time (s)\tLow Freq (Hz)\tHigh Freq (Hz)";
    std::vector<SpeciesSelection> rows;
    std::string error, tried;

    ASSERT_TRUE(readSpeciesTable(header + "\tAnnotation\tSpecies\n1\tSpectrogram 1\t1\t0.1\t0.11\t30000\t60000\tcall\t"
                                          "Pipistrellus pipistrellus\n2\tSpectrogram 1\t1\t0.2\t0.2\t0\t0\tcall\t\n",
                                 rows, error))
        << error;
    ASSERT_EQ(rows.size(), 1u) << "a row without a species is skipped";
    EXPECT_EQ(rows[0].species, "Pipistrellus pipistrellus") << "the Species column wins over Annotation";
    EXPECT_EQ(recordingOfSelection(dir.file("night1.Table.1.selections.txt"), rows[0], tried), dir.file("night1.wav"));
    EXPECT_EQ(recordingOfSelection(dir.file("gone.selections.txt"), rows[0], tried), "");
    EXPECT_EQ(tried, dir.file("gone.wav"));

    ASSERT_TRUE(readSpeciesTable(header + "\tBegin File\tClass\n1\tSpectrogram 1\t1\t0.1\t0.11\t30000\t60000\t"
                                          "other.wav\tMyotis\n",
                                 rows, error));
    EXPECT_EQ(recordingOfSelection(dir.file("anything.txt"), rows[0], tried), dir.file("other.wav"));

    EXPECT_FALSE(readSpeciesTable(header + "\n1\tSpectrogram 1\t1\t0.1\t0.11\t30000\t60000\n", rows, error));
    EXPECT_NE(error.find("no species column"), std::string::npos) << error;
    EXPECT_FALSE(readSpeciesTable("not a table", rows, error));
}

TEST(SpeciesTable, CallsTakeTheSpeciesOfTheBoxesAndPointsOnThem)
{
    CallMeasures c;
    c.startMs = 100;
    c.endMs = 106;
    c.durationMs = 6;
    c.peakFreqHz = 45000;
    const auto box = [](double b, double e, double lo, double hi, const char* s) {
        return SpeciesSelection{b / 1000, e / 1000, lo, hi, s, ""};
    };
    const struct {
        const char* what;
        std::vector<SpeciesSelection> selections;
        const char* species;
    } cases[] = {
        {"box over the call", {box(99, 107, 30000, 60000, "A")}, "A"},
        {"box without frequencies", {box(102, 110, -1, -1, "A")}, "A"},
        {"box over a third of it", {box(104, 110, -1, -1, "A")}, ""},
        {"box at other frequencies", {box(99, 107, 60000, 90000, "A")}, ""},
        {"point in the middle", {box(103, 103, -1, -1, "A")}, "A"},
        {"point just after", {box(106.8, 106.8, -1, -1, "A")}, "A"},
        {"point far off", {box(110, 110, -1, -1, "A")}, ""},
        {"two boxes agreeing", {box(99, 107, -1, -1, "A"), box(100, 106, -1, -1, "A")}, "A"},
        {"two species", {box(99, 107, -1, -1, "A"), box(103, 103, -1, -1, "B")}, ""},
    };
    for (const auto& k : cases)
        EXPECT_EQ(speciesOfCalls({c}, k.selections).at(0), k.species) << k.what;
}

// Inputs that once crashed a reader of the program, given to these readers
// too: each is read or refused with a message, never a crash.
TEST(ClassifyReaders, InputsThatOnceCrashedAreReadOrRefusedWithAMessage)
{
    const auto inputs = vestest::sharedCrashInputs();
    if (inputs.empty())
        GTEST_SKIP() << "no crash inputs beside the project (../shared/crashes)";
    for (const std::string& input : inputs) {
        const vestest::Bytes b = vestest::readFile(input);
        const std::string text(b.begin(), b.end());
        ClassifierModel m;
        std::vector<SpeciesSelection> rows;
        std::string error;
        if (!readModelBytes(text, m, error)) {
            EXPECT_FALSE(error.empty()) << input;
        }
        error.clear();
        if (!readSpeciesTable(text, rows, error)) {
            EXPECT_FALSE(error.empty()) << input;
        }
    }
}
