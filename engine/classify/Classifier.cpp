#include "classify/Classifier.h"

#include "classify/CallFeatures.h"
#include "core/NumberText.h"

#include <xgboost/c_api.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <set>

namespace classify {

namespace {

void check(int rc, const char* what)
{
    if (rc != 0)
        throw ClassifyError(std::string(what) + ": " + XGBGetLastError());
}

void quietLibrary()
{
    static const bool once = [] {
        XGBSetGlobalConfig("{\"verbosity\": 0}");
        return true;
    }();
    (void)once;
}

struct Matrix {
    DMatrixHandle h = nullptr;
    ~Matrix()
    {
        if (h)
            XGDMatrixFree(h);
    }
};

struct Booster {
    BoosterHandle h = nullptr;
    ~Booster()
    {
        if (h)
            XGBoosterFree(h);
    }
};

// One fitted set of trees on rows `rows` of the feature table.
void fit(Booster& b, const std::vector<float>& x, const std::vector<float>& y, const std::vector<float>& w,
         const std::vector<std::size_t>& rows, int classes, const TrainOptions& o)
{
    std::vector<float> xs, ys, ws;
    xs.reserve(rows.size() * kFeatureCount);
    for (std::size_t r : rows) {
        xs.insert(xs.end(), x.begin() + r * kFeatureCount, x.begin() + (r + 1) * kFeatureCount);
        ys.push_back(y[r]);
        ws.push_back(w[r]);
    }
    Matrix m;
    check(XGDMatrixCreateFromMat(xs.data(), rows.size(), kFeatureCount, std::nanf(""), &m.h), "training data");
    check(XGDMatrixSetFloatInfo(m.h, "label", ys.data(), ys.size()), "training labels");
    check(XGDMatrixSetFloatInfo(m.h, "weight", ws.data(), ws.size()), "training weights");
    check(XGBoosterCreate(&m.h, 1, &b.h), "model");
    const std::vector<std::pair<std::string, std::string>> params = {
        {"objective", "multi:softprob"},
        {"num_class", std::to_string(classes)},
        {"tree_method", "hist"},
        {"nthread", "1"},
        {"seed", std::to_string(o.seed)},
        {"max_depth", std::to_string(o.maxDepth)},
        {"eta", vkit::formatC("%g", o.eta)},
        {"min_child_weight", "1"},
        {"subsample", "1"},
        {"colsample_bytree", "1"},
        {"max_bin", "256"},
        {"eval_metric", "mlogloss"},
    };
    for (const auto& [k, v] : params)
        check(XGBoosterSetParam(b.h, k.c_str(), v.c_str()), "model parameter");
    for (int i = 0; i < o.rounds; ++i)
        check(XGBoosterUpdateOneIter(b.h, i, m.h), "training");
}

void predictRows(BoosterHandle h, const float* x, std::size_t n, std::size_t classes, std::vector<float>& out)
{
    out.assign(n * classes, 0.f);
    if (n == 0)
        return;
    const std::string array = vkit::formatC(
        "{\"data\": [%llu, true], \"shape\": [%zu, %zu], \"typestr\": \"<f4\", \"version\": 3}",
        static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(x)), n, kFeatureCount);
    const char* config =
        "{\"type\": 0, \"training\": false, \"iteration_begin\": 0, \"iteration_end\": 0, \"strict_shape\": true, \"cache_id\": 0,"
        " \"missing\": NaN}";
    const bst_ulong* shape = nullptr;
    bst_ulong dim = 0;
    const float* result = nullptr;
    check(XGBoosterPredictFromDense(h, array.c_str(), config, nullptr, &shape, &dim, &result), "prediction");
    if (dim != 2 || shape[0] != n || shape[1] != classes)
        throw ClassifyError("the model gives another number of species than it names");
    std::copy(result, result + n * classes, out.begin());
}

// The lowest threshold on the best probability at which the labels given
// (items at or above it) are still right in at least `target` of cases;
// `scores` pairs each item's best probability with whether it was right.
// Above 1 when no threshold reaches the target.
double thresholdFor(std::vector<std::pair<float, bool>> scores, double target)
{
    std::sort(scores.begin(), scores.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    double best = 1.01;
    std::size_t right = 0;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        right += scores[i].second;
        // Ties take one decision: only after the last of equal scores.
        if (i + 1 < scores.size() && scores[i + 1].first == scores[i].first)
            continue;
        if (static_cast<double>(right) >= target * static_cast<double>(i + 1))
            best = scores[i].first;
    }
    return best;
}

template <typename T>
int argmax(const T* p, std::size_t n)
{
    return static_cast<int>(std::max_element(p, p + n) - p);
}

template <typename T>
int argmax(const std::vector<T>& v)
{
    return argmax(v.data(), v.size());
}

std::string boosterBytes(BoosterHandle h)
{
    bst_ulong len = 0;
    const char* data = nullptr;
    check(XGBoosterSaveModelToBuffer(h, "{\"format\": \"ubj\"}", &len, &data), "saving the model");
    return std::string(data, len);
}

}  // namespace

