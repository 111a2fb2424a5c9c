// vesperon-cli record and trigger-split as a user runs them.
#include "CliRunner.h"

#include "core/ByteOrder.h"
#include "records/GuanoRecord.h"
#include "soundfiles/RiffFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sys/stat.h>
#include <fstream>
#include <sstream>

using vestest::quoted;
using vestest::runCli;

namespace {

struct Line {
    std::string path;
    long long frames;
    double seconds, start;
};

std::vector<Line> lines(const std::string& out)
{
    std::vector<Line> r;
    std::istringstream in(out);
    std::string l;
    while (std::getline(in, l)) {
        Line x{};
        std::istringstream f(l);
        std::getline(f, x.path, '\t');
        f >> x.frames >> x.seconds >> x.start;
        r.push_back(x);
    }
    return r;
}

vestest::Bytes waveData(const std::string& path, std::vector<std::pair<std::string, vestest::Bytes>>* chunks = nullptr)
{
    WaveFile w;
    if (w.open(path) <= 0)
        return {};
    vestest::Bytes b(static_cast<std::size_t>(w.dataLength()));
    w.readData(b.data(), w.dataLength(), 0);
    if (chunks)
        for (const RiffCls* c : w.foreignChunks()) {
            vestest::Bytes raw(static_cast<std::size_t>(c->payloadLength()));
            c->read(raw.data(), c->payloadLength(), 0);
            chunks->push_back({c->name(), raw});
        }
    return b;
}

// 16-bit mono at 250 kHz, silent but for 40 kHz calls of 2 ms at `calls` (frames).
vestest::Bytes callSamples(std::int64_t frames, const std::vector<std::int64_t>& calls)
{
    vestest::Bytes b(static_cast<std::size_t>(frames * 2), 0);
    for (std::int64_t c : calls)
        for (std::int64_t f = c; f < c + 500; ++f)
            writeLe16(&b[static_cast<std::size_t>(2 * f)],
                      static_cast<std::uint16_t>(std::lround(12000 * std::sin(6.283185307 * 40000 * f / 250000.0))));
    return b;
}

}  // namespace

TEST(TriggerSplitCli, SyntheticNightGivesOneFilePerCallWithTheSourcesGuano)
{
    vestest::TempDir dir;
    const std::vector<std::int64_t> calls = {100000, 400000, 900001};
    const vestest::Bytes samples = callSamples(1000000, calls);
    const std::string guano = "GUANO|Version: 1.0\nMake: Test Maker\nTimestamp: 2024-06-02T22:53:40+02:00\n";
    vestest::ByteWriter sub;
    sub.chunk("fmt ", vestest::pcmFormat(1, 250000, 16))
        .chunk("data", samples)
        .chunk("guan", vestest::Bytes(guano.begin(), guano.end()), true);
    vestest::writeFile(dir.file("night.wav"), vestest::riffWave(sub.data()));
    ASSERT_EQ(::mkdir(dir.file("out").c_str(), 0755), 0);
    const auto r = runCli("trigger-split --output " + quoted(dir.file("out")) +
                              " --trigger spectrum --spectrum-threshold -30 --min-freq 30000 --max-freq 50000"
                              " --pre 1 --post 2 --naming timed " + quoted(dir.file("night.wav")),
                          dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto files = lines(r.out);
    ASSERT_EQ(files.size(), calls.size()) << r.out;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const Line& l = files[i];
        // Each stretch lies around its call and holds the source's samples there.
        const auto first = static_cast<std::int64_t>(std::llround(l.start * 250000));
        EXPECT_LE(first, calls[i]);
        EXPECT_GE(first + l.frames, calls[i] + 500);
        std::vector<std::pair<std::string, vestest::Bytes>> chunks;
        const vestest::Bytes got = waveData(l.path, &chunks);
        ASSERT_EQ(static_cast<long long>(got.size()), 2 * l.frames);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), samples.begin() + 2 * first)) << l.path;
        bool sawGuano = false;
        for (const auto& [id, bytes] : chunks)
            if (id == "guan") {
                GuanoRecord g;
                std::string err;
                ASSERT_TRUE(GuanoRecord::parse(bytes, g, err));
                EXPECT_EQ(*g.find("Make"), "Test Maker");
                EXPECT_NEAR(*g.number("Length"), l.frames / 250000.0, 1e-4);
                sawGuano = true;
            }
        EXPECT_TRUE(sawGuano) << l.path;
    }
    // Timed names come from the time the sound was recorded.
    EXPECT_NE(files[0].path.find("night_20240602_2253"), std::string::npos) << files[0].path;
}

