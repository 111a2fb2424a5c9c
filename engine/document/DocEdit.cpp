// Editing a document: silence, volume, reverse, delete, cut, copy, paste,
// undo and Copy Ascii, each on an interval of frames and a channel selection
// (left, right or both; a mono document always works on whole frames).
//
// Everything works piece by piece through mapped views of the stores, so no
// buffer of the interval's size is ever needed. An operation the user cancels
// leaves the recording as it was: in-place operations write their undo copy
// back, and operations that move the rest of the recording finish their move
// and are then undone.
#include "document/CVesSoundDoc.h"

#include "core/LoggCls.h"
#include "document/SampleCodec.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstring>

namespace {

CVesSoundDoc* g_clipboardDoc = nullptr;

}  // namespace

// The shape of an edit: which frames, and which bytes of each frame.
struct CVesSoundDoc::Span {
    std::int64_t start = 0;  // frames, ordered
    std::int64_t end = 0;
    ChannelSel channel = ChannelSel::Both;  // left or right only for a single channel of a stereo document
    bool single = false;
    int sampleBytes = 2;
    int align = 2;
    int offset = 0;          // byte of the channel's sample within a frame
    std::int64_t frames() const { return end - start; }
    // Bytes a frame takes in a copy: one sample for a single channel, else the frame.
    int copyBytes() const { return single ? sampleBytes : align; }
};

CVesSoundDoc::Span CVesSoundDoc::editSpan(std::int64_t start, std::int64_t end, ChannelSel channel) const
{
    Span s;
    if (end >= 0 && end < start)
        std::swap(start, end);
    const std::int64_t length = lengthFrames();
    s.start = std::clamp<std::int64_t>(start, 0, length);
    s.end = std::clamp<std::int64_t>(end < 0 ? start : end, s.start, length);
    s.sampleBytes = std::max(1, m_format.bitsPerSample / 8);
    s.align = std::max<int>(1, m_format.blockAlign);
    s.single = m_format.channels == 2 && channel != ChannelSel::Both;
    s.channel = s.single ? channel : ChannelSel::Both;
    s.offset = s.single && channel == ChannelSel::Right ? s.sampleBytes : 0;
    return s;
}

bool CVesSoundDoc::progressStep(const char* text, std::int64_t done, std::int64_t total, int piece)
{
    if (piece < 3)  // progress shows from the fourth piece on
        return !m_cancelRequested;
    if (!m_host.progress(text, done, total))
        m_cancelRequested = true;
    return !m_cancelRequested;
}

bool CVesSoundDoc::copyRangeToStore(const Span& span, FileCls& target, const char* progressText)
{
    const int cb = span.copyBytes();
    const std::int64_t size = span.frames() * cb;
    target.releaseViews();
    if (!target.setFileSize(size))
        return false;
    // A single 24-bit channel copied for pasting keeps at most 0x7FFF00; an
    // undo copy keeps the samples exactly as they were.
    const bool clamp24 = span.single && span.sampleBytes == 3 && &target == &m_clip;
    std::int64_t done = 0;
    for (int piece = 0; done < span.frames(); ++piece) {
        const std::int64_t srcPos = (span.start + done) * span.align;
        FileViewRef src = m_samples.readView(srcPos, srcPos + span.align);
        FileViewRef dst = target.writeView(done * cb, done * cb + cb);
        if (!src || !dst)
            return false;
        const std::int64_t n = std::min({span.frames() - done, src.available() / span.align, dst.available() / cb, m_editPiece / cb});
        const auto* s = reinterpret_cast<const std::uint8_t*>(src.data());
        auto* d = reinterpret_cast<std::uint8_t*>(dst.data());
        if (!span.single) {
            std::memcpy(d, s, static_cast<size_t>(n * cb));
        } else {
            s += span.offset;
            for (std::int64_t i = 0; i < n; ++i, s += span.align, d += cb) {
                std::memcpy(d, s, static_cast<size_t>(cb));
                if (clamp24)
                    encodeRawSample(d, 3, decodeRawSample(d, 3));
            }
        }
        done += n;
        if (!progressStep(progressText, done, span.frames(), piece))
            return false;
    }
    target.releaseViews();
    target.setPosition(0);
    return true;
}

