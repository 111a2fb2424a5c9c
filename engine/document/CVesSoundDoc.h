// The sound document: one recording, however long, with everything that
// belongs to it. Its samples live in a growable temporary store exactly as in
// a wave data chunk (interleaved little-endian frames; 8-bit unsigned with 128
// as zero, 16/24/32-bit signed); they are never held in memory whole. The
// document opens recordings of every file type through the readers of
// soundfiles/VesFileReaders.h, adopting the recording a reader loads, and
// saves them in every writable type.
//
// Frames and byte offsets are signed 64-bit; −1 means "not given" (for an
// interval end: up to the end of the recording).
#pragma once

#include "core/FileCls.h"
#include "document/ChannelSelection.h"
#include "document/DocHost.h"
#include "records/SoundFormat.h"
#include "records/VesAnaParms.h"
#include "records/VesRecData.h"
#include "records/VesSettings.h"
#include "soundfiles/LoadedRecording.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace VkitXML {
class Node;
}
class WaveFile;
class RiffCls;
class GuanoRecord;

// What the single level of undo takes back.
enum class UndoKind : int {
    None = 0,
    Silence = 1,
    Cut = 2,
    Paste = 3,
    Delete = 4,
    Reverse = 5,
    Volume = 6,
    Filter = 7,
};

// The single level of undo of a document.
struct UndoRecord {
    UndoKind type = UndoKind::None;
    std::int64_t start = 0;
    std::int64_t end = 0;
    ChannelSel channel = ChannelSel::Both;
    std::int64_t pasteStart = 0;
    std::int64_t pasteEnd = 0;
    std::int64_t lengthBefore = 0;  // frames before the edit
};

// A per-sample operation: sample value in, new value out.
class ISampOperation {
public:
    virtual ~ISampOperation() = default;
    virtual std::int64_t apply(std::int64_t value) const = 0;
};

// A fixed value: the zero line (128 for 8-bit documents, 0 otherwise).
class SampOpZero : public ISampOperation {
public:
    explicit SampOpZero(std::int64_t zero) : m_zero(zero) {}
    std::int64_t apply(std::int64_t) const override { return m_zero; }

private:
    std::int64_t m_zero;
};

// value × percent / 100 in integer arithmetic, truncated toward zero.
class SampOpVolume : public ISampOperation {
public:
    explicit SampOpVolume(std::int64_t percent) : m_percent(percent) {}
    std::int64_t apply(std::int64_t value) const override { return value * m_percent / 100; }

private:
    std::int64_t m_percent;
};

class CVesSoundDoc {
public:
    static constexpr const char* kConvertedSuffix = LoadedRecording::kConvertedSuffix;

    // A new, empty document with the format of the default data settings.
    explicit CVesSoundDoc(IDocHost& host, const VesDefData& defaults = VesDefData());
    ~CVesSoundDoc();
    CVesSoundDoc(const CVesSoundDoc&) = delete;
    CVesSoundDoc& operator=(const CVesSoundDoc&) = delete;

    IDocHost& host() { return m_host; }
    int number() const { return m_number; }
    const VesDefData& defaults() const { return m_defaults; }

    // ---- opening and saving ----
    // Opens `path` (which may carry a type tag): the reader for its type
    // loads the recording and the document adopts it. On failure the reader's
    // message, or "Unable to open file <path>!", goes to the host and the
    // document is left empty.
    bool open(const std::string& path);
    // Takes over a loaded recording as the document's content under `path`:
    // format, records, marks, view parameter sets, segments, kept forms and
    // the sample store itself (its bytes are not copied). Announces the length.
    void adopt(LoadedRecording&& recording, const std::string& path);
    // Writes frames [start, end) (end −1: to the end) as `type` to `path`
    // through the save dispatcher. Messages go to the host.
    bool save(const std::string& path, int type, std::int64_t start = 0, std::int64_t end = -1);
    // Save and Save As without a dialog: `path` empty means the pending save
    // path, else the document's path; the type comes from the path's tag, else
    // the save type (11 becomes 9). With `replace` the document takes the
    // tagged path and the written type; otherwise the copy only gets written.
    bool doSave(const std::string& path, bool replace = true);

