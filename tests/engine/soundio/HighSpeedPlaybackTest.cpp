// High-speed playback: conversion into 12-bit output words, play-list files,
// and the playback worker end to end through the simulated card.
#include "TestSupport.h"

#include "records/VesRecData.h"
#include "soundfiles/LoadedRecording.h"
#include "soundio/Daq12BitConverter.h"
#include "soundio/DaqCard.h"
#include "soundio/HspPlayList.h"
#include "soundio/NidaqPlayWorker.h"
#include "soundio/PlayList.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace {

using vestest::ByteWriter;
using vestest::Bytes;

// A wave file of the given samples (Raw values: 8-bit ones relative to 128),
// with the program's own forms after it when given.
Bytes waveBytes(int channels, int bits, std::uint32_t rate, const std::vector<std::int64_t>& samples,
                const Bytes& ownForms = {})
{
    const int bytes = bits == 12 ? 2 : bits / 8;
    ByteWriter data;
    for (std::int64_t s : samples) {
        const auto v = static_cast<std::uint64_t>(bits == 8 ? s + 128 : s);
        for (int i = 0; i < bytes; ++i)
            data.u8(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    Bytes fmt = vestest::pcmFormat(static_cast<std::uint16_t>(channels), rate, static_cast<std::uint16_t>(bits));
    // pcmFormat derives the block align from the width; 12-bit samples take two bytes.
    const auto align = static_cast<std::uint16_t>(channels * bytes);
    fmt[12] = static_cast<std::uint8_t>(align);
    fmt[13] = 0;
    const std::uint32_t avg = rate * align;
    for (int i = 0; i < 4; ++i)
        fmt[8 + i] = static_cast<std::uint8_t>(avg >> (8 * i));
    Bytes out = vestest::riffWave(ByteWriter().chunk("fmt ", fmt).chunk("data", data.data(), true).data());
    out.insert(out.end(), ownForms.begin(), ownForms.end());
    return out;
}

// A top-level form of the program ("RIFF", length, type, payload).
Bytes ownForm(std::string_view type, const Bytes& payload)
{
    return ByteWriter().tag("RIFF").u32(static_cast<std::uint32_t>(4 + payload.size())).tag(type).bytes(payload).data();
}

Bytes recordForm(std::int32_t timeExp25)
{
    VesRecData rec;
    rec.m_timeExp25 = timeExp25;
    return ownForm("VPr0", rec.toBytes());
}

Bytes segmentForm(const std::vector<SegmentRecord>& segments)
{
    SegmentTableHeader header;
    ByteWriter w;
    w.bytes(Bytes(header.bytes.begin(), header.bytes.end()));
    for (const SegmentRecord& s : segments)
        w.u32(12).u32(static_cast<std::uint32_t>(s.startFrame)).u32(static_cast<std::uint32_t>(s.frames));
    return ownForm("VPrC", w.data());
}

std::vector<std::int16_t> words(const DaqTempFile& file)
{
    std::vector<std::int16_t> out(static_cast<size_t>(file.size() / 2));
    std::vector<std::uint8_t> bytes(static_cast<size_t>(file.size()));
    EXPECT_EQ(file.read(bytes.data(), bytes.size(), 0), file.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return out;
}

// Descriptors of this process that still hold a converted file.
int openConvertedFiles()
{
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    if (!d)
        return -1;
    while (dirent* e = readdir(d)) {
        char target[4096];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t len = readlink(link.c_str(), target, sizeof target - 1);
        if (len <= 0)
            continue;
        target[len] = '\0';
        const std::string t(target);
        const auto slash = t.find_last_of('/');
        if (slash != std::string::npos && t.compare(slash + 1, 3, DaqTempFile::kPrefix) == 0)
            ++n;
    }
    closedir(d);
    return n;
}

int filesIn(const std::string& folder)
{
    int n = 0;
    DIR* d = opendir(folder.c_str());
    while (dirent* e = d ? readdir(d) : nullptr)
        if (e->d_name[0] != '.')
            ++n;
    if (d)
        closedir(d);
    return n;
}

// The output word of a Raw sample by its definition: the sample scaled to
// 12 bits and rounded toward minus infinity.
std::int16_t expectedWord(std::int64_t raw, int bits)
{
    switch (bits) {
    case 8: return static_cast<std::int16_t>(raw * 16);
    case 12: return static_cast<std::int16_t>(std::clamp<std::int64_t>(raw, -2048, 2047));
    default: return static_cast<std::int16_t>(std::floor(static_cast<double>(raw) / std::ldexp(1.0, bits - 12)));
    }
}

struct WidthCase {
    int bits;
    std::vector<std::int64_t> samples;  // Raw values
};

class DaqConversion12Bit : public ::testing::TestWithParam<std::tuple<WidthCase, int>> {};

TEST_P(DaqConversion12Bit, WordsFollowTheDefinitionForEveryWidthAndLayout)
{
    const auto& [c, channels] = GetParam();
    std::vector<std::int64_t> samples = c.samples;
    if (samples.size() % channels)
        samples.push_back(0);
    vestest::TempDir dir;
    const std::string path = dir.file("in.wav");
    vestest::writeFile(path, waveBytes(channels, c.bits, 250000, samples));
    DaqConvertOptions opt;
    opt.tempFolder = dir.path();
    const DaqConversion r = convertForDaq(path, opt);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.channels, channels);
    EXPECT_EQ(r.convertedBytes, static_cast<std::int64_t>(2 * samples.size() + 65536));
    EXPECT_EQ(r.points, r.convertedBytes / 2);
    const std::vector<std::int16_t> w = words(*r.file);
    for (size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(w[i], expectedWord(samples[i], c.bits)) << c.bits << "-bit sample " << samples[i];
    for (size_t i = samples.size(); i < w.size(); ++i)
        ASSERT_EQ(w[i], 0) << "settling zeros at word " << i;
    // The duration counts frames, not the words of both channels.
    auto entry = makeHspEntry(path, opt).entry;
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->durationUs(), static_cast<std::int64_t>((samples.size() + 32768) / channels * 4));
}

INSTANTIATE_TEST_SUITE_P(
    Widths, DaqConversion12Bit,
    ::testing::Combine(
        ::testing::Values(WidthCase{8, {-128, -1, 0, 1, 127, -77}},
                          WidthCase{12, {-2048, 2047, -1, 0, 5, -3000, 3000, 32767}},
                          WidthCase{16, {-32768, 32767, -1, -15, -16, -17, 15, 16, 17, 12345}},
                          WidthCase{24, {-8388608, 8388607, -1, -4095, -4097, 4095, 4096, 1234567}},
                          WidthCase{32, {INT32_MIN, INT32_MAX, -1, -1048577, 1048575, 1048576, 987654321}}),
        ::testing::Values(1, 2)),
    [](const auto& param) {
        return "bits" + std::to_string(std::get<0>(param.param).bits) + (std::get<1>(param.param) == 2 ? "Stereo" : "Mono");
    });

TEST(DaqConversion, PlaybackFrequencyIsTheRealTimeRate)
{
    struct Case {
        std::int32_t timeExp25;
        std::int64_t expectRateHz;
    };
    for (const Case& c : {Case{10000, 441000}, Case{1000, 44100}, Case{0, 44100}, Case{-5, 44100}}) {
        vestest::TempDir dir;
        const std::string path = dir.file("te.wav");
        vestest::writeFile(path, waveBytes(1, 16, 44100, std::vector<std::int64_t>(4410, 100), recordForm(c.timeExp25)));
        DaqConvertOptions opt;
        opt.tempFolder = dir.path();
        const HspEntryResult r = makeHspEntry(path, opt);
        ASSERT_TRUE(r.entry) << r.error;
        EXPECT_EQ(r.entry->playbackRateHz, c.expectRateHz) << "time expansion " << c.timeExp25;
        EXPECT_EQ(r.entry->durationUs(), (4410 + 32768) * 1000000LL / c.expectRateHz);
    }
}

TEST(DaqConversion, GapsOfACompressedWavePlayAsSilenceOfTheirFullLength)
{
    vestest::TempDir dir;
    const std::string path = dir.file("comp.wav");
    std::vector<std::int64_t> samples;
    for (int i = 0; i < 30; ++i)
        samples.push_back(16 * (i + 1));
    // Stereo: segments of 5 and 10 frames at frames 100 and 1000.
    vestest::writeFile(path, waveBytes(2, 16, 200000, samples, segmentForm({{100, 5}, {1000, 10}})));
    DaqConvertOptions opt;
    opt.tempFolder = dir.path();
    const DaqConversion r = convertForDaq(path, opt);
    ASSERT_TRUE(r.ok) << r.error;
    const std::vector<std::int16_t> w = words(*r.file);
    ASSERT_EQ(w.size(), static_cast<size_t>(2 * 1010 + 32768));
    std::vector<std::int16_t> expect(w.size(), 0);
    for (int i = 0; i < 10; ++i)
        expect[200 + i] = static_cast<std::int16_t>(i + 1);
    for (int i = 0; i < 20; ++i)
        expect[2000 + i] = static_cast<std::int16_t>(i + 11);
    EXPECT_EQ(w, expect);
}

TEST(DaqConversion, AnUnreadableOrLyingFileWritesNothing)
{
    struct Case {
        const char* name;
        Bytes bytes;
        std::int64_t freeBytes;
        const char* error;
    };
    const std::vector<std::int64_t> ten(10, 7);
    const Case cases[] = {
        {"not a wave", Bytes{'h', 'e', 'l', 'l', 'o'}, -1, "File is not a valid WAVE sound file."},
        {"no format", vestest::riffWave(ByteWriter().chunk("data", Bytes(4, 0)).data()), -1,
         "Can not find format information."},
        {"20-bit samples", [] {
             Bytes b = waveBytes(1, 16, 8000, {1, 2});
             b[34] = 20;  // bits per sample
             return b;
         }(), -1, "Can not read format information."},
        {"gap beyond the disk", waveBytes(1, 16, 8000, ten, segmentForm({{0x7FFFFFF0, 10}})), 64 << 20,
         "Error while writing temporary work file! Disk full?."},
        {"segments beyond the data", waveBytes(1, 16, 8000, ten, segmentForm({{0, 5}, {50, 6}})), -1,
         "The segment table of the file does not match its sound data."},
        {"empty segment", waveBytes(1, 16, 8000, ten, segmentForm({{0, 0}})), -1,
         "The segment table of the file does not match its sound data."},
    };
    for (const Case& c : cases) {
        vestest::TempDir dir, temp;
        const std::string path = dir.file("bad.wav");
        vestest::writeFile(path, c.bytes);
        DaqConvertOptions opt;
        opt.tempFolder = temp.path();
        opt.freeBytes = c.freeBytes;
        const DaqConversion r = convertForDaq(path, opt);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name;
        EXPECT_FALSE(r.file) << c.name;
    }
    EXPECT_EQ(openConvertedFiles(), 0);
}

// ---- play-list files ----

TEST(PlayListFile, WritesAndReadsBackByteExact)
{
    const std::vector<PlayListLine> lines = {
        {"/data/bats/a b.wav", "a b.wav", 441000, 3, 0},
        {"/data/x.wav", "x.wav", 0, 1, 0},
        {"/d/\xc3\xa9t\xc3\xa9.wav", "\xc3\xa9t\xc3\xa9.wav", 5000000000LL, 12, 0},
    };
    vestest::TempDir dir;
    const std::string path = dir.file("list.vpl");
    std::string error;
    ASSERT_TRUE(writePlayListFile(path, lines, error)) << error;
    const Bytes bytes = vestest::readFile(path);
    const std::string expect = "/data/bats/a b.wav\ta b.wav\t441000\t3\r\n"
                               "/data/x.wav\tx.wav\t0\t1\r\n"
                               "/d/\xc3\xa9t\xc3\xa9.wav\t\xc3\xa9t\xc3\xa9.wav\t5000000000\t12\r\n";
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expect);
    const PlayListRead back = readPlayListFile(path);
    ASSERT_TRUE(back.opened);
    EXPECT_FALSE(back.formatError);
    ASSERT_EQ(back.lines.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        PlayListLine l = lines[i];
        l.lineNumber = static_cast<int>(i + 1);
        EXPECT_EQ(back.lines[i], l);
    }
    EXPECT_FALSE(writePlayListFile(dir.file("no/such/folder/l.vpl"), lines, error));
    EXPECT_EQ(error, "Unable to open/create file " + dir.file("no/such/folder/l.vpl"));
    EXPECT_FALSE(readPlayListFile(dir.file("missing.vpl")).opened);
}

TEST(PlayListFile, StopsAtTheFirstLineThatDoesNotFitAndKeepsTheOnesBefore)
{
    const std::string good = "/a.wav\ta.wav\t250000\t2\r\n";
    struct Case {
        const char* name;
        std::string line;
    };
    const Case cases[] = {
        {"one tab", "/b.wav\t250000\r\n"},
        {"no repeat count", "/b.wav\tb.wav\t250000\r\n"},
        {"rate not a number", "/b.wav\tb.wav\tfast\t1\r\n"},
        {"fraction", "/b.wav\tb.wav\t250000.5\t1\r\n"},
        {"trailing text", "/b.wav\tb.wav\t250000\t1 x\r\n"},
        {"path of 261 bytes", "/" + std::string(260, 'p') + "\tb.wav\t1\t1\r\n"},
        {"empty path", "\tb.wav\t1\t1\r\n"},
        {"line of a megabyte", "/b.wav\tb.wav\t1\t" + std::string(1 << 20, '7') + "\r\n"},
    };
    for (const Case& c : cases) {
        const PlayListRead r = parsePlayList(good + "\r\n" + c.line + good);
        ASSERT_EQ(r.lines.size(), 1u) << c.name;
        EXPECT_EQ(r.lines[0].path, "/a.wav");
        EXPECT_TRUE(r.formatError) << c.name;
        EXPECT_EQ(r.errorLineNumber, 3) << c.name;
        EXPECT_LE(r.errorLine.size(), PlayListRead::kShownLineBytes + 3) << c.name;
        EXPECT_EQ(r.formatErrorText().rfind("Play list file format error on line:\n", 0), 0u);
    }
    // A path of exactly 260 bytes and a last line without its line end fit.
    const PlayListRead edge = parsePlayList("/" + std::string(259, 'p') + "\tn\t1\t1\n/c.wav\tc\t0\t0");
    EXPECT_FALSE(edge.formatError);
    ASSERT_EQ(edge.lines.size(), 2u);
    EXPECT_EQ(edge.lines[1].repeat, 0);
}

// ---- frequencies and texts ----

TEST(HspTexts, FrequencyFieldAndColumns)
{
    const std::pair<const char*, std::int64_t> freqs[] = {
        {"151.5 kHz", 151515}, {"294.1 kHz", 294117}, {"500 kHz", 500000}, {"300 kHz", 300000},
        {"44100", 44100},      {" 2 MHz", 2000000},   {"", 0},              {"fast", -1},
        {"0 kHz", -1},         {"-5", -1},
    };
    for (const auto& [text, hz] : freqs)
        EXPECT_EQ(parseHspFrequency(text), hz) << '"' << text << '"';
    const std::pair<std::int64_t, const char*> rates[] = {
        {99999, " 99999 Hz"}, {100000, " 100 kHz"}, {441000, " 441 kHz"}, {99999999, " 99999 kHz"},
        {100000000, " 100 MHz"},
    };
    for (const auto& [hz, text] : rates)
        EXPECT_EQ(hspRateText(hz), text);
    EXPECT_EQ(hspDurationText(1234567), "1.235");
    EXPECT_EQ(hspDurationText(999), "0.001");
    EXPECT_EQ(hspRepeatText(3), " 3 ");
}

TEST(HspTexts, EntriesOutsideTheCardAreRefused)
{
    SimulatedDaqCard card("/dev/null");
    card.setMaxRateHz(500000);
    HspPlayEntry e;
    e.channels = 2;
    for (const auto& [rate, ok] : {std::pair{500000LL, true}, {500001LL, false}, {1LL, true}, {0LL, false}}) {
        e.playbackRateHz = rate;
        EXPECT_EQ(checkHspEntryForCard(e, card).empty(), ok) << rate;
    }
    e.playbackRateHz = 1000;
    e.channels = 3;
    EXPECT_FALSE(checkHspEntryForCard(e, card).empty());
}

TEST(DaqCardChoice, WithoutARealCardTheSimulatedOnePlaysAndSaysWhy)
{
    struct Case {
        const char* card;
        bool noteExpected;
    };
    for (const Case& c : {Case{"simulated", false}, Case{"/nonexistent/comedi7", true}, Case{"auto", true}}) {
        DaqCardSettings settings;
        settings.m_card = c.card;
        settings.m_simOutput = "/tmp/out.raw";
        std::string note;
        const std::unique_ptr<IDaqCard> card = makeDaqCard(settings, note);
        ASSERT_TRUE(card);
        if (!card->simulated())
            continue;  // a machine with a Comedi card
        EXPECT_EQ(card->description(), "Simulated card (plays into /tmp/out.raw)");
        if (c.noteExpected)
            EXPECT_NE(note.find("the simulated card is used"), std::string::npos) << c.card;
        else
            EXPECT_TRUE(note.empty()) << c.card;
    }
}

// ---- the worker ----

class RecordingSink : public IHspSink {
public:
    void hspMessage(HspMessage message, HspState code, std::string text) override
    {
        std::lock_guard lock(m_mutex);
        m_log.push_back({message, code, std::move(text)});
    }
    struct Entry {
        HspMessage message;
        HspState code;
        std::string text;
    };
    std::vector<Entry> log()
    {
        std::lock_guard lock(m_mutex);
        return m_log;
    }
    std::vector<std::string> texts(HspState code)
    {
        std::vector<std::string> out;
        for (const Entry& e : log())
            if (e.message == HspMessage::State && e.code == code)
                out.push_back(e.text);
        return out;
    }

private:
    std::mutex m_mutex;
    std::vector<Entry> m_log;
};

class HspWorkerTest : public ::testing::Test {
protected:
    // A mono recording of `frames` frames whose every sample is value x 16
    // (so every word is `value`), at 250 kHz, as a play-list row.
    std::shared_ptr<HspPlayEntry> entry(const std::string& name, std::int16_t value, std::int64_t frames, int repeat)
    {
        const std::string path = dir.file(name);
        vestest::writeFile(path, waveBytes(1, 16, 250000, std::vector<std::int64_t>(frames, value * 16)));
        DaqConvertOptions opt;
        opt.tempFolder = temp.path();
        HspEntryResult r = makeHspEntry(path, opt);
        EXPECT_TRUE(r.entry) << r.error;
        setHspPlayback(*r.entry, 0, repeat);
        return r.entry;
    }

    std::vector<std::int16_t> played() const
    {
        const Bytes b = vestest::readFile(output);
        std::vector<std::int16_t> out(b.size() / 2);
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<std::int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
        return out;
    }

    vestest::TempDir dir, temp;
    std::string output = dir.file("card.raw");
    RecordingSink sink;
};

TEST_F(HspWorkerTest, PlaysEachRowItsRepeatCountInOrderAndInRealTime)
{
    SimulatedDaqCard card(output);
    card.setTimeScale(0.5);
    std::vector<std::shared_ptr<const HspPlayEntry>> list = {entry("a.wav", 100, 5000, 2), entry("b.wav", -200, 2500, 1),
                                                             entry("c.wav", 300, 1000, 3)};
    std::int64_t totalUs = 0;
    for (const auto& e : list)
        totalUs += e->durationUs() * e->repeat;
    const auto t0 = std::chrono::steady_clock::now();
    {
        NidaqPlayWorker worker(card, sink);
        ASSERT_TRUE(worker.start(list));
        worker.join();
        EXPECT_FALSE(worker.failed());
    }
    const auto elapsedUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(elapsedUs, totalUs / 2 * 95 / 100);
    EXPECT_LE(elapsedUs, totalUs / 2 + 1500000);

    std::vector<std::int16_t> expect;
    for (const auto& [value, frames, repeat] : {std::tuple{100, 5000, 2}, {-200, 2500, 1}, {300, 1000, 3}})
        for (int r = 0; r < repeat; ++r) {
            expect.insert(expect.end(), static_cast<size_t>(frames), static_cast<std::int16_t>(value));
            expect.insert(expect.end(), 32768, 0);
        }
    EXPECT_EQ(played(), expect);
    EXPECT_EQ(sink.texts(HspState::Playing),
              (std::vector<std::string>{"Playing a.wav 1 of 2 times", "Playing a.wav 2 of 2 times", "Playing b.wav",
                                        "Playing c.wav 1 of 3 times", "Playing c.wav 2 of 3 times",
                                        "Playing c.wav 3 of 3 times"}));
    const auto log = sink.log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().message, HspMessage::Hello);
    EXPECT_EQ(log.back().message, HspMessage::Ended);
    EXPECT_EQ(card.playCalls(), 6);
    EXPECT_EQ(card.configureCalls(), 12);
}