bool CVesSoundDoc::writeStoreAt(FileCls& source, std::int64_t dstFrame, const Span& shape, std::int64_t frames)
{
    const int cb = shape.copyBytes();
    for (std::int64_t done = 0; done < frames;) {
        const std::int64_t dstPos = (dstFrame + done) * shape.align;
        FileViewRef src = source.readView(done * cb, done * cb + cb);
        FileViewRef dst = m_samples.writeView(dstPos, dstPos + shape.align);
        if (!src || !dst)
            return false;
        const std::int64_t n = std::min({frames - done, src.available() / cb, dst.available() / shape.align, m_editPiece / cb});
        const auto* s = reinterpret_cast<const std::uint8_t*>(src.data());
        auto* d = reinterpret_cast<std::uint8_t*>(dst.data());
        if (!shape.single) {
            std::memcpy(d, s, static_cast<size_t>(n * cb));
        } else {
            d += shape.offset;
            for (std::int64_t i = 0; i < n; ++i, s += cb, d += shape.align)
                std::memcpy(d, s, static_cast<size_t>(cb));
        }
        done += n;
    }
    return true;
}

bool CVesSoundDoc::moveFrames(std::int64_t fromFrame, std::int64_t toFrame, std::int64_t frames, const Span& shape,
                              const char* progressText)
{
    if (frames <= 0 || fromFrame == toFrame)
        return true;
    const int align = shape.align;
    const std::int64_t dist = std::abs(fromFrame - toFrame);
    const bool down = toFrame < fromFrame;  // towards the start: work front to back
    const std::int64_t pieceFrames = std::max<std::int64_t>(1, m_editPiece / align);
    std::int64_t done = 0;
    for (int piece = 0; done < frames; ++piece) {
        const std::int64_t n = std::min(pieceFrames, frames - done);
        const std::int64_t first = down ? done : frames - done - n;  // frame within the moved block
        const std::int64_t src = (fromFrame + first) * align, dst = (toFrame + first) * align;
        const std::int64_t bytes = n * align;
        std::uint8_t* s;
        std::uint8_t* d;
        FileViewRef both, rv, wv;
        if (!shape.single) {
            // Whole frames: the store moves the bytes itself, by the kernel's
            // copy or one mapping of the piece, without a fault per page.
            if (!m_samples.moveBytes(src, dst, bytes))
                return false;
            done += n;
            progressStep(progressText, done, frames, piece);
            continue;
        }
        if (dist * align <= m_editPiece) {
            // Overlapping or close: one view holds both ends, so memmove sees the overlap.
            const std::int64_t lo = std::min(src, dst), hi = std::max(src, dst) + bytes;
            both = m_samples.writeView(lo, hi);
            if (!both || both.available() < hi - lo)
                return false;
            s = reinterpret_cast<std::uint8_t*>(both.data()) + (src - lo);
            d = reinterpret_cast<std::uint8_t*>(both.data()) + (dst - lo);
        } else {
            rv = m_samples.readView(src, src + bytes);
            wv = m_samples.writeView(dst, dst + bytes);
            if (!rv || !wv || rv.available() < bytes || wv.available() < bytes)
                return false;
            s = reinterpret_cast<std::uint8_t*>(rv.data());
            d = reinterpret_cast<std::uint8_t*>(wv.data());
        }
        if (!shape.single) {
            std::memmove(d, s, static_cast<size_t>(bytes));
        } else {
            const int sb = shape.sampleBytes;
            s += shape.offset;
            d += shape.offset;
            if (down) {
                for (std::int64_t i = 0; i < n; ++i)
                    std::memmove(d + i * align, s + i * align, static_cast<size_t>(sb));
            } else {
                for (std::int64_t i = n - 1; i >= 0; --i)
                    std::memmove(d + i * align, s + i * align, static_cast<size_t>(sb));
            }
        }
        done += n;
        progressStep(progressText, done, frames, piece);  // a move always runs to its end
    }
    return true;
}

bool CVesSoundDoc::silenceFrames(std::int64_t startFrame, std::int64_t endFrame, const Span& shape)
{
    const std::uint8_t zero = m_format.bitsPerSample == 8 ? 128 : 0;
    const int align = shape.align;
    for (std::int64_t f = startFrame; f < endFrame;) {
        FileViewRef v = m_samples.writeView(f * align, f * align + align);
        if (!v)
            return false;
        const std::int64_t n = std::min({endFrame - f, v.available() / align, m_editPiece / align});
        auto* d = reinterpret_cast<std::uint8_t*>(v.data());
        if (!shape.single) {
            std::memset(d, zero, static_cast<size_t>(n * align));
        } else {
            for (std::int64_t i = 0; i < n; ++i)
                std::memset(d + i * align + shape.offset, zero, static_cast<size_t>(shape.sampleBytes));
        }
        f += n;
    }
    return true;
}