    const std::string& path() const { return m_path; }
    void setPath(const std::string& path) { m_path = path; }
    const std::string& pendingSavePath() const { return m_pendingSavePath; }
    std::string title() const;
    const std::string& titleSuffix() const { return m_titleSuffix; }
    const std::string& typeName() const { return m_typeName; }
    int saveType() const { return m_saveType; }
    void setSaveType(int type) { m_saveType = type; }
    bool modified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }

    // ---- format, length and conversions ----
    const SoundFormat& format() const { return m_format; }
    // Sets the format and derives the block size.
    void setFormat(const SoundFormat& format);
    int blockAlign() const { return m_format.blockAlign; }
    std::int64_t blockSize() const { return m_blockSize; }
    // Block size for a requested byte count (one sixteenth of a second when 0):
    // at least 256 frames, rounded down to 64 bytes and to the block alignment.
    static std::int64_t computeBlockSize(const SoundFormat& format, std::int64_t requestedBytesPerSecond = 0);

    std::int64_t lengthFrames() const;
    std::int64_t lengthBytes() const;
    // Announces a new length to every view.
    void setLengthFrames(std::int64_t frames);
    std::int64_t lastBlock() const { return m_lastBlock; }

    std::int64_t framesToBytes(std::int64_t frames) const { return frames * m_format.blockAlign; }
    std::int64_t bytesToFrames(std::int64_t bytes) const { return m_format.blockAlign ? bytes / m_format.blockAlign : 0; }
    // Real time (before time expansion), microseconds.
    std::int64_t framesToRealMicros(std::int64_t frames) const;
    std::int64_t bytesToRealMicros(std::int64_t bytes) const { return framesToRealMicros(bytesToFrames(bytes)); }
    std::int64_t framesToFileMicros(std::int64_t frames) const;
    std::int64_t realMicrosToFrames(std::int64_t micros) const;
    std::int64_t realMicrosToBytes(std::int64_t micros) const { return framesToBytes(realMicrosToFrames(micros)); }
    // Time expansion factor × 1000.
    std::int32_t timeExpansion() const { return m_recData.m_timeExp25; }
    // The time expansion x 1000 that views work with: the record's, or 1000
    // (none) when the record holds a value outside 1 .. 100000 (0 in files
    // of other programs, or a damaged record).
    std::int32_t effectiveTimeExp25() const
    {
        const std::int32_t te = m_recData.m_timeExp25;
        return te >= 1 && te <= 100000 ? te : 1000;
    }

    // ---- stores ----
    FileCls& samples() { return m_samples; }
    const FileCls& samples() const { return m_samples; }
    FileCls& clipStore() { return m_clip; }
    FileCls& undoStore() { return m_undo; }
    // Reads frames [first, first + count) of one channel as doubles in 16-bit
    // units (SampleScale::Units16 of document/SampleCodec.h: 8-bit (s − 128) × 256,
    // 24-bit ÷ 256, 32-bit ÷ 65536). Returns the frames read.
    std::int64_t readFramesAsDouble(std::int64_t first, std::int64_t count, ChannelIndex channel, double* out);
    // Appends bytes of whole frames to the sample store; false when the store failed.
    bool appendSamples(const void* bytes, std::int64_t length);
    // Empties the sample store and announces length 0.
    void clearSamples();

    // ---- samples still read from the opened file ----
    // Samples that need no conversion are read straight from the opened file
    // until a background copy has them in the sample store (see
    // FileCls::adoptSource): the desktop program starts the copy as it opens a
    // document, and every edit waits for it first. A file cut short by another
    // program meanwhile gets a message, and the recording ends where the file
    // did.
    void startBackgroundCopy() { m_samples.startSourceCopy(); }
    // Whether the copy still runs; once it has ended the store is settled here.
    bool backgroundCopyRunning();
    std::int64_t backgroundCopyDone() const { return m_samples.sourceCopied(); }
    // Waits for the copy with progress ("Reading the recording"); false when
    // the user cancelled (the copy goes on) or the sample store failed.
    bool finishBackgroundCopy();

    // ---- records ----
    VesRecData& recData() { return m_recData; }
    const VesRecData& recData() const { return m_recData; }
    // The detector description built when a detector recording was opened.
    const std::string& detectorDescription() const { return m_detectorDescription; }
    void setDetectorDescription(const std::string& text) { m_detectorDescription = text; }

    std::vector<AnaMarkSave>& marks() { return m_marks; }
    const std::vector<AnaMarkSave>& marks() const { return m_marks; }
    int nextMarkNumber() const { return m_nextMarkNumber; }
    void setNextMarkNumber(int n) { m_nextMarkNumber = n; }
    // Adds a mark with the next mark number; returns its index.
    std::size_t addMark(AnaMarkSave mark);
    void removeAllMarks();
    int activeMark() const { return m_activeMark; }
    void setActiveMark(int index) { m_activeMark = index; }

    // Analysis parameter sets read from the file and not yet taken by a view.
    std::vector<VesAnaParms>& pendingAnaParms() { return m_pendingAnaParms; }
    // A new view takes the last set, repaired (VesAnaParms::repair); false
    // when none is left.
    bool takeNextAnaParms(VesAnaParms& parms);

    SegmentTableHeader& segmentHeader() { return m_segmentHeader; }
    std::vector<SegmentRecord>& segments() { return m_segments; }
    int lastSavedSegmentCount() const { return m_lastSavedSegments; }

    // The play-speed list as its XML element (kept as read; written back).
    const VkitXML::Node* playSpeedList() const { return m_playSpeedList.get(); }
    void setPlaySpeedList(std::unique_ptr<VkitXML::Node> list);

    std::vector<ForeignChunk>& foreignChunks() { return m_foreignChunks; }
    const std::vector<ForeignChunk>& foreignChunks() const { return m_foreignChunks; }
    // The GUANO metadata (DocMetadata.cpp): false when the recording has none
    // or its chunk cannot be read (`error` says why; the chunk is kept as it is).
    bool guano(GuanoRecord& out, std::string& error) const;
    // Replaces the GUANO chunk, or adds one; the document counts as modified.
    void setGuano(const GuanoRecord& record);

    // The wave file kept from opening (own forms of other types are written back).
    WaveFile* keptWaveFile() { return m_waveFile.get(); }
    void setKeptWaveFile(std::unique_ptr<WaveFile> wave);

    // ---- editing (frames [start, end) of the channels selected) ----
    // Silence, volume, reverse and delete need a selection: with end < 0 or
    // end == start nothing happens and they return false.
    static bool hasSelection(std::int64_t start, std::int64_t end) { return end >= 0 && end != start; }
    bool silence(std::int64_t start, std::int64_t end, ChannelSel channel, bool noUndo = false);
    bool volume(std::int64_t start, std::int64_t end, ChannelSel channel, int percent);
    bool reverse(std::int64_t start, std::int64_t end, ChannelSel channel);
    bool deleteRange(std::int64_t start, std::int64_t end, ChannelSel channel, bool noUndo = false,
                     UndoKind undoKind = UndoKind::Delete);
    // Copies into the clip store; this document becomes the clipboard document.
    bool copy(std::int64_t start, std::int64_t end, ChannelSel channel);
    bool cut(std::int64_t start, std::int64_t end, ChannelSel channel);
    // Inserts the clipboard document's clip (or, from undo, the undo store) at
    // the interval start, replacing the interval when it is not empty.
    bool paste(std::int64_t start, std::int64_t end, ChannelSel channel, bool fromUndo = false);
    bool undo();
    // Saves the interval's samples of the channel selection in the undo store.
    bool startUndoRecord(UndoKind kind, std::int64_t start, std::int64_t end, ChannelSel channel);
    const UndoRecord& undoRecord() const { return m_undoRecord; }
    // "Undo Silence" ... "Undo Filter", "Undo" for other types; empty when there is nothing to undo.
    std::string undoName() const;
    bool canUndo() const { return m_undoRecord.type != UndoKind::None; }
    // Whether Paste can take the clipboard document's clip.
    bool canPaste() const;
    static CVesSoundDoc* clipboardDocument();
    static void forgetClipboardDocument();
    // Bytes an edit handles per piece (4 MiB); small pieces serve tests.
    void setEditPieceBytes(std::int64_t bytes) { m_editPiece = std::max<std::int64_t>(8, bytes); }
    ChannelSel clipChannel() const { return m_clipChannel; }
    // One line per frame: "%lld\r\n", or "%lld\t%lld\r\n" for both channels of a
    // stereo document. False (message to the host) when writing fails.
    bool generateAscii(std::int64_t start, std::int64_t end, ChannelSel channel, std::FILE* out);
    // Runs `process` over the frames [start, end) in place, in pieces of at
    // most the edit piece size (whole frames; it changes only the samples of
    // the channel selection), after saving them for the undo of `kind`;
    // progress shows `progressText`. When `process` fails or the user
    // cancels, the frames are restored from the undo copy and false returned.
    using FrameProcessor = std::function<bool(std::uint8_t* frames, std::int64_t count)>;
    bool processFrames(std::int64_t start, std::int64_t end, ChannelSel channel, UndoKind kind,
                       const char* progressText, const FrameProcessor& process);
    // Applies `op` to every selected sample of [start, end), clipping to the
    // sample range; no undo record (callers start one).
    bool applySampleOperation(std::int64_t start, std::int64_t end, ChannelSel channel, const ISampOperation& op,
                              const char* progressText);

    // ---- views ----
    void attachView(IDocView* view, const VesAnaParms* parms);
    void detachView(IDocView* view);
    // The parameter set of a view (kept up to date by the view) that a save writes.
    void setViewParms(IDocView* view, const VesAnaParms& parms);
    std::size_t viewCount() const { return m_views.size(); }
    void updateAllViews(const ViewUpdate& update);

    // Removes all marks, empties the samples, announces length 0, forgets the
    // own forms and marks the document modified.
    void clearDocument();

