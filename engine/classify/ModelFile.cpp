#include "classify/ModelFile.h"

#include "classify/CallFeatures.h"
#include "core/AtomicFile.h"
#include "core/NumberText.h"

#include <array>
#include <cmath>
#include <cstring>

namespace classify {

namespace {

constexpr char kMagic[8] = {'V', 'E', 'S', 'C', 'L', 'S', '\r', '\n'};
constexpr std::size_t kMaxFileBytes = 512u << 20;
constexpr std::size_t kMaxSpecies = 1000;

std::uint32_t crc32(std::string_view data)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : data)
        c = table[(c ^ b) & 255] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void putLE(std::string& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((v >> (8 * i)) & 255);
}

std::uint64_t getLE(std::string_view in, std::size_t at, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return v;
}

// Numbers are written so that they read back to the same double.
std::string num(double v)
{
    return vkit::formatC("%.17g", v);
}

std::vector<std::string_view> splitTabs(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', from);
        out.push_back(line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from));
        if (tab == std::string_view::npos)
            return out;
        from = tab + 1;
    }
}

bool fraction(std::string_view text, double& v)
{
    return vkit::parseDouble(text, v) && v >= 0 && v <= 1;
}

bool count(std::string_view text, std::int64_t& v)
{
    return vkit::parseInt64(text, v) && v >= 0;
}

std::string headerText(const ClassifierModel& m)
{
    std::string h;
    for (std::size_t i = 0; i < m.featureNames.size(); ++i)
        h += "feature\t" + m.featureNames[i] + "\t" + m.featureUnits[i] + "\n";
    for (const std::string& s : m.species)
        h += "species\t" + s + "\n";
    h += "target_precision\t" + num(m.targetPrecision) + "\n";
    h += "call_threshold\t" + num(m.callThreshold) + "\n";
    h += "pass_threshold\t" + num(m.passThreshold) + "\n";
    h += "pass_gap_ms\t" + num(m.passGapMs) + "\n";
    const TrainingSummary& s = m.summary;
    h += "folds\t" + std::to_string(s.folds) + "\n";
    h += "seed\t" + std::to_string(s.seed) + "\n";
    h += "calls\t" + std::to_string(s.calls) + "\n";
    h += "recordings\t" + std::to_string(s.recordings) + "\n";
    h += "passes\t" + std::to_string(s.passes) + "\n";
    h += "call_accuracy\t" + num(s.callAccuracy) + "\n";
    h += "call_no_id\t" + num(s.callNoId) + "\n";
    h += "pass_accuracy\t" + num(s.passAccuracy) + "\n";
    h += "pass_no_id\t" + num(s.passNoId) + "\n";
    for (const SpeciesScore& r : s.species)
        h += "score\t" + r.species + "\t" + std::to_string(r.calls) + "\t" + std::to_string(r.recordings) + "\t" +
             num(r.precision) + "\t" + num(r.recall) + "\t" + num(r.abstention) + "\n";
    return h;
}

bool parseHeader(std::string_view text, ClassifierModel& m, std::string& error)
{
    int lineNo = 0;
    bool haveCall = false, havePass = false;
    while (!text.empty()) {
        ++lineNo;
        const std::size_t nl = text.find('\n');
        if (nl == std::string_view::npos) {
            error = "the header's last line has no end";
            return false;
        }
        const std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl + 1);
        const auto f = splitTabs(line);
        const std::string_view key = f[0];
        const auto bad = [&] {
            error = "header line " + std::to_string(lineNo) + " (" + std::string(key.substr(0, 40)) +
                    ") does not read";
            return false;
        };
        std::int64_t n = 0;
        double v = 0;
        if (key == "feature") {
            if (f.size() != 3 || f[1].empty())
                return bad();
            m.featureNames.emplace_back(f[1]);
            m.featureUnits.emplace_back(f[2]);
        } else if (key == "species") {
            if (f.size() != 2 || f[1].empty() || m.species.size() >= kMaxSpecies)
                return bad();
            m.species.emplace_back(f[1]);
        } else if (key == "target_precision") {
            if (f.size() != 2 || !fraction(f[1], m.targetPrecision))
                return bad();
        } else if (key == "call_threshold") {
            if (f.size() != 2 || !fraction(f[1], m.callThreshold))
                return bad();
            haveCall = true;
        } else if (key == "pass_threshold") {
            if (f.size() != 2 || !fraction(f[1], m.passThreshold))
                return bad();
            havePass = true;
        } else if (key == "pass_gap_ms") {
            if (f.size() != 2 || !vkit::parseDouble(f[1], v) || !(v > 0) || v > 1e7)
                return bad();
            m.passGapMs = v;
        } else if (key == "folds" || key == "seed" || key == "calls" || key == "recordings" || key == "passes") {
            if (f.size() != 2 || !count(f[1], n))
                return bad();
            TrainingSummary& s = m.summary;
            if (key == "folds")
                s.folds = static_cast<int>(std::min<std::int64_t>(n, 1000));
            else if (key == "seed")
                s.seed = static_cast<std::uint64_t>(n);
            else if (key == "calls")
                s.calls = n;
            else if (key == "recordings")
                s.recordings = n;
            else
                s.passes = n;
        } else if (key == "call_accuracy" || key == "call_no_id" || key == "pass_accuracy" || key == "pass_no_id") {
            if (f.size() != 2 || !fraction(f[1], v))
                return bad();
            TrainingSummary& s = m.summary;
            (key == "call_accuracy" ? s.callAccuracy
             : key == "call_no_id"  ? s.callNoId
             : key == "pass_accuracy" ? s.passAccuracy
                                      : s.passNoId) = v;
        } else if (key == "score") {
            SpeciesScore r;
            if (f.size() != 7 || f[1].empty() || !count(f[2], r.calls) || !count(f[3], r.recordings) ||
                !fraction(f[4], r.precision) || !fraction(f[5], r.recall) || !fraction(f[6], r.abstention) ||
                m.summary.species.size() >= kMaxSpecies)
                return bad();
            r.species = std::string(f[1]);
            m.summary.species.push_back(std::move(r));
        }
        // Other keys are notes a later version of the same format may add.
    }
    if (!haveCall || !havePass) {
        error = "the header has no thresholds";
        return false;
    }
    if (m.species.size() < 2) {
        error = "the model names fewer than two species";
        return false;
    }
    return true;
}

}  // namespace

