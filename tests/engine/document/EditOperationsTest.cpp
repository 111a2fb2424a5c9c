#include "document/CVesSoundDoc.h"
#include "core/ByteOrder.h"
#include "soundfiles/RiffFile.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using vestest::Bytes;
using vestest::RecordingHost;

namespace {

// A plain in-memory model of a recording: one vector of values (relative to
// the zero line) per frame.
struct Model {
    int bits = 16;
    int channels = 1;
    std::vector<std::vector<std::int64_t>> frames;

    int bytes() const { return bits / 8; }

    // The bytes as one little-endian number; 8-bit samples count from 128,
    // wider ones are two's complement (the top bit weighs -2^(bits-1)).
    static std::int64_t decode(const std::uint8_t* p, int bytes)
    {
        std::int64_t u = 0;
        for (int b = bytes - 1; b >= 0; --b)
            u = u * 256 + p[b];
        if (bytes == 1)
            return u - 128;
        const std::int64_t top = std::int64_t{1} << (8 * bytes - 1);
        return u >= top ? u - 2 * top : u;
    }
    static Model fromBytes(const Bytes& b, int bits, int channels)
    {
        Model m;
        m.bits = bits;
        m.channels = channels;
        const int sb = bits / 8;
        for (size_t pos = 0; pos + static_cast<size_t>(sb * channels) <= b.size(); pos += static_cast<size_t>(sb * channels)) {
            std::vector<std::int64_t> f;
            for (int c = 0; c < channels; ++c)
                f.push_back(decode(&b[pos + static_cast<size_t>(c * sb)], sb));
            m.frames.push_back(f);
        }
        return m;
    }
    std::int64_t clip(std::int64_t v) const
    {
        switch (bits) {
        case 8: return std::clamp<std::int64_t>(v, -128, 127);
        case 16: return std::clamp<std::int64_t>(v, -32768, 32767);
        case 24: return std::clamp<std::int64_t>(v, -8388608, 0x7FFF00);
        default: return std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX);
        }
    }
    // Channel indices a selection touches.
    std::vector<int> chans(ChannelSel sel) const
    {
        if (channels == 1 || sel == ChannelSel::Both)
            return channels == 1 ? std::vector<int>{0} : std::vector<int>{0, 1};
        return {index(sel)};
    }
    static int index(ChannelSel sel) { return sel == ChannelSel::Right ? 1 : 0; }
    bool single(ChannelSel sel) const { return channels == 2 && sel != ChannelSel::Both; }

    void silence(std::int64_t s, std::int64_t e, ChannelSel sel)
    {
        for (auto i = s; i < e; ++i)
            for (int c : chans(sel))
                frames[static_cast<size_t>(i)][static_cast<size_t>(c)] = 0;
    }
    void volume(std::int64_t s, std::int64_t e, ChannelSel sel, int pct)
    {
        for (auto i = s; i < e; ++i)
            for (int c : chans(sel)) {
                auto& v = frames[static_cast<size_t>(i)][static_cast<size_t>(c)];
                v = clip(v * pct / 100);
            }
    }
    void reverse(std::int64_t s, std::int64_t e, ChannelSel sel)
    {
        for (int c : chans(sel))
            for (auto a = s, b = e - 1; a < b; ++a, --b)
                std::swap(frames[static_cast<size_t>(a)][static_cast<size_t>(c)], frames[static_cast<size_t>(b)][static_cast<size_t>(c)]);
    }
    void erase(std::int64_t s, std::int64_t e, ChannelSel sel)
    {
        if (!single(sel)) {
            frames.erase(frames.begin() + s, frames.begin() + e);
            return;
        }
        const int c = index(sel);
        const auto n = static_cast<std::int64_t>(frames.size());
        for (auto i = s; i < n; ++i)
            frames[static_cast<size_t>(i)][static_cast<size_t>(c)] = i + (e - s) < n ? frames[static_cast<size_t>(i + e - s)][static_cast<size_t>(c)] : 0;
    }
    // The clip of a copy: whole frames, or the values of one channel.
    std::vector<std::vector<std::int64_t>> copy(std::int64_t s, std::int64_t e, ChannelSel sel) const
    {
        std::vector<std::vector<std::int64_t>> out;
        for (auto i = s; i < e; ++i) {
            if (!single(sel)) {
                out.push_back(frames[static_cast<size_t>(i)]);
            } else {
                std::int64_t v = frames[static_cast<size_t>(i)][static_cast<size_t>(index(sel))];
                if (bits == 24)
                    v = std::min<std::int64_t>(v, 0x7FFF00);
                out.push_back({v});
            }
        }
        return out;
    }
    void insert(std::int64_t at, const std::vector<std::vector<std::int64_t>>& clip, ChannelSel sel)
    {
        const std::vector<std::int64_t> zero(static_cast<size_t>(channels), 0);
        while (static_cast<std::int64_t>(frames.size()) < at)
            frames.push_back(zero);
        if (clip.empty() || clip[0].size() == static_cast<size_t>(channels)) {
            frames.insert(frames.begin() + at, clip.begin(), clip.end());
            return;
        }
        const int c = index(sel);
        const auto p = static_cast<std::int64_t>(clip.size());
        const auto old = static_cast<std::int64_t>(frames.size());
        frames.resize(static_cast<size_t>(old + p), zero);
        for (auto i = old + p - 1; i >= at + p; --i)
            frames[static_cast<size_t>(i)][static_cast<size_t>(c)] = frames[static_cast<size_t>(i - p)][static_cast<size_t>(c)];
        for (std::int64_t i = 0; i < p; ++i)
            frames[static_cast<size_t>(at + i)][static_cast<size_t>(c)] = clip[static_cast<size_t>(i)][0];
    }
    Bytes toBytes() const
    {
        const int sb = bytes();
        Bytes out;
        for (const auto& f : frames)
            for (std::int64_t v : f) {
                std::uint8_t b[4];
                if (sb == 1)
                    b[0] = static_cast<std::uint8_t>(v + 128);
                else
                    writeLe32(b, static_cast<std::uint32_t>(static_cast<std::int32_t>(v)));
                out.insert(out.end(), b, b + sb);
            }
        return out;
    }
};

