// Zero-crossing files: reading hand-made bytes of every record kind, the
// faults of bad input, the writer's rules, round trips from synthesised waves
// and calls found in dots.
#include "zcfiles/ZcCalls.h"
#include "zcfiles/ZcConvert.h"
#include "zcfiles/ZcFile.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

using namespace zcfile;
using vestest::Bytes;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A header of type `type` with the data pointer after it (and `guano` at 0x150 for type 132).
Bytes header(int type, const std::string& guano = {}, std::uint16_t res1 = 25000, std::uint8_t div = 8)
{
    const std::size_t end = type == 132 ? 0x150 + guano.size() : 0x120;
    Bytes h(end, 0);
    h[0] = 0x1A;
    h[1] = 0x01;
    h[3] = static_cast<std::uint8_t>(type);
    const std::string text = "TAPE0001" "20240602" "Site A";
    for (std::size_t i = 0; i < 275; ++i)
        h[6 + i] = ' ';
    std::copy(text.begin(), text.end(), h.begin() + 6);
    const std::string species = "Mylu";
    std::copy(species.begin(), species.end(), h.begin() + 6 + 56);
    h[0x11A] = static_cast<std::uint8_t>(end & 0xFF);
    h[0x11B] = static_cast<std::uint8_t>(end >> 8);
    h[0x11C] = static_cast<std::uint8_t>(res1 & 0xFF);
    h[0x11D] = static_cast<std::uint8_t>(res1 >> 8);
    h[0x11E] = div;
    h[0x11F] = 0x52;
    if (type == 132) {
        const std::uint8_t t[] = {0xE8, 0x07, 6, 2, 22, 53, 40, 12, 0x22, 0x00};  // 2024-06-02 22:53:40.12 + 34 µs
        std::copy(std::begin(t), std::end(t), h.begin() + 0x120);
        const std::string id = "ID0042", gps = "WGS84 45.5000 -122.6000";
        std::copy(id.begin(), id.end(), h.begin() + 0x12A);
        std::fill(h.begin() + 0x130, h.begin() + 0x150, ' ');
        std::copy(gps.begin(), gps.end(), h.begin() + 0x130);
        std::copy(guano.begin(), guano.end(), h.begin() + 0x150);
    }
    return h;
}

Bytes withData(Bytes h, const Bytes& data)
{
    h.insert(h.end(), data.begin(), data.end());
    return h;
}

bool parseBytes(const Bytes& b, ZcFile& f, std::string& error)
{
    return parse(b.data(), b.size(), f, error);
}

const std::string kGuano = "GUANO|Version: 1.0\nMake: Test\nSamplerate: 384000\n";

// Every kind of record of a type-132 file.
const Bytes kData132 = {
    0x80 | 0x01, 0x2C,        // 300 (13 bits)
    0x05,                     // +5  -> 305
    0x7D,                     // -3  -> 302
    0xE1, 0x02,               // the next 2 dots off
    0xA0 | 0x01, 0x00, 0x00,  // 65536 (21 bits)
    0x00,                     // +0  -> 65536
    0xC0 | 0x01, 0, 0, 0,     // 2^24 (29 bits)
    0xE3, 0x01,               // the next dot main
    0x80 | 0x00, 0x64,        // 100
};

}  // namespace

