// Species identification a user trains: gradient-boosted trees (the XGBoost
// library, private to this folder) over the call features of CallFeatures.h.
//
// Training cross-validates first: the recordings are split into K folds
// (every call of a recording in the same fold, so that a recording's own
// noise and bat do not help to recognise it), each fold is labelled by a
// model trained on the others, and from those held-out probabilities come
// the thresholds: the lowest best-class probability at which the labelled
// calls (and, separately, passes) still reach the target precision. Below
// its threshold a call or pass is "No ID": the classifier abstains rather
// than guess. The model that is saved is then trained on all calls.
//
// Training is deterministic: the same calls, options and seed give the same
// model bytes (one thread, the histogram method, no sampling).
//
// A model knows only the species and the calls it was trained on; it says
// nothing of a species it never saw, and its scores are only as good as the
// labels it learned from.
#pragma once

#include "classify/ModelFile.h"
#include "pulse/CallMeasures.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace classify {

// What a call or pass without a confident label is given.
inline constexpr const char* kNoId = "No ID";

class ClassifyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A call with the species a person gave it, and the recording it is from
// (the unit of the cross-validation folds).
struct LabelledCall {
    std::string recording;
    std::string species;
    CallMeasures call;
};

struct TrainOptions {
    int folds = 5;
    double targetPrecision = 0.95;
    std::uint64_t seed = 1;
    int minCallsPerSpecies = 10;
    double passGapMs = 1000;
    int rounds = 60;
    int maxDepth = 4;
    double eta = 0.2;
};

// Trains and cross-validates. Throws ClassifyError with a message naming
// what is wrong: fewer than two species, species with too few calls (each
// named with its count), fewer recordings than folds. `progress` (when
// given) hears "fold 2 of 5" and the like.
ClassifierModel train(std::vector<LabelledCall> calls, const TrainOptions& options,
                      const std::function<void(const std::string&)>& progress = {});

struct CallLabel {
    int species = -1;         // index into the model's species; −1: No ID
    float probability = 0;    // of the best species
    int pass = 0;             // index of its pass in the recording
};

struct PassLabel {
    int firstCall = 0, lastCall = 0;  // indices into the calls, inclusive
    int species = -1;                 // −1: No ID
    float probability = 0;            // mean probability of the best species over the calls
};

// The calls of a recording split into passes: a gap (end to start) of at
// least `gapMs` starts a new pass. Calls in time order.
std::vector<std::pair<int, int>> splitPasses(const std::vector<CallMeasures>& calls, double gapMs);

class Classifier {
public:
    // Throws ClassifyError when the model's trees do not load.
    explicit Classifier(ClassifierModel model);
    ~Classifier();
    Classifier(const Classifier&) = delete;
    Classifier& operator=(const Classifier&) = delete;

    const ClassifierModel& model() const { return m_model; }
    std::size_t speciesCount() const { return m_model.species.size(); }
    // The label text of a species index (−1: No ID).
    const std::string& label(int species) const;

    // Probabilities of each species for n rows of features (row-major,
    // kFeatureCount each): n × species values into `out`. One thread; calls
    // from several threads take turns (the trees' library keeps per-booster
    // state while it predicts).
    void predict(const float* features, std::size_t n, std::vector<float>& out) const;

    // Labels the calls of one recording (in time order) and their passes.
    void classify(const std::vector<CallMeasures>& calls, std::vector<CallLabel>& callLabels,
                  std::vector<PassLabel>& passLabels) const;

private:
    ClassifierModel m_model;
    void* m_booster = nullptr;
    std::string m_noId = kNoId;
    mutable std::mutex m_predicting;
};

}  // namespace classify
