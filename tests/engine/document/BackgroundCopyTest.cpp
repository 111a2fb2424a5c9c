// A document opened from a wave reads its samples from the file until the
// background copy has them: edits wait for the copy, the file may be saved
// over, deleted or cut short by another program meanwhile, and no edit
// already made is lost.
#include "document/CVesSoundDoc.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

using vestest::ByteWriter;
using vestest::Bytes;
using vestest::RecordingHost;
using vestest::TempDir;

namespace {

constexpr std::int64_t kFrames = 200000;
constexpr int kAlign = 4;  // stereo, 16 bit

Bytes writeWave(const std::string& path)
{
    const Bytes samples = vestest::patternSamples(2, 16, kFrames);
    vestest::writeFile(path, vestest::riffWave(
                                 ByteWriter().chunk("fmt ", vestest::pcmFormat(2, 250000, 16)).chunk("data", samples).data()));
    return samples;
}

Bytes frames(const Bytes& bytes, std::int64_t first, std::int64_t end)
{
    return Bytes(bytes.begin() + first * kAlign, bytes.begin() + end * kAlign);
}

Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class LengthView : public IDocView {
public:
    std::vector<std::int64_t> lengths;
    void onLengthChanged(std::int64_t frames) override { lengths.push_back(frames); }
};

}  // namespace

TEST(BackgroundCopy, EditsWaitForTheCopyAndOutliveTheFile)
{
    TempDir dir;
    const std::string path = dir.file("night.wav");
    const Bytes samples = writeWave(path);
    RecordingHost host;
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(path));
    EXPECT_TRUE(doc.samples().hasSource()) << "the samples are read from the file";
    EXPECT_EQ(doc.lengthFrames(), kFrames);
    EXPECT_EQ(vestest::documentBytes(doc), samples);

    // Saved over atomically while still being read: the document keeps
    // reading what it opened.
    ASSERT_TRUE(doc.save(path, 1));
    EXPECT_EQ(vestest::documentBytes(doc), samples);
    {
        CVesSoundDoc saved(host);
        ASSERT_TRUE(saved.open(path));
        EXPECT_EQ(vestest::documentBytes(saved), samples);
    }

    doc.startBackgroundCopy();
    ASSERT_TRUE(doc.deleteRange(0, 1000, ChannelSel::Both));  // waits for the copy
    EXPECT_FALSE(doc.samples().hasSource());
    EXPECT_FALSE(doc.backgroundCopyRunning());
    const Bytes edited = frames(samples, 1000, kFrames);
    EXPECT_EQ(vestest::documentBytes(doc), edited);

    // Another program cuts the file short and deletes it: the edit stays, and
    // so does what it can take back.
    ASSERT_EQ(::truncate(path.c_str(), 44), 0);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_FALSE(doc.backgroundCopyRunning());
    EXPECT_TRUE(host.messages.empty()) << host.lastMessage();
    ASSERT_TRUE(doc.save(dir.file("kept.wav"), 1));
    CVesSoundDoc reopened(host);
    ASSERT_TRUE(reopened.open(dir.file("kept.wav")));
    EXPECT_EQ(vestest::documentBytes(reopened), edited);
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(vestest::documentBytes(doc), samples);
}

TEST(BackgroundCopy, FileCutShortBeforeItIsCopiedEndsTheRecordingThereWithAMessage)
{
    TempDir dir;
    const std::string path = dir.file("night.wav");
    const Bytes samples = writeWave(path);
    RecordingHost host;
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(path));
    LengthView view;
    doc.attachView(&view, nullptr);
    constexpr std::int64_t kKept = 70001;
    ASSERT_EQ(::truncate(path.c_str(), 44 + kKept * kAlign + 3), 0);  // and a partial frame

    doc.startBackgroundCopy();
    while (doc.backgroundCopyRunning())
        ::usleep(1000);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "The file " + path +
                                    " was cut short by another program while it was being read: the recording now "
                                    "ends after 0.280 s.");
    EXPECT_EQ(doc.lengthFrames(), kKept);
    EXPECT_EQ(view.lengths, std::vector<std::int64_t>{kKept});
    EXPECT_EQ(vestest::documentBytes(doc), frames(samples, 0, kKept));
    ASSERT_TRUE(doc.silence(0, 10, ChannelSel::Left));
    EXPECT_EQ(host.messages.size(), 1u) << "told once";
    doc.detachView(&view);
}

TEST(BackgroundCopy, RecordingsThatAreConvertedOrEmptiedDoNotKeepTheFile)
{
    TempDir dir;
    const std::string path = dir.file("night.wav");
    const Bytes samples = writeWave(path);
    RecordingHost host;
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(path));
    ASSERT_TRUE(doc.samples().hasSource());
    doc.clearDocument();
    EXPECT_FALSE(doc.samples().hasSource()) << "emptying needs no copy";
    EXPECT_EQ(doc.lengthFrames(), 0);
    ASSERT_TRUE(doc.appendSamples(samples.data(), 400));
    EXPECT_EQ(vestest::documentBytes(doc), Bytes(samples.begin(), samples.begin() + 400));

    // Appending to an opened recording copies it in first.
    CVesSoundDoc grown(host);
    ASSERT_TRUE(grown.open(path));
    ASSERT_TRUE(grown.appendSamples(samples.data(), 8));
    EXPECT_EQ(vestest::documentBytes(grown), concat(samples, Bytes(samples.begin(), samples.begin() + 8)));
    EXPECT_TRUE(host.messages.empty()) << host.lastMessage();
}

// A form too large to load stays in the file and is copied across when the
// document is saved in its own type. Cut short by another program before
// then, the save fails with a message instead of faulting on the missing
// pages, and the document saves as a plain wave still.
TEST(BackgroundCopy, FormLeftInAFileCutShortFailsTheSaveWithAMessage)
{
    TempDir dir;
    const std::string path = dir.file("night.wav");
    const Bytes samples = vestest::patternSamples(2, 16, kFrames);
    Bytes file = vestest::riffWave(
        ByteWriter().chunk("fmt ", vestest::pcmFormat(2, 250000, 16)).chunk("data", samples).data());
    const std::size_t large = 65u << 20;  // beyond what is loaded
    const Bytes form = ByteWriter().tag("RIFF").u32(static_cast<std::uint32_t>(large + 4)).tag("XTRA").data();
    const std::size_t formAt = file.size();
    file.insert(file.end(), form.begin(), form.end());
    file.resize(file.size() + large, 0x5A);
    vestest::writeFile(path, file);

    RecordingHost host;
    CVesSoundDoc doc(host);
    ASSERT_TRUE(doc.open(path));
    ASSERT_TRUE(doc.finishBackgroundCopy());
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(formAt + 12 + (1 << 20))), 0);

    const std::string own = dir.file("own.wav");
    EXPECT_FALSE(doc.save(own, 9));
    EXPECT_EQ(host.lastMessage(), "Disk write error! Disk full or write protected?");
    EXPECT_FALSE(vestest::fileExists(own));
    ASSERT_TRUE(doc.save(dir.file("plain.wav"), 1));
    CVesSoundDoc reopened(host);
    ASSERT_TRUE(reopened.open(dir.file("plain.wav")));
    EXPECT_EQ(vestest::documentBytes(reopened), samples);
}