TEST(ZcFile, ReadsEveryRecordKindAndTheHeaderOfType132)
{
    const Bytes bytes = withData(header(132, kGuano), kData132);
    ZcFile f;
    std::string error;
    ASSERT_TRUE(parseBytes(bytes, f, error)) << error;
    EXPECT_EQ(f.type, 132);
    EXPECT_EQ(f.intervals, (std::vector<std::uint32_t>{300, 305, 302, 65536, 65536, 1u << 24, 100}));
    const std::vector<DotStatus> want = {DotStatus::Normal, DotStatus::Normal, DotStatus::Normal, DotStatus::Off,
                                         DotStatus::Off,    DotStatus::Normal, DotStatus::Main};
    EXPECT_EQ(f.statuses(), want);
    EXPECT_EQ(f.text(TextField::Tape), "TAPE0001");
    EXPECT_EQ(f.text(TextField::Date), "20240602");
    EXPECT_EQ(f.text(TextField::Loc), "Site A");
    EXPECT_EQ(f.text(TextField::Species), "Mylu");
    EXPECT_EQ(f.id(), "ID0042");
    EXPECT_EQ(f.gps(), "WGS84 45.5000 -122.6000");
    EXPECT_EQ(f.time.iso(), "2024-06-02T22:53:40.120034");
    GuanoRecord g;
    ASSERT_TRUE(f.guanoRecord(g, error)) << error;
    ASSERT_NE(g.find("Make"), nullptr);
    EXPECT_EQ(*g.find("Make"), "Test");
    EXPECT_TRUE(f.warnings.empty());
    // f = DIVRATIO / (2 × interval): 8 / (2 × 100 µs) = 40 kHz; times add up.
    const std::vector<Dot> dots = f.dots();
    EXPECT_DOUBLE_EQ(dots[6].freqHz, 40000.0);
    EXPECT_DOUBLE_EQ(dots[0].freqHz, 8e6 / 600.0);
    EXPECT_DOUBLE_EQ(dots[2].timeUs, 907.0);
}

TEST(ZcFile, ReadAndWrittenAgainIsTheSameByteForByte)
{
    for (int type : {130, 131, 132}) {
        Bytes data = kData132;
        if (type == 130) {  // one-byte runs
            data = {0x81, 0x2C, 0x05, 0xE2, 0x7D, 0x00, 0x80, 0x64};
        }
        const Bytes bytes = withData(header(type, type == 132 ? kGuano : ""), data);
        ZcFile f;
        std::string error;
        ASSERT_TRUE(parseBytes(bytes, f, error)) << type << ": " << error;
        Bytes again;
        ASSERT_TRUE(encode(f, again, error)) << type << ": " << error;
        EXPECT_EQ(again, bytes) << type;
    }
}

TEST(ZcFile, Type130RunsAndType129PackingAreRead)
{
    ZcFile f;
    std::string error;
    ASSERT_TRUE(parseBytes(withData(header(130), {0x81, 0x2C, 0xE2, 0x05, 0x7D, 0x00}), f, error)) << error;
    EXPECT_EQ(f.intervals, (std::vector<std::uint32_t>{300, 305, 302, 302}));
    EXPECT_EQ(f.statuses()[1], DotStatus::Off);
    EXPECT_EQ(f.statuses()[2], DotStatus::Off);
    EXPECT_EQ(f.statuses()[3], DotStatus::Normal);

    // 129: 0x81 0x2C = 300 unshifted; +5 (unsigned); 0x89 0x2C = 300 << 1; 0xFA = 2 dots off.
    ASSERT_TRUE(parseBytes(withData(header(129), {0x81, 0x2C, 0x05, 0xFA, 0x89, 0x2C, 0x01}), f, error)) << error;
    EXPECT_EQ(f.intervals, (std::vector<std::uint32_t>{300, 305, 600, 601}));
    EXPECT_EQ(f.statuses()[2], DotStatus::Off);
    EXPECT_EQ(f.statuses()[3], DotStatus::Off);
    Bytes out;
    EXPECT_FALSE(encode(f, out, error));
    EXPECT_NE(error.find("129"), std::string::npos) << error;
}

TEST(ZcFile, Res1ScalesIntervalsToMicroseconds)
{
    ZcFile f;
    std::string error;
    ASSERT_TRUE(parseBytes(withData(header(131, "", 50000), {0x80, 0xC8}), f, error)) << error;
    // 200 ticks of 25 ms / 50000 = 100 µs: 40 kHz with a divide-by-8 signal.
    EXPECT_DOUBLE_EQ(f.dots()[0].intervalUs, 100.0);
    EXPECT_DOUBLE_EQ(f.dots()[0].freqHz, 40000.0);
}