bool CVesSoundDoc::applySampleOperation(std::int64_t start, std::int64_t end, ChannelSel channel, const ISampOperation& op,
                                        const char* progressText)
{
    if (!finishBackgroundCopy())
        return false;
    const Span span = editSpan(start, end, channel);
    const int sb = span.sampleBytes;
    const int perFrame = span.single ? 1 : m_format.channels;
    std::int64_t done = 0;
    for (int piece = 0; done < span.frames(); ++piece) {
        const std::int64_t pos = (span.start + done) * span.align;
        FileViewRef v = m_samples.writeView(pos, pos + span.align);
        if (!v)
            return false;
        const std::int64_t n = std::min({span.frames() - done, v.available() / span.align, m_editPiece / span.align});
        auto* frame = reinterpret_cast<std::uint8_t*>(v.data()) + span.offset;
        for (std::int64_t i = 0; i < n; ++i, frame += span.align)
            for (int c = 0; c < perFrame; ++c)
                encodeRawSample(frame + c * sb, sb, op.apply(decodeRawSample(frame + c * sb, sb)));
        done += n;
        if (!progressStep(progressText, done, span.frames(), piece))
            return false;
    }
    return true;
}

bool CVesSoundDoc::startUndoRecord(UndoKind kind, std::int64_t start, std::int64_t end, ChannelSel channel)
{
    const Span span = editSpan(start, end, channel);
    m_clip.releaseViews();
    m_undoRecord = UndoRecord{};
    const std::int64_t lengthBefore = lengthFrames();
    if (!copyRangeToStore(span, m_undo, "Copying"))
        return false;
    m_undoRecord.type = kind;
    m_undoRecord.start = span.start;
    m_undoRecord.end = span.end;
    m_undoRecord.channel = span.channel;
    m_undoRecord.lengthBefore = lengthBefore;
    m_undoChannel = span.channel;
    return true;
}

std::string CVesSoundDoc::undoName() const
{
    static const char* const names[] = {"", "Undo Silence", "Undo Cut", "Undo Paste", "Undo Delete",
                                        "Undo Reverse", "Undo Volume", "Undo Filter"};
    const int t = static_cast<int>(m_undoRecord.type);
    if (m_undoRecord.type == UndoKind::None)
        return {};
    return (t > 0 && t < 8) ? names[t] : "Undo";
}

namespace {

// Writes the undo copy back over an in-place edit the user cancelled.
struct CancelGuard {
    bool& flag;
    explicit CancelGuard(bool& f) : flag(f) { flag = false; }
    ~CancelGuard() { flag = false; }
};

}  // namespace

bool CVesSoundDoc::editInPlace(std::int64_t start, std::int64_t end, ChannelSel channel, UndoKind undoKind,
                               const char* progressText, const std::function<bool(const Span&)>& work)
{
    if (!finishBackgroundCopy())
        return false;
    if (!hasSelection(start, end))
        return false;
    CancelGuard guard(m_cancelRequested);
    const Span span = editSpan(start, end, channel);
    const bool withUndo = undoKind != UndoKind::None;
    if (withUndo && !startUndoRecord(undoKind, start, end, channel))
        return false;
    m_host.beginOperation(progressText);
    const bool ok = work(span);
    m_host.endOperation();
    if (!ok && withUndo) {
        // Failed or cancelled: the frames as they were, from the undo copy.
        writeStoreAt(m_undo, span.start, span, span.frames());
        m_undoRecord = UndoRecord{};
        updateAllViews(viewupdate::Repaint{});
        return false;
    }
    // Without an undo copy a failure leaves part of the stretch changed.
    m_modified = true;
    updateAllViews(viewupdate::Repaint{});
    return ok;
}