TEST_F(HspWorkerTest, ACardErrorStopsTheListAndAnAcceptableStatusDoesNot)
{
    struct Case {
        int status;
        bool stops;
    };
    for (const Case& c : {Case{-10003, true}, Case{-10881, false}, Case{5, false}}) {
        SimulatedDaqCard card(output);
        card.setTimeScale(0);
        card.failAt(2, 1000, c.status);
        RecordingSink caseSink;
        {
            std::vector<std::shared_ptr<const HspPlayEntry>> list = {entry("a.wav", 1, 3000, 2), entry("b.wav", 2, 10, 1)};
            NidaqPlayWorker worker(card, caseSink);
            ASSERT_TRUE(worker.start(std::move(list)));
            worker.join();
            EXPECT_EQ(worker.failed(), c.stops);
        }
        EXPECT_EQ(card.playCalls(), c.stops ? 2 : 3) << c.status;
        const auto errors = caseSink.texts(HspState::Error);
        if (c.stops)
            EXPECT_EQ(errors, std::vector<std::string>{"Play of a.wav aborted due of error (NI:10003)!"});
        else
            EXPECT_TRUE(errors.empty());
        EXPECT_EQ(caseSink.log().back().message, HspMessage::Ended);
        // Every converted file is gone with its rows.
        EXPECT_EQ(openConvertedFiles(), 0) << c.status;
        EXPECT_EQ(filesIn(temp.path()), 0);
        std::remove(output.c_str());
    }
}

TEST_F(HspWorkerTest, EndInterruptsAFileAndRowsDroppedMeanwhileStayValid)
{
    SimulatedDaqCard card(output);
    card.setTimeScale(1.0);
    NidaqPlayWorker worker(card, sink);
    {
        // Two seconds of sound; the list's own references go at once, as
        // when the dialog closes its rows while the worker plays.
        std::vector<std::shared_ptr<const HspPlayEntry>> list = {entry("long.wav", 7, 500000, 1),
                                                                 entry("next.wav", 8, 10, 1)};
        ASSERT_TRUE(worker.start(std::move(list)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(worker.running());
    const auto t0 = std::chrono::steady_clock::now();
    worker.end();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
    const std::vector<std::int16_t> out = played();
    EXPECT_GT(out.size(), 10000u);
    EXPECT_LT(out.size(), 250000u);
    for (std::int16_t w : out)
        ASSERT_EQ(w, 7);
    EXPECT_EQ(card.playCalls(), 1);
    EXPECT_TRUE(sink.texts(HspState::Error).empty());
    EXPECT_EQ(openConvertedFiles(), 0);
}

}  // namespace
