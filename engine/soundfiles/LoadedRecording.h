// A recording as a reader loaded it from a file: everything a sound document
// takes over when it opens the file. The samples are in a temporary store of
// their own, exactly as in a wave data chunk; the document adopts that store
// as it is (the bytes are written once, by the reader).
#pragma once

#include "core/FileCls.h"
#include "records/SoundFormat.h"
#include "records/VesAnaParms.h"
#include "records/VesRecData.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace VkitXML {
class Node;
}
class WaveFile;

// One kept stretch of a compressed wave: where it was in the recording before
// compression and how many frames it holds.
struct SegmentRecord {
    std::int64_t startFrame = 0;
    std::int64_t frames = 0;
    bool operator==(const SegmentRecord&) const = default;
};

// The 168-byte header of the segment table (form VPrC) with the parameters of
// a compressed save.
struct SegmentTableHeader {
    static constexpr std::size_t kSize = 168;
    std::array<std::uint8_t, kSize> bytes{};

    SegmentTableHeader();  // length 168, 4, 0, type 9, −40 dB, 10 ms, 10 ms, 0x80000000 ×2
    int fileType() const;
    void setFileType(int type);
    int silentLevelDb() const;
    int silentBeforeMs() const;
    int silentAfterMs() const;
    void setParameters(int silentLevelDb, int beforeMs, int afterMs);
};

// A metadata sub-chunk of the wave form (GUANO, LIST, bext, wamd, ...) kept so
// that a save writes it back after the samples.
struct ForeignChunk {
    std::string id;
    std::vector<std::uint8_t> bytes;
};

struct LoadedRecording {
    static constexpr const char* kConvertedSuffix = "[converted]";

    LoadedRecording();
    ~LoadedRecording();
    LoadedRecording(LoadedRecording&&) noexcept;
    LoadedRecording& operator=(LoadedRecording&&) noexcept;
    LoadedRecording(const LoadedRecording&) = delete;
    LoadedRecording& operator=(const LoadedRecording&) = delete;

    SoundFormat format;
    // The recording record. A reader starts from the one it is given (the
    // document's defaults) and changes what the file holds.
    VesRecData recData;
    std::vector<AnaMarkSave> marks;
    int nextMarkNumber = 0;
    // Analysis parameter sets read from the file, for the views still to open.
    std::vector<VesAnaParms> anaParms;
    // Built from a detector header; empty for other files.
    std::string detectorDescription;
    SegmentTableHeader segmentHeader;
    std::vector<SegmentRecord> segments;
    // The play-speed list element as read; null when the file has none.
    std::unique_ptr<VkitXML::Node> playSpeedList;
    std::vector<ForeignChunk> foreignChunks;
    // The wave file the recording came from, kept so that a save writes its
    // own forms of other types back.
    std::unique_ptr<WaveFile> waveFile;

    // How the document goes on with it: the type a save writes, its display
    // name, and for an imported recording the path it is to be saved under
    // and the title suffix "[converted]" (the recording counts as modified).
    int saveType = 5;
    std::string typeName;
    std::string titleSuffix;
    std::string pendingSavePath;
    bool modified = false;

    // Interleaved little-endian frames (8-bit unsigned with 128 as zero,
    // 16/24/32-bit signed).
    FileCls samples;
};