std::vector<std::pair<int, int>> splitPasses(const std::vector<CallMeasures>& calls, double gapMs)
{
    std::vector<std::pair<int, int>> out;
    double lastEnd = 0;
    for (int i = 0; i < static_cast<int>(calls.size()); ++i) {
        if (out.empty() || calls[i].startMs - lastEnd >= gapMs) {
            out.push_back({i, i});
            lastEnd = calls[i].endMs;
        } else {
            out.back().second = i;
            lastEnd = std::max(lastEnd, calls[i].endMs);
        }
    }
    return out;
}

ClassifierModel train(std::vector<LabelledCall> calls, const TrainOptions& o,
                      const std::function<void(const std::string&)>& progress)
{
    quietLibrary();
    const auto say = [&](const std::string& text) {
        if (progress)
            progress(text);
    };
    // Species names go into the model file's tab-separated lines: a label
    // with a tab or line break in it (typed into a project) is kept with
    // blanks instead, and one of blanks only labels nothing.
    for (LabelledCall& c : calls) {
        for (char& ch : c.species)
            if (ch == '\t' || ch == '\r' || ch == '\n')
                ch = ' ';
        const auto first = c.species.find_first_not_of(' ');
        c.species = first == std::string::npos ? std::string()
                                               : c.species.substr(first, c.species.find_last_not_of(' ') - first + 1);
    }
    calls.erase(std::remove_if(calls.begin(), calls.end(), [](const LabelledCall& c) { return c.species.empty(); }),
                calls.end());
    if (calls.empty())
        throw ClassifyError("no labelled calls to train on");
    // A stable order whatever order the inputs came in: recording, then time.
    std::stable_sort(calls.begin(), calls.end(), [](const LabelledCall& a, const LabelledCall& b) {
        return a.recording != b.recording ? a.recording < b.recording : a.call.startMs < b.call.startMs;
    });
    std::map<std::string, std::int64_t> perSpecies;
    std::map<std::string, std::set<std::string>> recordingsOf;
    for (const LabelledCall& c : calls) {
        ++perSpecies[c.species];
        recordingsOf[c.species].insert(c.recording);
    }
    if (perSpecies.size() < 2)
        throw ClassifyError("the labels name " + std::string(perSpecies.empty() ? "no species" : "only one species (" +
                                                                                     perSpecies.begin()->first + ")") +
                            "; a classifier needs at least two");
    std::string few;
    for (const auto& [s, n] : perSpecies)
        if (n < o.minCallsPerSpecies)
            few += (few.empty() ? "" : ", ") + s + " (" + std::to_string(n) + (n == 1 ? " call)" : " calls)");
    if (!few.empty())
        throw ClassifyError("too few labelled calls to train: " + few + "; each species needs at least " +
                            std::to_string(o.minCallsPerSpecies));
    std::vector<std::string> species;
    for (const auto& [s, n] : perSpecies)
        species.push_back(s);
    const int classes = static_cast<int>(species.size());
    std::map<std::string, int> index;
    for (int i = 0; i < classes; ++i)
        index[species[i]] = i;

    // Features, labels and weights that give every species the same total
    // weight: a rare species is not drowned by a common one.
    const std::size_t n = calls.size();
    std::vector<float> x(n * kFeatureCount), y(n), w(n);
    for (std::size_t i = 0; i < n; ++i) {
        callFeatures(calls[i].call, &x[i * kFeatureCount]);
        const int s = index[calls[i].species];
        y[i] = static_cast<float>(s);
        w[i] = static_cast<float>(static_cast<double>(n) /
                                  (classes * static_cast<double>(perSpecies[calls[i].species])));
    }

    // Folds of whole recordings, each species' recordings spread over them:
    // a recording goes with its most common species, largest first, to the
    // fold holding the fewest calls of that species.
    std::map<std::string, std::vector<std::size_t>> rowsOf;
    for (std::size_t i = 0; i < n; ++i)
        rowsOf[calls[i].recording].push_back(i);
    const int recordings = static_cast<int>(rowsOf.size());
    if (o.folds < 2 || o.folds > recordings)
        throw ClassifyError("cross-validation in " + std::to_string(o.folds) + " folds needs at least as many " +
                            "recordings with labelled calls; there " + (recordings == 1 ? "is " : "are ") +
                            std::to_string(recordings) + " (give --folds " + std::to_string(std::max(2, recordings)) +
                            " or fewer, or label calls in more recordings)");
    struct Rec {
        std::string name;
        int species;
        std::size_t calls;
        std::uint64_t order;
    };
    std::vector<Rec> recs;
    std::mt19937_64 rng(o.seed);
    for (const auto& [name, rows] : rowsOf) {
        std::vector<int> c(classes, 0);
        for (std::size_t r : rows)
            ++c[static_cast<int>(y[r])];
        recs.push_back({name, argmax(c), rows.size(), rng()});
    }
    std::sort(recs.begin(), recs.end(), [](const Rec& a, const Rec& b) {
        return a.species != b.species ? a.species < b.species : a.calls != b.calls ? a.calls > b.calls : a.order < b.order;
    });
    std::vector<std::vector<std::size_t>> load(o.folds, std::vector<std::size_t>(classes, 0));
    std::vector<int> foldOfRow(n, 0);
    for (const Rec& r : recs) {
        int best = 0;
        for (int f = 1; f < o.folds; ++f)
            if (load[f][r.species] < load[best][r.species])
                best = f;
        load[best][r.species] += r.calls;
        for (std::size_t row : rowsOf[r.name])
            foldOfRow[row] = best;
    }

    // Held-out probabilities of every call.
    std::vector<float> oof(n * classes, 0.f);
    for (int f = 0; f < o.folds; ++f) {
        say("cross-validation: fold " + std::to_string(f + 1) + " of " + std::to_string(o.folds));
        std::vector<std::size_t> trainRows, testRows;
        for (std::size_t i = 0; i < n; ++i)
            (foldOfRow[i] == f ? testRows : trainRows).push_back(i);
        if (testRows.empty() || trainRows.empty())
            continue;
        Booster b;
        fit(b, x, y, w, trainRows, classes, o);
        std::vector<float> xs;
        for (std::size_t r : testRows)
            xs.insert(xs.end(), x.begin() + r * kFeatureCount, x.begin() + (r + 1) * kFeatureCount);
        std::vector<float> p;
        predictRows(b.h, xs.data(), testRows.size(), classes, p);
        for (std::size_t k = 0; k < testRows.size(); ++k)
            std::copy(p.begin() + k * classes, p.begin() + (k + 1) * classes, oof.begin() + testRows[k] * classes);
    }

    // Passes of the labelled calls, each recording's in time order; a pass's
    // true species is the most common label among its calls.
    struct Pass {
        int truth;
        std::vector<float> mean;
    };
    std::vector<Pass> passes;
    std::vector<std::pair<float, bool>> callScores, passScores;
    for (std::size_t i = 0; i < n; ++i) {
        const int best = argmax(&oof[i * classes], static_cast<std::size_t>(classes));
        callScores.push_back({oof[i * classes + best], best == static_cast<int>(y[i])});
    }
    for (const auto& [name, rows] : rowsOf) {
        std::vector<CallMeasures> cs;
        for (std::size_t r : rows)
            cs.push_back(calls[r].call);
        for (const auto& [a, b] : splitPasses(cs, o.passGapMs)) {
            Pass p{0, std::vector<float>(classes, 0.f)};
            std::vector<int> votes(classes, 0);
            for (int k = a; k <= b; ++k) {
                const std::size_t r = rows[k];
                ++votes[static_cast<int>(y[r])];
                for (int c = 0; c < classes; ++c)
                    p.mean[c] += oof[r * classes + c] / static_cast<float>(b - a + 1);
            }
            p.truth = argmax(votes);
            const int best = argmax(p.mean);
            passScores.push_back({p.mean[best], best == p.truth});
            passes.push_back(std::move(p));
        }
    }

    ClassifierModel m;
    for (const FeatureDef& f : featureTable()) {
        m.featureNames.push_back(f.name);
        m.featureUnits.push_back(f.unit);
    }
    m.species = species;
    m.targetPrecision = o.targetPrecision;
    m.passGapMs = o.passGapMs;
    m.callThreshold = std::min(1.0, thresholdFor(callScores, o.targetPrecision));
    m.passThreshold = std::min(1.0, thresholdFor(passScores, o.targetPrecision));
    const bool callReached = thresholdFor(callScores, o.targetPrecision) <= 1.0;
    const bool passReached = thresholdFor(passScores, o.targetPrecision) <= 1.0;

    TrainingSummary& s = m.summary;
    s.folds = o.folds;
    s.seed = o.seed;
    s.calls = static_cast<std::int64_t>(n);
    s.recordings = recordings;
    s.passes = static_cast<std::int64_t>(passes.size());
    std::vector<std::int64_t> given(classes, 0), right(classes, 0), total(classes, 0), abstained(classes, 0);
    std::int64_t labelled = 0, correct = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int truth = static_cast<int>(y[i]);
        const int best = argmax(&oof[i * classes], static_cast<std::size_t>(classes));
        ++total[truth];
        if (!callReached || oof[i * classes + best] < m.callThreshold) {
            ++abstained[truth];
            continue;
        }
        ++given[best];
        ++labelled;
        if (best == truth) {
            ++right[best];
            ++correct;
        }
    }
    const auto share = [](std::int64_t a, std::int64_t b) { return b > 0 ? static_cast<double>(a) / b : 0.0; };
    for (int c = 0; c < classes; ++c)
        s.species.push_back({species[c], total[c], static_cast<std::int64_t>(recordingsOf[species[c]].size()),
                             share(right[c], given[c]), share(right[c], total[c]), share(abstained[c], total[c])});
    s.callAccuracy = share(correct, labelled);
    s.callNoId = share(static_cast<std::int64_t>(n) - labelled, static_cast<std::int64_t>(n));
    std::int64_t passLabelled = 0, passCorrect = 0;
    for (const Pass& p : passes) {
        const int best = argmax(p.mean);
        if (!passReached || p.mean[best] < m.passThreshold)
            continue;
        ++passLabelled;
        passCorrect += best == p.truth;
    }
    s.passAccuracy = share(passCorrect, passLabelled);
    s.passNoId = share(static_cast<std::int64_t>(passes.size()) - passLabelled,
                       static_cast<std::int64_t>(passes.size()));
    if (!callReached)
        m.callThreshold = 1.0;
    if (!passReached)
        m.passThreshold = 1.0;

    say("training on all " + std::to_string(n) + " calls");
    std::vector<std::size_t> all(n);
    std::iota(all.begin(), all.end(), std::size_t{0});
    Booster b;
    fit(b, x, y, w, all, classes, o);
    m.booster = boosterBytes(b.h);
    return m;
}