bool CVesSoundDoc::silence(std::int64_t start, std::int64_t end, ChannelSel channel, bool noUndo)
{
    return editInPlace(start, end, channel, noUndo ? UndoKind::None : UndoKind::Silence, "Silencing",
                       [this](const Span& span) {
                           std::int64_t done = 0;
                           bool ok = true;
                           for (int piece = 0; ok && done < span.frames(); ++piece) {
                               const std::int64_t n = std::min(span.frames() - done,
                                                               std::max<std::int64_t>(1, m_editPiece / span.align));
                               ok = silenceFrames(span.start + done, span.start + done + n, span) &&
                                    progressStep("Silencing", done + n, span.frames(), piece);
                               done += n;
                           }
                           return ok;
                       });
}

bool CVesSoundDoc::volume(std::int64_t start, std::int64_t end, ChannelSel channel, int percent)
{
    return editInPlace(start, end, channel, UndoKind::Volume, "Changing volume", [&](const Span&) {
        return applySampleOperation(start, end, channel, SampOpVolume(percent), "Changing volume");
    });
}

bool CVesSoundDoc::processFrames(std::int64_t start, std::int64_t end, ChannelSel channel, UndoKind kind,
                                 const char* progressText, const FrameProcessor& process)
{
    return editInPlace(start, end, channel, kind, progressText, [&](const Span& span) {
        bool ok = true;
        std::int64_t done = 0;
        for (int piece = 0; ok && done < span.frames(); ++piece) {
            const std::int64_t pos = (span.start + done) * span.align;
            FileViewRef v = m_samples.writeView(pos, pos + span.align);
            if (!v)
                return false;
            const std::int64_t n = std::min({span.frames() - done, v.available() / span.align, m_editPiece / span.align});
            ok = process(reinterpret_cast<std::uint8_t*>(v.data()), n);
            done += n;
            ok = ok && progressStep(progressText, done, span.frames(), piece);
        }
        return ok;
    });
}

bool CVesSoundDoc::reverse(std::int64_t start, std::int64_t end, ChannelSel channel)
{
    return editInPlace(start, end, channel, UndoKind::Reverse, "Reversing", [this](const Span& span) {
        const int cb = span.copyBytes();
        const std::int64_t frames = span.frames();
        bool ok = true;
        std::int64_t done = 0;
        for (int piece = 0; ok && done < frames; ++piece) {
            // Frame i of the interval gets the saved frame (frames − 1 − i).
            const std::int64_t dstPos = (span.start + done) * span.align;
            FileViewRef dst = m_samples.writeView(dstPos, dstPos + span.align);
            if (!dst)
                return false;
            const std::int64_t n = std::min({frames - done, dst.available() / span.align, m_editPiece / cb});
            const std::int64_t lowFrame = frames - done - n;  // the saved frames [lowFrame, frames - done)
            FileViewRef src = m_undo.readView(lowFrame * cb, (frames - done) * cb);
            if (!src || src.available() < n * cb)
                return false;
            const auto* saved = reinterpret_cast<const std::uint8_t*>(src.data());
            auto* d = reinterpret_cast<std::uint8_t*>(dst.data()) + span.offset;
            for (std::int64_t i = 0; i < n; ++i, d += span.align)
                std::memcpy(d, saved + (n - 1 - i) * cb, static_cast<size_t>(cb));
            done += n;
            ok = progressStep("Reversing", done, frames, piece);
        }
        return ok;
    });
}

void CVesSoundDoc::shiftMarks(std::int64_t from, std::int64_t removedEnd, std::int64_t shift, ChannelSel channel)
{
    const bool all = channel == ChannelSel::Both || m_format.channels < 2;
    std::vector<AnaMarkSave> kept;
    for (auto& m : m_marks) {
        if (!all && m.m_chan != channelSelCode(channel)) {
            kept.push_back(m);
            continue;
        }
        if (m.m_posX >= from && m.m_posX < removedEnd)
            continue;  // inside the removed stretch
        if (m.m_posX >= removedEnd)
            m.m_posX += shift;
        kept.push_back(m);
    }
    if (kept.size() != m_marks.size())
        m_activeMark = -1;
    m_marks.swap(kept);
}

