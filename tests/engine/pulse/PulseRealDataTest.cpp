// The pulse characteristics analysis on real time-expanded recordings whose
// calls were boxed by people ([start_s, end_s, low_kHz, high_kHz], real
// time). Prints how many boxes are found, how far the measurements lie from
// them, and the marks the run places. Skips when the recordings are absent.
#include "pulse/PulseAnalysis.h"

#include "PulseFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

using vestest::RecordingHost;

namespace {

struct Box {
    double startS, endS, lowKHz, highKHz;
};

// The "bboxes" array of an annotation file.
std::vector<Box> readBoxes(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    std::vector<Box> boxes;
    auto pos = text.find("\"bboxes\"");
    if (pos == std::string::npos)
        return boxes;
    pos = text.find('[', pos);
    const auto end = text.find("]]", pos);
    if (pos == std::string::npos || end == std::string::npos)
        return boxes;
    std::string list = text.substr(pos + 1, end - pos);
    for (char& c : list)
        if (c == '[' || c == ']' || c == ',')
            c = ' ';
    std::istringstream values(list);
    Box b{};
    while (values >> b.startS >> b.endS >> b.lowKHz >> b.highKHz)
        boxes.push_back(b);
    return boxes;
}

// A fourth-order Butterworth high-pass (two biquads), as a user would apply
// with the Filter command before the analysis to take out the insect noise
// below the calls.
std::vector<std::int16_t> highPass(const std::vector<std::int16_t>& in, double cutHz, double rateHz)
{
    std::vector<double> x(in.begin(), in.end());
    for (double q : {0.5412, 1.3066}) {
        const double w = 2 * std::numbers::pi * cutHz / rateHz, alpha = std::sin(w) / (2 * q), c = std::cos(w);
        const double a0 = 1 + alpha;
        const double b0 = (1 + c) / 2 / a0, b1 = -(1 + c) / a0, b2 = (1 + c) / 2 / a0;
        const double a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : x) {
            const double y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = y;
            v = y;
        }
    }
    std::vector<std::int16_t> out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        out[i] = static_cast<std::int16_t>(std::lround(std::clamp(x[i], -32768.0, 32767.0)));
    return out;
}

std::vector<std::int16_t> samplesOf(CVesSoundDoc& doc)
{
    std::vector<double> d(static_cast<std::size_t>(doc.lengthFrames()));
    doc.readFramesAsDouble(0, doc.lengthFrames(), ChannelIndex::Left, d.data());
    return {d.begin(), d.end()};
}

VesPulsParms realDataSettings()
{
    VesPulsParms p;
    p.m_ampThres = -1500;            // -15 dB
    p.m_ampSeparationMySec = 1000;   // 1 ms
    p.m_durTimeMySec = 1000;         // 1 ms
    p.m_fftSize = 256;
    p.m_fftOverlap = 192;
    p.m_fftWindow = 2;
    p.m_freqThreshold = -5000;       // -50 dB
    p.m_freqSeparation = 2000;
    p.m_minFrequency = 25000;
    p.m_startTimeMark = p.m_stopTimeMark = true;
    p.m_freqStrongMark = p.m_freqMaxMark = p.m_freqMinMark = true;
    return p;
}

struct Tally {
    int boxes = 0, found = 0, pulses = 0, pulsesInBoxes = 0;
    double startDev = 0, endDev = 0, lowDev = 0, highDev = 0;  // sums of absolute deviations
};