TEST(TriggerSplitCli, FindsTheAnnotatedCallsOfARealTimeExpandedRecording)
{
    const std::string data = vestest::sharedDataDir();
    const std::string wav = data + "/timeexp10/2018-02-01_17-26-07_42.08_24.33_10_0.wav";
    if (data.empty() || !vestest::fileExists(wav))
        GTEST_SKIP() << "shared recordings not present";
    // Calls drawn by a person, real seconds: [start, end].
    const std::pair<double, double> calls[] = {{0.105, 0.117}, {0.228, 0.237}, {0.345, 0.357}};
    vestest::TempDir dir;
    const auto r = runCli("trigger-split --output " + quoted(dir.path()) +
                              " --trigger spectrum --spectrum-threshold -40 --min-freq 30000 --max-freq 70000"
                              " --time-expansion 10 --pre 2 --post 5 " + quoted(wav),
                          dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto files = lines(r.out);
    ASSERT_GE(files.size(), 3u);
    for (const auto& [a, b] : calls) {
        bool found = false;
        for (const Line& l : files)
            found = found || (l.start <= (a + b) / 2 && l.start + l.seconds >= (a + b) / 2);
        EXPECT_TRUE(found) << "call at " << a << " s";
    }
    for (const Line& l : files)
        EXPECT_EQ(l.path.substr(l.path.size() - 4), ".wav");
}

TEST(RecordCli, ListsDevicesAndRefusesBadOptions)
{
    vestest::TempDir dir;
    struct Case {
        std::string args;
        int status;
        std::string err;
    } cases[] = {
        {"record --output " + quoted(dir.path()), 2, "--rate and --output are required"},
        {"record --rate 500000 --bits 12 --output " + quoted(dir.path()), 2, "--bits must be"},
        {"record --rate 500000 --trigger sometimes --output x", 2, "--trigger must be"},
        {"record --rate 500000 --threshold 3 --output x", 2, "--threshold must be"},
        {"record --rate 500000 --output " + quoted(dir.file("missing")), 1, "no such folder"},
        {"trigger-split --output " + quoted(dir.path()) + " " + quoted(dir.file("none.wav")), 1, ""},
    };
    for (const Case& c : cases) {
        const auto r = runCli(c.args, dir);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << "\n" << r.err;
    }
}

// The capture device of these runs: ALSA's file plugin playing `in` as the
// microphone, faster than real time.
class AlsaInput {
public:
    AlsaInput(const vestest::TempDir& dir, const vestest::Bytes& in)
    {
        vestest::writeFile(dir.file("in.raw"), in);
        std::ofstream conf(dir.file("alsa.conf"));
        conf << "pcm.filecap { type file slave.pcm { type null } file \"" << dir.file("tee.raw") << "\" infile \""
             << dir.file("in.raw") << "\" format \"raw\" }\n"
             << "pcm.default { type asym playback.pcm \"filecap\" capture.pcm \"filecap\" }\n";
        conf.close();
        setenv("ALSA_CONFIG_PATH", dir.file("alsa.conf").c_str(), 1);
    }
    ~AlsaInput() { unsetenv("ALSA_CONFIG_PATH"); }
};

TEST(RecordCli, RecordsTriggeredFilesFromAlsaCapture)
{
    const std::vector<std::int64_t> calls = {50000, 300000, 500000};
    const vestest::Bytes in = callSamples(750000, calls);
    struct Case {
        const char* name;
        std::string tail;  // how the run ends
    } cases[] = {
        {"duration", " --duration 2.5s"},
        // SIGTERM finishes the current file and the run as Ctrl+C does.
        {"sigterm", " & pid=$!; sleep 1; kill -TERM $pid; wait $pid"},
        // The portable interface captures the same samples.
        {"portaudio", " --backend portaudio --duration 2.5s"},
    };
    for (const Case& c : cases) {
        vestest::TempDir dir;
        AlsaInput alsa(dir, in);
        ASSERT_EQ(::mkdir(dir.file("out").c_str(), 0755), 0);
        const auto r = runCli("record --rate 250000 --pre 1 --post 2 --prefix bat --output " +
                                  quoted(dir.file("out")) + c.tail,
                              dir);
        EXPECT_EQ(r.status, 0) << c.name << "\n" << r.err;
        const auto files = lines(r.out);
        ASSERT_EQ(files.size(), calls.size()) << c.name << "\n" << r.out;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(files[i].path, dir.file("out") + "/bat#" + std::to_string(i + 1) + ".wav");
            // 1 ms before the first triggering sample (the call's second one)
            // to 2 ms after its last, exactly the captured samples.
            const auto first = static_cast<std::int64_t>(std::llround(files[i].start * 250000));
            EXPECT_EQ(first, calls[i] + 1 - 250);
            const vestest::Bytes got = waveData(files[i].path);
            ASSERT_EQ(static_cast<long long>(got.size()), 2 * files[i].frames);
            EXPECT_GE(first + files[i].frames, calls[i] + 500 + 490);
            EXPECT_TRUE(std::equal(got.begin(), got.end(), in.begin() + 2 * first)) << files[i].path;
        }
        if (std::string(c.name) == "duration") {
            EXPECT_NE(r.err.find("2.5 s of sound analysed"), std::string::npos) << r.err;
        }
    }
}