std::string firstDifference(const Bytes& a, const Bytes& b)
{
    if (a.size() != b.size())
        return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return "first difference at byte " + std::to_string(i);
    return "equal";
}

struct Format {
    int channels, bits;
};

// An operation: an optional first step, then the step that Undo takes back.
struct Op {
    const char* name;
    std::function<bool(CVesSoundDoc&, ChannelSel)> doc;
    std::function<void(Model&, ChannelSel)> model;
    std::function<bool(CVesSoundDoc&, ChannelSel)> firstDoc = nullptr;
    std::function<void(Model&, ChannelSel)> firstModel = nullptr;
};

// The interval of every operation: frames 150..1130 of 1400.
constexpr std::int64_t kS = 150, kE = 1130;

std::vector<Op> operations()
{
    return {
        {"silence", [](CVesSoundDoc& d, ChannelSel ch) { return d.silence(kS, kE, ch); }, [](Model& m, ChannelSel ch) { m.silence(kS, kE, ch); }},
        {"volume200", [](CVesSoundDoc& d, ChannelSel ch) { return d.volume(kE, kS, ch, 200); }, [](Model& m, ChannelSel ch) { m.volume(kS, kE, ch, 200); }},
        {"volume37", [](CVesSoundDoc& d, ChannelSel ch) { return d.volume(kS, kE, ch, 37); }, [](Model& m, ChannelSel ch) { m.volume(kS, kE, ch, 37); }},
        {"reverse", [](CVesSoundDoc& d, ChannelSel ch) { return d.reverse(kS, kE, ch); }, [](Model& m, ChannelSel ch) { m.reverse(kS, kE, ch); }},
        {"delete", [](CVesSoundDoc& d, ChannelSel ch) { return d.deleteRange(kS, kE, ch); }, [](Model& m, ChannelSel ch) { m.erase(kS, kE, ch); }},
        {"cut", [](CVesSoundDoc& d, ChannelSel ch) { return d.cut(kS, kE, ch); },
         [](Model& m, ChannelSel ch) { m.erase(kS, kE, ch); }},
        {"cutThenPaste", [](CVesSoundDoc& d, ChannelSel ch) { return d.paste(40, -1, ch); },
         [](Model& m, ChannelSel ch) { m.insert(40, m.copy(0, 0, ch), ch); },
         [](CVesSoundDoc& d, ChannelSel ch) { return d.cut(kS, kE, ch); },
         [](Model& m, ChannelSel ch) { m.erase(kS, kE, ch); }},
        {"pasteOverSelection", [](CVesSoundDoc& d, ChannelSel ch) { return d.copy(kS, kE, ch) && d.paste(1200, 1300, ch); },
         [](Model& m, ChannelSel ch) {
             const auto clip = m.copy(kS, kE, ch);
             m.erase(1200, 1300, ch);
             m.insert(1200, clip, ch);
         }},
        {"pastePastTheEnd", [](CVesSoundDoc& d, ChannelSel ch) { return d.copy(kS, kE, ch) && d.paste(1500, -1, ch); },
         [](Model& m, ChannelSel ch) { m.insert(1500, m.copy(kS, kE, ch), ch); }},
    };
}