void runOn(const std::string& wav, const std::vector<Box>& boxes, bool filtered, Tally& tally)
{
    RecordingHost host;
    CVesSoundDoc file(host);
    ASSERT_TRUE(file.open(wav)) << host.lastMessage();
    CVesSoundDoc doc(host);
    std::vector<std::int16_t> s = samplesOf(file);
    if (filtered)
        s = highPass(s, 30000.0 / 10, file.format().samplesPerSec);
    pulsetest::fill16(doc, file.format().samplesPerSec, s, nullptr, 10000);  // time expansion ×10

    PulseRequest req;
    req.parms = realDataSettings();
    if (filtered)
        req.parms.m_ampThres = -1600;  // the filter takes a little of the calls' level
    PulseCollector rows;
    ASSERT_TRUE(analysePulses(doc, req, rows));
    std::printf("\n%s (%s): %zu pulses, %zu boxes\n", std::filesystem::path(wav).filename().c_str(),
                filtered ? "high-pass 30 kHz" : "as recorded", rows.rows.size(), boxes.size());
    std::printf("  pulse  start ms  end ms  low kHz  high kHz  peak kHz  peak dB   box\n");
    tally.boxes += static_cast<int>(boxes.size());
    tally.pulses += static_cast<int>(rows.rows.size());
    std::vector<bool> boxFound(boxes.size(), false);
    for (PulseResult& r : rows.rows) {
        int inBox = -1;
        for (std::size_t b = 0; b < boxes.size(); ++b)
            if (r.startUs / 1e6 < boxes[b].endS && r.endUs / 1e6 > boxes[b].startS)
                inBox = static_cast<int>(b);
        std::printf("  %5d  %8.2f  %6.2f  %7.1f  %8.1f  %8.1f  %7.1f   %s\n", r.pulse, r.startUs / 1000, r.endUs / 1000,
                    r.lowestHz / 1000, r.highestHz / 1000, r.strongestHz / 1000, r.strongestDb,
                    inBox < 0 ? "-" : std::to_string(inBox + 1).c_str());
        if (inBox >= 0) {
            ++tally.pulsesInBoxes;
            if (!boxFound[static_cast<std::size_t>(inBox)]) {
                // The first pulse within a box measures it.
                const Box& b = boxes[static_cast<std::size_t>(inBox)];
                boxFound[static_cast<std::size_t>(inBox)] = true;
                ++tally.found;
                const double ds = r.startUs / 1000 - b.startS * 1000, de = r.endUs / 1000 - b.endS * 1000;
                const double dl = r.lowestHz / 1000 - b.lowKHz, dh = r.highestHz / 1000 - b.highKHz;
                tally.startDev += std::fabs(ds);
                tally.endDev += std::fabs(de);
                tally.lowDev += std::fabs(dl);
                tally.highDev += std::fabs(dh);
                std::printf("         box %d: start %+.2f ms, end %+.2f ms, low %+.1f kHz, high %+.1f kHz\n", inBox + 1,
                            ds, de, dl, dh);
            }
        }
        placePulseMarks(doc, r);
    }
    std::printf("  marks:");
    for (const AnaMarkSave& m : doc.marks()) {
        std::printf(" [%s %.2f ms", m.m_label.c_str(), static_cast<double>(doc.framesToRealMicros(m.m_posX)) / 1000);
        if (!m.m_anyY)
            std::printf(" %.1f kHz", static_cast<double>(m.m_posY) / 1000);
        std::printf("]");
    }
    std::printf("\n");
    for (const AnaMarkSave& m : doc.marks()) {
        EXPECT_GE(m.m_posX, 0);
        EXPECT_LE(m.m_posX, doc.lengthFrames() + 256);
        EXPECT_EQ(m.m_chan, 1);
    }
}

}  // namespace

TEST(PulseRealData, TimeExpandedRecordingsWithBoxesDrawnByPeople)
{
    const std::string dir = vestest::sharedDataDir();
    if (dir.empty() || !std::filesystem::is_directory(dir + "/timeexp10"))
        GTEST_SKIP() << "the shared recordings are not here";
    for (bool filtered : {false, true}) {
        Tally t;
        for (const auto& entry : std::filesystem::directory_iterator(dir + "/timeexp10")) {
            if (entry.path().extension() != ".wav")
                continue;
            std::filesystem::path json = entry.path();
            json.replace_extension(".json");
            const auto boxes = readBoxes(json.string());
            ASSERT_FALSE(boxes.empty()) << json;
            runOn(entry.path().string(), boxes, filtered, t);
        }
        const double n = std::max(1, t.found);
        std::printf("\n%s: %d of %d boxes found; %d pulses, %d of them in boxes; mean |deviation|: start %.2f ms, "
                    "end %.2f ms, low %.1f kHz, high %.1f kHz\n",
                    filtered ? "High-pass 30 kHz" : "As recorded", t.found, t.boxes, t.pulses, t.pulsesInBoxes,
                    t.startDev / n, t.endDev / n, t.lowDev / n, t.highDev / n);
        RecordProperty(filtered ? "boxes_found_filtered" : "boxes_found", t.found);
        EXPECT_GE(t.found, 3) << "most of the calls are found";
    }
}
