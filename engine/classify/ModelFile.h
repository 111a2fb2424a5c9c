// A trained species classifier as a file (.vcls): our own container around
// the tree library's model, so that a program reads only models it
// understands.
//
//   8 bytes   magic "VESCLS\r\n" (a line-end change in transit shows)
//   u32       format version (little-endian)
//   u32       length of the header text
//   header    UTF-8 lines "key<TAB>value[<TAB>value...]": the feature
//             table (name, unit; it must equal this program's), the species
//             in the order of the model's classes, the thresholds, and the
//             training summary
//   u64       length of the model bytes
//   model     the booster in the tree library's UBJSON form
//   u32       CRC-32 of everything before it
//
// A model is only as good as the calls it was trained on: the summary says
// how many calls of which species, and how well they were told apart in
// cross-validation — nothing more.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace classify {

struct SpeciesScore {
    std::string species;
    std::int64_t calls = 0;       // labelled calls of the species in training
    std::int64_t recordings = 0;  // recordings they came from
    double precision = 0;         // of the labels given (calls), cross-validated
    double recall = 0;            // of its calls, the share labelled with it
    double abstention = 0;        // of its calls, the share left "No ID"
};

struct TrainingSummary {
    int folds = 0;
    std::uint64_t seed = 0;
    std::int64_t calls = 0, recordings = 0, passes = 0;
    std::vector<SpeciesScore> species;
    double callAccuracy = 0, callNoId = 0;   // accuracy on the calls labelled; share of "No ID"
    double passAccuracy = 0, passNoId = 0;   // the same per pass
};

struct ClassifierModel {
    static constexpr std::uint32_t kFormatVersion = 1;

    std::vector<std::string> featureNames, featureUnits;
    std::vector<std::string> species;
    double targetPrecision = 0.95;
    double callThreshold = 0.5;   // a call is labelled when its best probability reaches this
    double passThreshold = 0.5;   // a pass when the best mean probability of its calls does
    double passGapMs = 1000;      // calls of a recording with shorter gaps (end to start) form a pass
    TrainingSummary summary;
    std::string booster;          // the tree library's model bytes
};

// The bytes of the file.
std::string writeModelBytes(const ClassifierModel& model);
// Reads the bytes of a file. False with a message on any fault: not a model
// file, a newer or older format, damaged (checksum, lengths), a feature
// table that differs from this program's, a header that does not read.
bool readModelBytes(std::string_view bytes, ClassifierModel& out, std::string& error);

// Writes the file atomically (nothing is left behind on failure).
bool saveModel(const std::string& path, const ClassifierModel& model, std::string& error);
bool loadModel(const std::string& path, ClassifierModel& out, std::string& error);

}  // namespace classify