struct Case {
    Format format;
    ChannelSel channel;
    Op op;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.op.name << "_" << c.format.channels << "ch" << c.format.bits << "bit_sel" << channelSelCode(c.channel);
}

std::vector<Case> cases()
{
    std::vector<Case> out;
    for (Format f : {Format{1, 8}, Format{1, 16}, Format{2, 16}, Format{1, 24}, Format{2, 24}, Format{2, 32}, Format{2, 8}})
        for (ChannelSel ch : f.channels == 2 ? std::vector<ChannelSel>{ChannelSel::Left, ChannelSel::Right, ChannelSel::Both}
                                             : std::vector<ChannelSel>{ChannelSel::Both})
            for (const Op& op : operations())
                out.push_back({f, ch, op});
    return out;
}

class EditTable : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(EditTable, MatchesTheModelAndUndoRestoresTheExactBytes)
{
    const Case& c = GetParam();
    RecordingHost host;
    CVesSoundDoc doc(host);
    Bytes pcm = vestest::patternSamples(c.format.channels, c.format.bits, 1400, 17);
    if (c.format.bits == 24) {  // a few samples above the single-channel ceiling
        for (size_t i = 0; i + 2 < pcm.size(); i += 97 * 3) {
            pcm[i] = 0xF5;
            pcm[i + 1] = 0xFF;
            pcm[i + 2] = 0x7F;
        }
    }
    vestest::fillDocument(doc, c.format.channels, c.format.bits, 48000, pcm);
    doc.setEditPieceBytes(500);  // many pieces
    Model model = Model::fromBytes(pcm, c.format.bits, c.format.channels);
    std::vector<std::vector<std::int64_t>> clip;
    if (c.op.firstDoc) {
        ASSERT_TRUE(c.op.firstDoc(doc, c.channel));
        clip = model.copy(kS, kE, c.channel);
        c.op.firstModel(model, c.channel);
    }
    const Bytes before = vestest::documentBytes(doc);
    ASSERT_TRUE(c.op.doc(doc, c.channel)) << host.lastMessage();
    if (c.op.firstDoc)
        model.insert(40, clip, c.channel);  // the paste of what was cut
    else
        c.op.model(model, c.channel);
    const Bytes after = vestest::documentBytes(doc);
    ASSERT_EQ(after.size(), model.toBytes().size());
    ASSERT_TRUE(after == model.toBytes()) << firstDifference(after, model.toBytes());
    ASSERT_TRUE(doc.canUndo());
    ASSERT_TRUE(doc.undo());
    EXPECT_FALSE(doc.canUndo());
    const Bytes undone = vestest::documentBytes(doc);
    EXPECT_TRUE(undone == before) << "undo restores the exact bytes: " << firstDifference(undone, before);
    EXPECT_TRUE(host.messages.empty()) << host.lastMessage();
}

INSTANTIATE_TEST_SUITE_P(CVesSoundDoc, EditTable, ::testing::ValuesIn(cases()), [](const auto& tp) {
    const Case& c = tp.param;
    return std::string(c.op.name) + "_" + std::to_string(c.format.channels) + "ch" + std::to_string(c.format.bits) +
           "bit_sel" + std::to_string(channelSelCode(c.channel));
});

TEST(CVesSoundDoc, EditsNeedASelection)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    const Bytes pcm = vestest::patternSamples(1, 16, 100);
    vestest::fillDocument(doc, 1, 16, 8000, pcm);
    EXPECT_FALSE(CVesSoundDoc::hasSelection(30, -1));
    EXPECT_FALSE(CVesSoundDoc::hasSelection(30, 30));
    EXPECT_FALSE(doc.silence(30, -1, ChannelSel::Both));
    EXPECT_FALSE(doc.volume(30, -1, ChannelSel::Both, 200));
    EXPECT_FALSE(doc.reverse(30, 30, ChannelSel::Both));
    EXPECT_FALSE(doc.deleteRange(30, -1, ChannelSel::Both));
    EXPECT_FALSE(doc.cut(30, -1, ChannelSel::Both));
    EXPECT_FALSE(doc.canUndo());
    EXPECT_EQ(vestest::documentBytes(doc), pcm);
}