bool CVesSoundDoc::deleteRange(std::int64_t start, std::int64_t end, ChannelSel channel, bool noUndo, UndoKind undoKind)
{
    if (!finishBackgroundCopy())
        return false;
    if (!hasSelection(start, end))
        return false;
    CancelGuard guard(m_cancelRequested);
    const Span span = editSpan(start, end, channel);
    if (!noUndo) {
        if (!startUndoRecord(undoKind, start, end, channel))
            return false;
        m_undoRecord.end = m_undoRecord.start;  // undoing inserts at the start
    }
    const std::int64_t length = lengthFrames();
    m_host.beginOperation("Deleting");
    bool ok;
    if (!span.single) {
        // Whole frames: the store moves the shorter side.
        int piece = 0;
        ok = m_samples.removeRange(span.start * span.align, span.frames() * span.align,
                                   [&](std::int64_t done, std::int64_t total) {
                                       progressStep("Deleting", done, total, piece++);
                                   });
    } else {
        ok = moveFrames(span.end, span.start, length - span.end, span, "Deleting") &&
             silenceFrames(length - span.frames(), length, span);
    }
    m_host.endOperation();
    m_modified = true;
    setLengthFrames(lengthFrames());
    if (!noUndo && span.frames() > 0)
        shiftMarks(span.start, span.end, -span.frames(), span.channel);
    updateAllViews(viewupdate::Repaint{});
    if (ok && !noUndo && m_cancelRequested) {
        undo();
        return false;
    }
    return ok;
}

bool CVesSoundDoc::copy(std::int64_t start, std::int64_t end, ChannelSel channel)
{
    if (!hasSelection(start, end))
        return false;
    CancelGuard guard(m_cancelRequested);
    const Span span = editSpan(start, end, channel);
    m_host.beginOperation("Copying");
    m_undo.releaseViews();
    const bool ok = copyRangeToStore(span, m_clip, "Copying");
    m_host.endOperation();
    if (!ok) {
        m_clip.setFileSize(0);
        return false;
    }
    m_clipChannel = span.channel;
    g_clipboardDoc = this;
    return true;
}

bool CVesSoundDoc::cut(std::int64_t start, std::int64_t end, ChannelSel channel)
{
    if (!hasSelection(start, end))
        return false;
    return copy(start, end, channel) && deleteRange(start, end, channel, false, UndoKind::Cut);
}

CVesSoundDoc* CVesSoundDoc::clipboardDocument()
{
    return g_clipboardDoc;
}

void CVesSoundDoc::forgetClipboardDocument()
{
    g_clipboardDoc = nullptr;
}

bool CVesSoundDoc::canPaste() const
{
    const CVesSoundDoc* clip = g_clipboardDoc;
    if (!clip)
        return false;
    const bool clipSingle = clip->m_clipChannel != ChannelSel::Both || clip->m_format.channels == 1;
    return clipSingle || m_format.channels == 2 || lengthFrames() == 0;
}

bool CVesSoundDoc::paste(std::int64_t start, std::int64_t end, ChannelSel channel, bool fromUndo)
{
    if (!finishBackgroundCopy())
        return false;
    if (fromUndo)
        return pasteFrom(m_undo, m_undoChannel, start, end, channel, true);
    CVesSoundDoc* clip = g_clipboardDoc;
    if (!clip) {
        m_host.message("No data to paste!");
        return false;
    }
    if (clip != this) {
        const bool clipBoth = clip->m_clipChannel == ChannelSel::Both && clip->m_format.channels == 2;
        if (lengthFrames() == 0) {
            SoundFormat f = clip->m_format;
            f.channels = clipBoth ? 2 : 1;
            setFormat(f);
        }
        if (clip->m_format.formatTag != m_format.formatTag) {
            m_host.message("Different data formats in clipboard data and in data file.");
            return false;
        }
        if (clip->m_format.samplesPerSec != m_format.samplesPerSec) {
            m_host.message("Different sampling rates in clipboard data and in data file.");
            return false;
        }
        if (clip->m_format.bitsPerSample != m_format.bitsPerSample) {
            m_host.message("Different sound format (sample size) in clipboard data and in data file.");
            return false;
        }
        if (m_format.channels == 1 && clipBoth) {
            m_host.message("Clipboard data in stereo but data file in mono.");
            return false;
        }
        // Take the clip over into this document's own clip store.
        m_clip.releaseViews();
        clip->m_clip.releaseViews();
        const std::int64_t size = clip->m_clip.length();
        if (!m_clip.setFileSize(size))
            return false;
        for (std::int64_t pos = 0; pos < size;) {
            FileViewRef s = clip->m_clip.readView(pos, pos + 1);
            FileViewRef d = m_clip.writeView(pos, pos + 1);
            if (!s || !d)
                return false;
            const std::int64_t n = std::min({s.available(), d.available(), size - pos});
            std::memcpy(d.data(), s.data(), static_cast<size_t>(n));
            pos += n;
        }
        // A clip from a mono recording is one channel's samples.
        m_clipChannel = clipBoth ? ChannelSel::Both : (clip->m_format.channels == 2 ? clip->m_clipChannel : ChannelSel::Left);
    }
    return pasteFrom(m_clip, m_clipChannel, start, end, channel, false);
}