Classifier::Classifier(ClassifierModel model) : m_model(std::move(model))
{
    quietLibrary();
    BoosterHandle h = nullptr;
    check(XGBoosterCreate(nullptr, 0, &h), "model");
    m_booster = h;
    check(XGBoosterLoadModelFromBuffer(h, m_model.booster.data(), m_model.booster.size()),
          "the model's trees do not load");
    check(XGBoosterSetParam(h, "nthread", "1"), "model parameter");
    // A model file whose trees give another number of classes than it
    // names species would label calls with the wrong names.
    const float probe[kFeatureCount] = {};
    std::vector<float> p;
    predict(probe, 1, p);
}

Classifier::~Classifier()
{
    if (m_booster)
        XGBoosterFree(static_cast<BoosterHandle>(m_booster));
}

const std::string& Classifier::label(int species) const
{
    return species < 0 || species >= static_cast<int>(m_model.species.size()) ? m_noId : m_model.species[species];
}

void Classifier::predict(const float* features, std::size_t n, std::vector<float>& out) const
{
    const std::lock_guard<std::mutex> lock(m_predicting);
    predictRows(static_cast<BoosterHandle>(m_booster), features, n, m_model.species.size(), out);
}

void Classifier::classify(const std::vector<CallMeasures>& calls, std::vector<CallLabel>& callLabels,
                          std::vector<PassLabel>& passLabels) const
{
    const std::size_t classes = speciesCount();
    std::vector<float> x(calls.size() * kFeatureCount);
    for (std::size_t i = 0; i < calls.size(); ++i)
        callFeatures(calls[i], &x[i * kFeatureCount]);
    std::vector<float> p;
    predict(x.data(), calls.size(), p);
    callLabels.assign(calls.size(), {});
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const int best = argmax(&p[i * classes], classes);
        callLabels[i].probability = p[i * classes + best];
        callLabels[i].species = callLabels[i].probability >= m_model.callThreshold ? best : -1;
    }
    passLabels.clear();
    for (const auto& [a, b] : splitPasses(calls, m_model.passGapMs)) {
        std::vector<float> mean(classes, 0.f);
        for (int k = a; k <= b; ++k) {
            callLabels[k].pass = static_cast<int>(passLabels.size());
            for (std::size_t c = 0; c < classes; ++c)
                mean[c] += p[k * classes + c] / static_cast<float>(b - a + 1);
        }
        PassLabel pl;
        pl.firstCall = a;
        pl.lastCall = b;
        const int best = argmax(mean);
        pl.probability = mean[best];
        pl.species = pl.probability >= m_model.passThreshold ? best : -1;
        passLabels.push_back(pl);
    }
}

}  // namespace classify