TEST(CVesSoundDoc, DeleteMovesAndRemovesMarks)
{
    RecordingHost host;
    CVesSoundDoc doc(host);
    vestest::fillDocument(doc, 2, 16, 8000, vestest::patternSamples(2, 16, 1000));
    for (std::int64_t at : {50, 150, 250}) {
        AnaMarkSave m;
        m.m_posX = at;
        m.m_chan = 3;
        doc.addMark(m);
    }
    AnaMarkSave right;
    right.m_posX = 300;
    right.m_chan = 2;
    doc.addMark(right);
    ASSERT_TRUE(doc.deleteRange(100, 200, ChannelSel::Both));
    ASSERT_EQ(doc.marks().size(), 3u);
    EXPECT_EQ(doc.marks()[0].m_posX, 50);
    EXPECT_EQ(doc.marks()[1].m_posX, 150) << "250 moved back by 100";
    EXPECT_EQ(doc.marks()[2].m_posX, 200);
    EXPECT_EQ(doc.lengthFrames(), 900);
    // A delete in the left channel leaves the length and the right channel's marks.
    ASSERT_TRUE(doc.deleteRange(0, 100, ChannelSel::Left));
    EXPECT_EQ(doc.lengthFrames(), 900);
    EXPECT_EQ(doc.marks()[2].m_posX, 200);
}

TEST(CVesSoundDoc, PasteChecksTheFormatOfAnotherDocument)
{
    RecordingHost host;
    CVesSoundDoc a(host), b(host), stereo(host), empty(host);
    vestest::fillDocument(a, 1, 16, 44100, vestest::patternSamples(1, 16, 100));
    vestest::fillDocument(b, 1, 16, 48000, vestest::patternSamples(1, 16, 100));
    vestest::fillDocument(stereo, 2, 16, 44100, vestest::patternSamples(2, 16, 100));
    CVesSoundDoc::forgetClipboardDocument();
    EXPECT_FALSE(b.paste(0, -1, ChannelSel::Both));
    EXPECT_EQ(host.lastMessage(), "No data to paste!");
    ASSERT_TRUE(a.copy(10, 60, ChannelSel::Both));
    EXPECT_EQ(CVesSoundDoc::clipboardDocument(), &a);
    EXPECT_FALSE(b.paste(0, -1, ChannelSel::Both));
    EXPECT_EQ(host.lastMessage(), "Different sampling rates in clipboard data and in data file.");
    EXPECT_EQ(b.lengthFrames(), 100);
    // A mono clip goes into one channel of a stereo document.
    ASSERT_TRUE(stereo.paste(10, -1, ChannelSel::Left));
    EXPECT_EQ(stereo.lengthFrames(), 150);
    // An empty document takes the clip's format.
    ASSERT_TRUE(empty.paste(0, -1, ChannelSel::Both));
    EXPECT_EQ(empty.format().samplesPerSec, 44100u);
    EXPECT_EQ(empty.lengthFrames(), 50);
    ASSERT_TRUE(stereo.copy(0, 20, ChannelSel::Both));
    EXPECT_FALSE(a.paste(0, -1, ChannelSel::Both));
    EXPECT_EQ(host.lastMessage(), "Clipboard data in stereo but data file in mono.");
}

TEST(CVesSoundDoc, OneChannelClipIntoAStereoRecording)
{
    RecordingHost host;
    CVesSoundDoc src(host), doc(host);
    vestest::fillDocument(src, 2, 16, 8000, vestest::patternSamples(2, 16, 50, 5));
    const Bytes pcm = vestest::patternSamples(2, 16, 100, 6);
    vestest::fillDocument(doc, 2, 16, 8000, pcm);
    ASSERT_TRUE(src.copy(0, 50, ChannelSel::Left));
    ASSERT_TRUE(doc.paste(10, -1, ChannelSel::Left));
    const Bytes after = vestest::documentBytes(doc);
    ASSERT_EQ(after.size(), 150u * 4);
    for (size_t f = 0; f < 150; ++f) {
        const std::int16_t right = static_cast<std::int16_t>(readLe16(&after[f * 4 + 2]));
        const std::int16_t was = f < 100 ? static_cast<std::int16_t>(readLe16(&pcm[f * 4 + 2])) : 0;
        ASSERT_EQ(right, was) << "the right channel keeps its timing, frame " << f;
    }
    // In small pieces the long operation names both of its passes.
    RecordingHost slow;
    CVesSoundDoc piecewise(slow);
    vestest::fillDocument(piecewise, 2, 16, 8000, pcm);
    piecewise.setEditPieceBytes(8);
    ASSERT_TRUE(piecewise.paste(10, -1, ChannelSel::Left));
    EXPECT_EQ(slow.progressTexts, (std::vector<std::string>{"Pasting (move):", "Pasting (copy):"}));
    EXPECT_EQ(vestest::documentBytes(piecewise), after);
}