bool CVesSoundDoc::pasteFrom(FileCls& source, ChannelSel sourceChannel, std::int64_t start, std::int64_t end, ChannelSel channel,
                             bool fromUndo)
{
    CancelGuard guard(m_cancelRequested);
    start = std::max<std::int64_t>(0, start);
    end = end < 0 ? 0 : end;
    std::int64_t insert = start;
    if (end > 0 && end < start)
        insert = end;
    const bool stereo = m_format.channels == 2;
    const bool sourceSingle = stereo && sourceChannel != ChannelSel::Both;
    const int sampleBytes = std::max(1, m_format.bitsPerSample / 8);
    const int align = std::max<int>(1, m_format.blockAlign);
    source.releaseViews();
    const std::int64_t sourceBytes = source.length();
    const std::int64_t pasted = sourceSingle ? sourceBytes / sampleBytes : sourceBytes / align;
    const bool intervalGiven = end > 0 && end != start;
    const std::int64_t intervalLength = intervalGiven ? std::abs(end - start) : 0;
    const ChannelSel targetChannel = sourceSingle ? (channel != ChannelSel::Both ? channel : sourceChannel) : ChannelSel::Both;

    if (!fromUndo) {
        if (!startUndoRecord(UndoKind::Paste, start, intervalGiven ? end : start, channel))
            return false;
        m_undoRecord.start = insert;
        m_undoRecord.pasteStart = insert;
        m_undoRecord.pasteEnd = insert + pasted;
    }
    m_host.beginOperation("Pasting");
    bool ok = true;
    if (intervalGiven)
        ok = deleteRange(start, end, channel, true, UndoKind::Delete);
    // An insertion point past the end: extend with silence.
    if (ok && insert > lengthFrames()) {
        const std::int64_t old = lengthFrames();
        ok = m_samples.setLength(insert * align) && silenceFrames(old, insert, editSpan(0, 0, ChannelSel::Both));
    }
    if (ok && pasted > 0) {
        const std::int64_t old = lengthFrames();
        const Span whole = editSpan(0, 0, ChannelSel::Both);
        if (!sourceSingle) {
            // Whole frames: the store opens the gap moving the shorter side.
            int piece = 0;
            ok = m_samples.insertRange(insert * align, pasted * align,
                                       [&](std::int64_t done, std::int64_t total) {
                                           progressStep("Pasting", done, total, piece++);
                                       }) &&
                 writeStoreAt(source, insert, whole, pasted);
        } else {
            const Span one = editSpan(0, 0, targetChannel);
            // The copy into the channel is one pass: a long one says so at its
            // start and end. Cancel is honoured after it, by the undo below.
            const bool longCopy = pasted * one.copyBytes() >= 3 * m_editPiece;
            const auto copyProgress = [&](std::int64_t done) {
                if (longCopy)
                    progressStep("Pasting (copy):", done, pasted, 3);
                return true;
            };
            ok = m_samples.setLength((old + pasted) * align) && silenceFrames(old, old + pasted, whole) &&
                 moveFrames(insert, insert + pasted, old - insert, one, "Pasting (move):") &&
                 silenceFrames(insert, insert + pasted, one) && copyProgress(0) &&
                 writeStoreAt(source, insert, one, pasted) && copyProgress(pasted);
        }
    }
    m_host.endOperation();
    m_modified = true;
    setLengthFrames(lengthFrames());
    if (intervalLength > 0 || pasted > 0) {
        const std::int64_t removedEnd = insert + intervalLength;
        shiftMarks(insert, intervalGiven ? removedEnd : insert, pasted - intervalLength, sourceSingle ? targetChannel : ChannelSel::Both);
    }
    updateAllViews(viewupdate::Repaint{});
    if (ok && !fromUndo && m_cancelRequested) {
        undo();
        return false;
    }
    return ok;
}