TEST(ZcFile, BadInputGetsAMessageNamingTheFault)
{
    const Bytes good = withData(header(132), {0x80, 0x64, 0x01});
    struct Case {
        const char* name;
        Bytes bytes;
        const char* expect;
    };
    const auto patched = [&](std::size_t at, std::vector<std::uint8_t> v) {
        Bytes b = good;
        std::copy(v.begin(), v.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return b;
    };
    const std::vector<Case> cases = {
        {"empty", {}, "too short"},
        {"header cut", Bytes(good.begin(), good.begin() + 0x100), "too short"},
        {"not anabat", patched(0, {0x00, 0x02}), "not a zero-crossing file"},
        {"type 133", patched(3, {133}), "not a zero-crossing file"},
        {"data pointer past the end", patched(0x11A, {0x00, 0x40}), "past the end"},
        {"data pointer in the header", patched(0x11A, {0x30, 0x01}), "inside the header"},
        {"res1 low", patched(0x11C, {0x0F, 0x27}), "RES1 is 9999"},
        {"res1 high", patched(0x11C, {0x61, 0xEA}), "RES1 is 60001"},
        {"divratio 0", patched(0x11E, {0}), "division ratio is 0"},
        {"interval cut", withData(header(132), {0x80, 0x64, 0xC0, 0x01}), "truncated"},
        {"run cut", withData(header(132), {0x80, 0x64, 0xE1}), "truncated"},
        {"run overflows", withData(header(132), {0x80, 0x64, 0xE1, 0x03, 0x01}), "covers dots 2 to 4"},
        {"first is a difference", withData(header(132), {0x05, 0x80, 0x64}), "first interval"},
        {"below zero", withData(header(132), {0x80, 0x02, 0x7C}), "below zero"},
    };
    for (const Case& c : cases) {
        ZcFile f;
        std::string error;
        EXPECT_FALSE(parseBytes(c.bytes, f, error)) << c.name;
        EXPECT_NE(error.find(c.expect), std::string::npos) << c.name << ": " << error;
    }
}

TEST(ZcFile, BadGuanoIsReportedAndKeptAndTheDotsStillRead)
{
    static const char kNul[] = "GUANO|Version: 1.0\nNote: a\0b\n";
    for (const std::string& block : {std::string("not guano at all"), std::string(kNul, sizeof kNul - 1)}) {
        const Bytes bytes = withData(header(132, block), {0x80, 0x64, 0x01});
        ZcFile f;
        std::string error;
        ASSERT_TRUE(parseBytes(bytes, f, error)) << error;
        EXPECT_EQ(f.intervals.size(), 2u);
        ASSERT_EQ(f.warnings.size(), 1u);
        EXPECT_NE(f.warnings[0].find("GUANO"), std::string::npos) << f.warnings[0];
        GuanoRecord g;
        EXPECT_FALSE(f.guanoRecord(g, error));
        EXPECT_FALSE(error.empty());
        Bytes again;
        ASSERT_TRUE(encode(f, again, error));
        EXPECT_EQ(again, bytes);
    }
}

TEST(ZcFile, WriterUsesTheSmallestEncodingAndRefusesTooLongIntervals)
{
    struct Case {
        std::vector<std::uint32_t> intervals;
        Bytes data;
    };
    const std::vector<Case> cases = {
        {{5}, {0x80, 0x05}},                        // the first interval is absolute, however small
        {{1000, 1063, 1000}, {0x83, 0xE8, 0x3F, 0x41}},  // +63 and -63 as differences
        {{1000, 1064}, {0x83, 0xE8, 0x84, 0x28}},   // 64 is too far
        {{1000, 936}, {0x83, 0xE8, 0x83, 0xA8}},    // and so is -64
        {{8191, 8192}, {0x9F, 0xFF, 0x01}},
        {{8191, 8100}, {0x9F, 0xFF, 0x9F, 0xA4}},
        {{8192}, {0xA0, 0x20, 0x00}},
        {{(1u << 21) - 1}, {0xBF, 0xFF, 0xFF}},
        {{1u << 21}, {0xC0, 0x20, 0x00, 0x00}},
        {{(1u << 29) - 1}, {0xDF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        ZcFile f;
        f.intervals = c.intervals;
        Bytes out;
        std::string error;
        ASSERT_TRUE(encode(f, out, error)) << error;
        ASSERT_EQ(out.size(), 0x150 + c.data.size());
        EXPECT_EQ(Bytes(out.begin() + 0x150, out.end()), c.data) << c.intervals.back();
        ZcFile back;
        ASSERT_TRUE(parseBytes(out, back, error)) << error;
        EXPECT_EQ(back.intervals, c.intervals);
    }
    ZcFile f;
    f.intervals = {100, 1u << 29};
    Bytes out;
    std::string error;
    EXPECT_FALSE(encode(f, out, error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

TEST(ZcFile, WriterPadsTextFieldsWithBlanksAndPointsPastTheGuano)
{
    ZcFile f;
    f.setText(TextField::Species, "Epfu");
    f.setText(TextField::Tape, "a name longer than eight");
    f.setId("X");
    GuanoRecord g;
    g.set("Make", "Vallomer");
    f.setGuano(g);
    f.intervals = {100};
    Bytes out;
    std::string error;
    ASSERT_TRUE(encode(f, out, error)) << error;
    EXPECT_EQ(std::string(out.begin() + 6, out.begin() + 14), "a name l");
    EXPECT_EQ(std::string(out.begin() + 6 + 56, out.begin() + 6 + 106), "Epfu" + std::string(46, ' '));
    EXPECT_EQ(std::string(out.begin() + 0x12A, out.begin() + 0x130), "X     ");
    const std::size_t dataPointer = out[0x11A] | (out[0x11B] << 8);
    EXPECT_EQ(dataPointer, 0x150 + f.guano.size());
    ZcFile back;
    ASSERT_TRUE(parseBytes(out, back, error)) << error;
    EXPECT_EQ(back.text(TextField::Species), "Epfu");
    GuanoRecord bg;
    ASSERT_TRUE(back.guanoRecord(bg, error)) << error;
    EXPECT_EQ(*bg.find("Make"), "Vallomer");
}

namespace {

// A mono 16-bit document of `seconds` holding tone bursts at `hz` (file
// frequency) between `gapLevel`-quiet noise-free gaps.
void fillTones(CVesSoundDoc& doc, std::uint32_t rate, double hz, double seconds, double amplitude)
{
    const auto frames = static_cast<std::int64_t>(rate * seconds);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * 2);
    for (std::int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        // 10 ms bursts every 50 ms, a downward sweep hz*1.5 -> hz over each.
        const double inBurst = std::fmod(t, 0.05);
        double v = 0;
        if (inBurst < 0.01) {
            const double f0 = hz * 1.5, f1 = hz;
            const double phase = 2 * kPi * (f0 * inBurst + (f1 - f0) * inBurst * inBurst / (2 * 0.01));
            v = amplitude * std::sin(phase);
        }
        const auto s = static_cast<std::int16_t>(std::lround(v * 32767));
        bytes[static_cast<std::size_t>(2 * i)] = static_cast<std::uint8_t>(s & 0xFF);
        bytes[static_cast<std::size_t>(2 * i + 1)] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
    }
    vestest::fillDocument(doc, 1, 16, rate, bytes);
}

}  // namespace

TEST(ZcConvert, WaveToZcAndBackGivesTheSameDots)
{
    struct Case {
        const char* name;
        std::uint32_t rate;
        double hz;         // file frequency of the sweep's end
        int te1000;        // time expansion × 1000
        int div;
        double realEndHz;  // the sweep's end in real frequency
    };
    const std::vector<Case> cases = {
        {"real time, divide by 8", 384000, 40000, 1000, 8, 40000},
        {"real time, divide by 16", 250000, 30000, 1000, 16, 30000},
        {"time expanded 10x", 44100, 4000, 10000, 8, 40000},
    };
    for (const Case& c : cases) {
        vestest::RecordingHost host;
        CVesSoundDoc doc(host);
        fillTones(doc, c.rate, c.hz, 0.4, 0.5);
        doc.recData().m_timeExp25 = c.te1000;
        GuanoRecord g;
        g.set("Timestamp", "2024-06-02T22:53:40.5+02:00");
        g.set("Species Manual ID", "Mylu");
        doc.setGuano(g);
        ConvertSettings s;
        s.divRatio = c.div;
        ZcFile zc;
        std::string error;
        ASSERT_TRUE(fromRecording(doc, s, zc, error)) << c.name << ": " << error;
        ASSERT_GT(zc.intervals.size(), 50u) << c.name;
        vestest::TempDir dir;
        const std::string path = dir.file("out.zc");
        ASSERT_TRUE(writeFile(path, zc, error)) << error;
        ZcFile back;
        ASSERT_TRUE(readFile(path, back, error)) << c.name << ": " << error;
        ASSERT_EQ(back.intervals.size(), zc.intervals.size()) << c.name;
        for (std::size_t i = 0; i < zc.intervals.size(); ++i)
            ASSERT_LE(std::abs(static_cast<long>(back.intervals[i]) - static_cast<long>(zc.intervals[i])), 1) << i;
        EXPECT_EQ(back.statuses(), zc.statuses()) << c.name;
        EXPECT_EQ(back.divRatio, c.div);
        EXPECT_EQ(back.time.iso(), "2024-06-02T22:53:40.500000") << c.name;
        EXPECT_EQ(back.text(TextField::Species), "Mylu");
        GuanoRecord bg;
        ASSERT_TRUE(back.guanoRecord(bg, error)) << error;
        EXPECT_EQ(*bg.find("Samplerate"), std::to_string(c.rate));
        // The dots follow the sweep in real frequency (at the middle of each
        // dot's interval); times are real, so file time is TE times longer.
        const double te = c.te1000 / 1000.0;
        const std::vector<Dot> dots = back.dots();
        int inside = 0;
        for (const Dot& d : dots) {
            const double inBurst = std::fmod((d.timeUs - d.intervalUs / 2) / 1e6 * te, 0.05);
            if (inBurst < 0.001 || inBurst > 0.009)
                continue;
            const double want = c.realEndHz * (1.5 - 0.5 * inBurst / 0.01);
            EXPECT_NEAR(d.freqHz, want, want * 0.02) << c.name << " at " << d.timeUs;
            ++inside;
        }
        EXPECT_GT(inside, 40) << c.name;
        EXPECT_NEAR(back.lengthUs() * te / 1e6, 0.36, 0.011) << c.name;  // the last transition ends the last burst
        // A file read and written again is the same.
        Bytes a = vestest::readFile(path), b;
        ASSERT_TRUE(encode(back, b, error));
        EXPECT_EQ(a, b) << c.name;
    }
}

TEST(ZcConvert, ThresholdAndGateDecideWhichSoundMakesDots)
{
    vestest::RecordingHost host;
    CVesSoundDoc doc(host);
    fillTones(doc, 384000, 40000, 0.1, 0.02);  // -34 dB of full scale
    ZcFile zc;
    std::string error;
    ConvertSettings s;
    s.thresholdPct = 5;  // above the sound: no crossings at all
    ASSERT_TRUE(fromRecording(doc, s, zc, error)) << error;
    EXPECT_TRUE(zc.intervals.empty());
    s.thresholdPct = 1;
    ASSERT_TRUE(fromRecording(doc, s, zc, error)) << error;
    ASSERT_FALSE(zc.intervals.empty());
    for (DotStatus st : zc.statuses())
        EXPECT_EQ(st, DotStatus::Normal);
    s.gateDb = -20;  // the gate stays closed: every dot off, in runs of at most 255
    ASSERT_TRUE(fromRecording(doc, s, zc, error)) << error;
    for (DotStatus st : zc.statuses())
        EXPECT_EQ(st, DotStatus::Off);
    for (const StatusRun& r : zc.runs)
        EXPECT_LE(r.count, 255);
    Bytes out;
    ASSERT_TRUE(encode(zc, out, error)) << error;
}

TEST(ZcCalls, FindsAndMeasuresTheSweepsOfDots)
{
    // Three calls sweeping 80 -> 40 kHz over 5 ms, 100 ms apart, between them
    // off dots and noise dots that jump about.
    ZcFile f;
    f.divRatio = 8;
    std::uint32_t lastEnd = 0;
    std::uint64_t now = 0;
    std::uint32_t seed = 7;
    const auto add = [&](std::uint32_t v) {
        f.intervals.push_back(v);
        now += v;
    };
    for (int call = 0; call < 3; ++call) {
        const std::uint64_t start = 20000 + 100000u * static_cast<std::uint64_t>(call);
        while (now + 400 < start) {  // noise: random frequencies
            seed = seed * 1103515245u + 12345u;
            add(20 + (seed >> 16) % 300);
        }
        add(static_cast<std::uint32_t>(start - now));
        const std::uint64_t callStart = now;
        while (now - callStart < 5000) {
            const double frac = static_cast<double>(now - callStart) / 5000.0;
            const double hz = 80000 - 40000 * frac;
            add(static_cast<std::uint32_t>(std::lround(8e6 / (2 * hz))));
        }
        lastEnd = static_cast<std::uint32_t>(now);
    }
    (void)lastEnd;
    ZcCallSettings s;
    s.smoothPct = 3;
    const std::vector<CallMeasures> calls = findCalls(f.dots(), s);
    ASSERT_EQ(calls.size(), 3u) << (calls.empty() ? 0 : calls[0].startMs);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const CallMeasures& c = calls[i];
        EXPECT_EQ(c.call, static_cast<int>(i) + 1);
        EXPECT_NEAR(c.startMs, 20.0 + 100.0 * static_cast<double>(i), 0.2);
        EXPECT_NEAR(c.durationMs, 5.0, 0.3);
        EXPECT_NEAR(c.maxFreqHz, 80000, 1500);
        EXPECT_NEAR(c.minFreqHz, 40000, 1500);
        EXPECT_GT(c.slopeKHzPerMs, 6);
        EXPECT_GT(c.charFreqHz, 39000);
        EXPECT_LT(c.charFreqHz, 50000);
        EXPECT_GT(c.initialSlopeOps, 0);
        EXPECT_LT(c.qualityPct, 1.0);
        if (i == 0)
            EXPECT_LT(c.intervalMs, 0);
        else
            EXPECT_NEAR(c.intervalMs, 100.0, 0.2);
    }
}

// Inputs that once crashed the program, and every fuzz seed, read or fail
// with a message; what reads writes and reads again.
TEST(ZcFile, CrashInputsAndSeedsReadOrFailWithAMessage)
{
    std::vector<std::string> inputs = vestest::sharedCrashInputs();
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(VES_SOURCE_DIR "/fuzz/corpus/fuzz_zc", ec))
        inputs.push_back(e.path().string());
    ASSERT_FALSE(inputs.empty());
    for (const std::string& in : inputs) {
        const Bytes b = vestest::readFile(in);
        ZcFile f;
        std::string error;
        if (!parseBytes(b, f, error)) {
            EXPECT_FALSE(error.empty()) << in;
            continue;
        }
        (void)f.dots();
        Bytes out;
        if (encode(f, out, error)) {
            ZcFile back;
            EXPECT_TRUE(parseBytes(out, back, error)) << in << ": " << error;
        }
    }
}