private:
    // Editing helpers (DocEdit.cpp).
    struct Span;
    Span editSpan(std::int64_t start, std::int64_t end, ChannelSel channel) const;
    // The frame of the edits that change frames in place: the checks, the
    // undo copy of `undoKind` (None: no undo), the progress display around
    // `work`; a failed or cancelled `work` has the frames put back from the
    // undo copy. On success the document is modified and the views repaint.
    bool editInPlace(std::int64_t start, std::int64_t end, ChannelSel channel, UndoKind undoKind,
                     const char* progressText, const std::function<bool(const Span&)>& work);
    bool copyRangeToStore(const Span& span, FileCls& target, const char* progressText);
    bool writeStoreAt(FileCls& source, std::int64_t dstFrame, const Span& shape, std::int64_t frames);
    bool moveFrames(std::int64_t fromFrame, std::int64_t toFrame, std::int64_t frames, const Span& shape,
                    const char* progressText);
    bool silenceFrames(std::int64_t startFrame, std::int64_t endFrame, const Span& shape);
    bool pasteFrom(FileCls& source, ChannelSel sourceChannel, std::int64_t start, std::int64_t end,
                   ChannelSel channel, bool fromUndo);
    void shiftMarks(std::int64_t from, std::int64_t removedEnd, std::int64_t shift, ChannelSel channel);
    bool progressStep(const char* text, std::int64_t done, std::int64_t total, int piece);
    void noteSourceShortening();
    bool m_copyFailureShown = false;
    bool m_cancelRequested = false;
    std::int64_t m_editPiece = 4 << 20;
    UndoRecord m_undoRecord;
    ChannelSel m_undoChannel = ChannelSel::Both;
    ChannelSel m_clipChannel = ChannelSel::Both;
    struct ViewEntry {
        IDocView* view;
        VesAnaParms parms;
    };

    bool saveDispatch(const std::string& path, int type, std::int64_t start, std::int64_t end);
    bool writePlainWave(const std::string& path, int type, std::int64_t startByte, std::int64_t endByte);
    bool writeRaw(const std::string& path, std::int64_t startByte, std::int64_t endByte);
    bool writeOwnFormat(const std::string& path, int type, std::int64_t startFrame, std::int64_t endFrame);
    // Copies [startByte, endByte) of a store to a stream; false on a write error or cancel.
    bool copyStoreToStream(FileCls& store, std::int64_t startByte, std::int64_t endByte, std::FILE* out,
                           const std::string& what);
    // The interval in bytes, ordered and clamped to the store.
    void byteRange(std::int64_t startFrame, std::int64_t endFrame, std::int64_t& startByte, std::int64_t& endByte) const;
    // The metadata chunks a save of [startByte, endByte) to `path` writes,
    // with the GUANO fields that describe the stretch brought up to date.
    void prepareSaveChunks(const std::string& path, std::int64_t startByte, std::int64_t endByte);
    std::int64_t foreignChunksSize() const;
    bool writeForeignChunks(std::FILE* out) const;
    // Builds the kept segments of [startFrame, endFrame) into `store`.
    bool buildKeptSegments(std::int64_t startFrame, std::int64_t endFrame, FileCls& store,
                           std::vector<SegmentRecord>& list);
    std::vector<VesAnaParms> parmsToSave() const;

    IDocHost& m_host;
    VesDefData m_defaults;
    int m_number;
    std::string m_path;
    std::string m_pendingSavePath;
    std::string m_typeName;
    std::string m_titleSuffix;
    bool m_modified = false;
    std::vector<ViewEntry> m_views;
    std::vector<VesAnaParms> m_pendingAnaParms;
    std::unique_ptr<WaveFile> m_waveFile;
    SoundFormat m_format;
    VesRecData m_recData;
    std::string m_detectorDescription;
    SegmentTableHeader m_segmentHeader;
    std::vector<SegmentRecord> m_segments;
    int m_lastSavedSegments = 0;
    std::unique_ptr<VkitXML::Node> m_playSpeedList;
    std::vector<ForeignChunk> m_foreignChunks;
    std::vector<ForeignChunk> m_saveChunks;
    // What the metadata chunks describe: the frames and rate when opened.
    std::int64_t m_metadataFrames = -1;
    std::int64_t m_blockSize = 0;
    std::int64_t m_lastBlock = -1;
    std::int64_t m_lengthFrames = 0;
    FileCls m_samples;
    FileCls m_clip;
    FileCls m_undo;
    std::vector<AnaMarkSave> m_marks;
    int m_activeMark = -1;
    int m_nextMarkNumber = 0;
    int m_saveType = 5;
};