bool CVesSoundDoc::undo()
{
    if (!finishBackgroundCopy())
        return false;
    const UndoRecord rec = m_undoRecord;
    if (rec.type == UndoKind::None)
        return false;
    m_host.status(undoName());
    m_undo.releaseViews();
    m_undo.setPosition(0);
    bool ok;
    if (rec.type == UndoKind::Silence || rec.type == UndoKind::Reverse || rec.type == UndoKind::Volume ||
        rec.type == UndoKind::Filter) {
        // In-place edits: the saved samples go back where they were.
        const Span span = editSpan(rec.start, rec.end, m_undoChannel);
        ok = writeStoreAt(m_undo, span.start, span, span.frames());
        m_modified = true;
        updateAllViews(viewupdate::Repaint{});
    } else if (rec.type == UndoKind::Paste) {
        ok = pasteFrom(m_undo, m_undoChannel, rec.pasteStart, rec.pasteEnd, m_undoChannel, true);
        // A paste past the end, or into one channel, made the recording longer
        // than the saved samples account for.
        if (ok && lengthFrames() != rec.lengthBefore) {
            ok = m_samples.setLength(rec.lengthBefore * m_format.blockAlign);
            setLengthFrames(lengthFrames());
            updateAllViews(viewupdate::Repaint{});
        }
    } else if (m_format.channels == 2 && m_undoChannel != ChannelSel::Both) {
        // One channel was deleted: its samples moved towards the start and its
        // end was silenced, the length stayed. Move them back and put the
        // deleted samples in again; the silence falls off the end.
        const Span one = editSpan(0, 0, m_undoChannel);
        const std::int64_t d = m_undo.length() / one.sampleBytes;
        const std::int64_t length = lengthFrames();
        const std::int64_t start = std::min(rec.start, length);
        const std::int64_t n = std::min(d, length - start);
        ok = moveFrames(start, start + n, length - start - n, one, "Pasting (move):") && writeStoreAt(m_undo, start, one, n);
        m_modified = true;
        shiftMarks(start, start, n, m_undoChannel);
        updateAllViews(viewupdate::Repaint{});
    } else {
        ok = pasteFrom(m_undo, m_undoChannel, rec.start, rec.start, m_undoChannel, true);
    }
    m_undoRecord = UndoRecord{};
    return ok;
}

bool CVesSoundDoc::generateAscii(std::int64_t start, std::int64_t end, ChannelSel channel, std::FILE* out)
{
    const Span span = editSpan(start, end, channel);
    const int sb = span.sampleBytes;
    const bool both = !span.single && m_format.channels == 2;
    std::int64_t done = 0;
    m_host.beginOperation("Generating Ascii");
    for (int piece = 0; done < span.frames(); ++piece) {
        const std::int64_t pos = (span.start + done) * span.align;
        FileViewRef v = m_samples.readView(pos, pos + span.align);
        if (!v) {
            m_host.endOperation();
            return false;
        }
        const std::int64_t n = std::min({span.frames() - done, v.available() / span.align, std::int64_t(65536)});
        const auto* f = reinterpret_cast<const std::uint8_t*>(v.data()) + span.offset;
        char line[64];
        for (std::int64_t i = 0; i < n; ++i, f += span.align) {
            // 8-bit samples are written as the stored byte read as a signed number.
            auto value = [&](const std::uint8_t* p) -> long long {
                return sb == 1 ? static_cast<std::int8_t>(p[0]) : static_cast<long long>(decodeRawSample(p, sb));
            };
            const int len = both ? std::snprintf(line, sizeof line, "%lld\t%lld\r\n", value(f), value(f + sb))
                                 : std::snprintf(line, sizeof line, "%lld\r\n", value(f));
            if (std::fwrite(line, 1, static_cast<size_t>(len), out) != static_cast<size_t>(len)) {
                m_host.endOperation();
                m_host.message("Error while writing ascii data to temporary file: " + vkit::systemErrorText(errno ? errno : EIO));
                return false;
            }
        }
        done += n;
        if (!progressStep("Generating Ascii", done, span.frames(), piece)) {
            m_host.endOperation();
            return false;
        }
    }
    m_host.endOperation();
    return true;
}