TEST(CVesSoundDoc, AsciiTextOfFrames)
{
    struct Case {
        int channels, bits, channel;
        Bytes pcm;
        const char* text;
    } cases[] = {
        {2, 16, 3, vestest::ByteWriter().u16(1).u16(0xFFFF).u16(300).u16(0x8000).u16(0).u16(7).data(),
         "1\t-1\r\n300\t-32768\r\n0\t7\r\n"},
        {2, 16, 2, vestest::ByteWriter().u16(1).u16(0xFFFF).u16(300).u16(2).data(), "-1\r\n2\r\n"},
        {1, 8, 3, Bytes{200, 128, 5}, "-56\r\n-128\r\n5\r\n"},  // the stored byte read as signed
        {1, 24, 3, Bytes{0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80}, "-1\r\n-8388608\r\n"},
    };
    for (const auto& c : cases) {
        RecordingHost host;
        CVesSoundDoc doc(host);
        vestest::fillDocument(doc, c.channels, c.bits, 8000, c.pcm);
        char* buf = nullptr;
        size_t size = 0;
        std::FILE* out = open_memstream(&buf, &size);
        ASSERT_TRUE(doc.generateAscii(0, doc.lengthFrames(), channelSelFromCode(c.channel), out));
        std::fclose(out);
        EXPECT_EQ(std::string(buf, size), c.text);
        std::free(buf);
    }
}

TEST(CVesSoundDoc, CancelledEditsLeaveTheRecordingAsItWas)
{
    for (int which = 0; which < 3; ++which) {
        RecordingHost host;
        CVesSoundDoc doc(host);
        const Bytes pcm = vestest::patternSamples(2, 24, 40000, 3);
        vestest::fillDocument(doc, 2, 24, 48000, pcm);
        doc.setEditPieceBytes(6000);
        host.cancelAfterFirstProgress = true;
        bool ok = true;
        switch (which) {
        case 0: ok = doc.volume(100, 39000, ChannelSel::Both, 300); break;
        case 1: ok = doc.reverse(100, 39000, ChannelSel::Left); break;
        case 2: ok = doc.deleteRange(100, 20000, ChannelSel::Both); break;
        }
        EXPECT_FALSE(ok) << which;
        EXPECT_EQ(vestest::documentBytes(doc), pcm) << which;
        EXPECT_EQ(doc.lengthFrames(), 40000) << which;
    }
}

TEST(CVesSoundDoc, EditsCrossViewEdgesOfALargeStore)
{
    // More than two 4 MiB views, with small views so that pieces and 6-byte
    // frames cross many view edges.
    RecordingHost host;
    CVesSoundDoc doc(host);
    const std::int64_t frames = (9 << 20) / 6 + 333;
    const Bytes pcm = vestest::patternSamples(2, 24, frames, 11);
    doc.samples().setSectionSize(64 * 1024);
    doc.undoStore().setSectionSize(64 * 1024);
    doc.clipStore().setSectionSize(64 * 1024);
    vestest::fillDocument(doc, 2, 24, 384000, pcm);
    doc.setEditPieceBytes(40000);
    Model model = Model::fromBytes(pcm, 24, 2);
    ASSERT_TRUE(doc.deleteRange(1000, 700001, ChannelSel::Right));
    model.erase(1000, 700001, ChannelSel::Right);
    ASSERT_TRUE(doc.reverse(5, frames - 7, ChannelSel::Both));
    model.reverse(5, frames - 7, ChannelSel::Both);
    EXPECT_EQ(vestest::documentBytes(doc), model.toBytes());
    ASSERT_TRUE(doc.undo());
    model.reverse(5, frames - 7, ChannelSel::Both);
    ASSERT_TRUE(doc.deleteRange(17, 1500017, ChannelSel::Both));
    model.erase(17, 1500017, ChannelSel::Both);
    EXPECT_EQ(vestest::documentBytes(doc), model.toBytes());
}
