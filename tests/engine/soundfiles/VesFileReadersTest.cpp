// The readers on their own: each loads a recording into a value of its own,
// reporting through a read host, with no sound document anywhere.
#include "core/LoggCls.h"
#include "soundfiles/VesFileReaders.h"
#include "soundfiles/VesFileType.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vestest::ByteWriter;
using vestest::Bytes;
using vestest::TempDir;

namespace {

class ReadHost : public IReadHost {
public:
    std::vector<std::string> messages;
    int progressCalls = 0;
    std::int64_t lastDone = -1, lastTotal = -1;
    int cancelAtCall = 0;  // 0: never

    void message(const std::string& text) override { messages.push_back(text); }
    bool progress(std::int64_t done, std::int64_t total) override
    {
        ++progressCalls;
        lastDone = done;
        lastTotal = total;
        return progressCalls != cancelAtCall;
    }
};

Bytes storeBytes(FileCls& store)
{
    Bytes out(static_cast<size_t>(store.length()));
    store.read(out.data(), static_cast<std::int64_t>(out.size()), 0);
    return out;
}

Bytes ramp(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return b;
}

}  // namespace

TEST(VesFileReaders, EachReaderLoadsARecordingOfItsOwn)
{
    TempDir dir;
    const Bytes samples = ramp(120000);  // several blocks of every reader
    // Special 60: a 60-byte head, then 16-bit unsigned samples that become signed.
    Bytes signed16 = samples;
    for (std::size_t i = 0; i + 1 < signed16.size(); i += 2)
        signed16[i + 1] = static_cast<std::uint8_t>(signed16[i + 1] ^ 0x80);
    Bytes special = Bytes(60, 0xEE);
    special.insert(special.end(), samples.begin(), samples.end());
    struct Case {
        const char* name;
        const char* tag;
        Bytes file;
        int type;
        int channels, bits;
        std::uint32_t rate;
        Bytes expected;
        std::int32_t timeExp;  // read into a record whose factor was 7000
        bool keepsWave;
    } cases[] = {
        {"slow.wav", "", vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(2, 48000, 16)).chunk("data", samples).data()),
         kTypeStandardWave, 2, 16, 48000, samples, 7000, true},
        {"fast.wav", "", vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 384000, 24)).chunk("data", samples).data()),
         kTypeStandardWave, 1, 24, 384000, samples, 1000, true},
        {"m8.dat", " [8 bit samples MONO]", samples, kTypeData8Mono, 1, 8, 22050, samples, 1000, false},
        {"s60.dat", " [Special 60 bytes head MONO]", special, kTypeSpecial60, 1, 16, 44100, signed16, 1000, false},
    };
    for (const Case& c : cases) {
        vestest::writeFile(dir.file(c.name), c.file);
        ReadHost host;
        std::unique_ptr<IVesFile> reader = makeReader(dir.file(c.name) + c.tag, &host);
        EXPECT_EQ(reader->path(), dir.file(c.name)) << c.name << ": the tag is not part of the path";
        reader->recording().recData.m_timeExp25 = 7000;
        ASSERT_TRUE(reader->open()) << c.name << ": " << reader->errorText();
        EXPECT_TRUE(host.messages.empty()) << c.name;
        EXPECT_GE(host.progressCalls, 1) << c.name;
        EXPECT_EQ(host.lastDone, host.lastTotal) << c.name;
        LoadedRecording rec = reader->takeRecording();
        EXPECT_EQ(rec.saveType, c.type) << c.name;
        EXPECT_EQ(rec.typeName, fileTypeDisplayName(c.type)) << c.name;
        EXPECT_EQ(rec.format, SoundFormat::pcm(c.channels, c.bits, c.rate)) << c.name;
        EXPECT_EQ(rec.recData.m_timeExp25, c.timeExp) << c.name;
        EXPECT_EQ(rec.waveFile != nullptr, c.keepsWave) << c.name;
        EXPECT_FALSE(rec.modified) << c.name;
        EXPECT_TRUE(rec.pendingSavePath.empty()) << c.name;
        EXPECT_EQ(rec.samples.path().rfind(vkit::tempFolder() + "/VpTmp", 0), 0u) << rec.samples.path();
        EXPECT_EQ(storeBytes(rec.samples), c.expected) << c.name;
        EXPECT_FALSE(reader->recording().samples.isOpen()) << c.name << ": the store went with the recording";
    }
}

TEST(VesFileReaders, CancelEndsReadingWithoutAMessageAndNoHostIsFine)
{
    TempDir dir;
    vestest::writeFile(dir.file("big.dat"), ramp(300000));
    ReadHost host;
    host.cancelAtCall = 2;
    // (A file whose samples are taken as they are is not read piece by piece
    // at all; one with a header to convert is.)
    std::unique_ptr<IVesFile> reader = makeReader(dir.file("big.dat [Special 60 bytes head MONO]"), &host);
    EXPECT_FALSE(reader->open());
    EXPECT_TRUE(reader->cancelled());
    EXPECT_TRUE(reader->errorText().empty()) << reader->errorText();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.progressCalls, 2) << "no progress is asked for after the cancel";
    EXPECT_LT(reader->recording().samples.length(), 300000);

    // The messages of a reading that goes on reach the host; without a host
    // the reading is the same.
    vestest::writeFile(dir.file("n.r9000z"),
                       vestest::riffWave(ByteWriter().chunk("fmt ", vestest::pcmFormat(1, 300000, 8)).chunk("data", Bytes(50, 3)).data()));
    ReadHost told;
    std::unique_ptr<IVesFile> detector = makeReader(dir.file("n.r9000z"), &told);
    ASSERT_TRUE(detector->open());
    EXPECT_EQ(told.messages, std::vector<std::string>{"No R9000Z data found?"});
    std::unique_ptr<IVesFile> quiet = makeReader(dir.file("n.r9000z"), nullptr);
    ASSERT_TRUE(quiet->open());
    EXPECT_EQ(quiet->takeRecording().samples.length(), 50);
}