std::string writeModelBytes(const ClassifierModel& model)
{
    const std::string header = headerText(model);
    std::string out(kMagic, sizeof kMagic);
    putLE(out, ClassifierModel::kFormatVersion, 4);
    putLE(out, header.size(), 4);
    out += header;
    putLE(out, model.booster.size(), 8);
    out += model.booster;
    putLE(out, crc32(out), 4);
    return out;
}

bool readModelBytes(std::string_view bytes, ClassifierModel& out, std::string& error)
{
    out = ClassifierModel{};
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        error = "not a Vesperon classifier model (.vcls)";
        return false;
    }
    if (bytes.size() < sizeof kMagic + 8 + 8 + 4) {
        error = "the model file is damaged (cut short)";
        return false;
    }
    const auto version = static_cast<std::uint32_t>(getLE(bytes, 8, 4));
    if (version != ClassifierModel::kFormatVersion) {
        error = "the model file has format version " + std::to_string(version) + "; this program reads version " +
                std::to_string(ClassifierModel::kFormatVersion) +
                (version > ClassifierModel::kFormatVersion ? " (the model was made by a newer Vesperon)"
                                                           : " (train the model again)");
        return false;
    }
    const std::uint32_t stored = static_cast<std::uint32_t>(getLE(bytes, bytes.size() - 4, 4));
    if (crc32(bytes.substr(0, bytes.size() - 4)) != stored) {
        error = "the model file is damaged (its checksum does not match)";
        return false;
    }
    const std::uint64_t headerLen = getLE(bytes, 12, 4);
    const std::size_t afterHeader = 16 + headerLen;
    if (afterHeader + 8 + 4 > bytes.size()) {
        error = "the model file is damaged (its header is longer than the file)";
        return false;
    }
    const std::uint64_t boosterLen = getLE(bytes, afterHeader, 8);
    if (boosterLen != bytes.size() - afterHeader - 8 - 4) {
        error = "the model file is damaged (its length does not match)";
        return false;
    }
    ClassifierModel m;
    if (!parseHeader(bytes.substr(16, headerLen), m, error)) {
        error = "the model file is damaged: " + error;
        return false;
    }
    // The trees split on feature numbers: the same numbers must mean the same.
    const auto& table = featureTable();
    bool same = m.featureNames.size() == table.size();
    for (std::size_t i = 0; same && i < table.size(); ++i)
        same = m.featureNames[i] == table[i].name && m.featureUnits[i] == table[i].unit;
    if (!same) {
        error = "the model was trained on other call features than this program measures (train it again)";
        return false;
    }
    if (boosterLen == 0) {
        error = "the model file holds no trees";
        return false;
    }
    m.booster.assign(bytes.substr(afterHeader + 8, boosterLen));
    out = std::move(m);
    return true;
}

bool saveModel(const std::string& path, const ClassifierModel& model, std::string& error)
{
    std::string why;
    if (!vkit::writeFileAtomically(path, writeModelBytes(model), &why)) {
        error = "cannot write " + path + ": " + why;
        return false;
    }
    return true;
}

bool loadModel(const std::string& path, ClassifierModel& out, std::string& error)
{
    std::string bytes;
    if (!vkit::readWholeFile(path, bytes, kMaxFileBytes)) {
        error = "cannot read " + path + " (missing, unreadable or larger than 512 MiB)";
        return false;
    }
    if (!readModelBytes(bytes, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace classify
