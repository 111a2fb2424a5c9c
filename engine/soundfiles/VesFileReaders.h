// The readers that load a recording from a file of each type: RIFF based
// recordings (plain waves, own recording files and file pairs, compressed
// waves, detector recordings), headerless sample files, and compressed audio
// decoded with FFmpeg. A reader fills a LoadedRecording of its own, which the
// sound document then adopts.
#pragma once

#include "soundfiles/LoadedRecording.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What a reader needs from whoever asked for the recording: a place for the
// messages it shows while reading, and a progress display that can ask to
// cancel.
class IReadHost {
public:
    virtual ~IReadHost() = default;
    // A message box with one of the system's fixed texts.
    virtual void message(const std::string& text) = 0;
    // Bytes done of bytes total; false when the user asked to cancel.
    virtual bool progress(std::int64_t done, std::int64_t total) = 0;
};

class IVesFile {
public:
    virtual ~IVesFile() = default;
    // Loads the file into the recording; false on failure (errorText() says
    // why, unless empty).
    virtual bool open() = 0;
    virtual const std::string& path() const = 0;
    virtual void setPath(const std::string& path) = 0;
    virtual int fileType() const = 0;
    virtual void setFileType(int type) = 0;
    // The recording the reader fills. Set its record before open() to start
    // from other values than the record's defaults.
    virtual LoadedRecording& recording() = 0;
    // After a successful open(): the recording with the type it is saved as,
    // its display name and, for an imported recording, the pending save path
    // and title suffix. The reader is left with an empty recording (a reader
    // opens its file once).
    virtual LoadedRecording takeRecording() = 0;
    virtual const std::string& errorText() const = 0;
    // Sets the error text and writes it to the log.
    virtual void setErrorText(const std::string& text) = 0;
    // Reports progress; false when the user cancelled.
    virtual bool reportProgress(std::int64_t done, std::int64_t total) = 0;
    virtual bool cancelled() const = 0;
};

class CVesFile : public IVesFile {
public:
    // `host` may be null: no messages are shown and nothing cancels.
    CVesFile(std::string path, int type, IReadHost* host);
    const std::string& path() const override { return m_path; }
    void setPath(const std::string& path) override { m_path = path; }
    int fileType() const override { return m_type; }
    void setFileType(int type) override { m_type = type; }
    LoadedRecording& recording() override { return m_recording; }
    LoadedRecording takeRecording() override;
    const std::string& errorText() const override { return m_error; }
    void setErrorText(const std::string& text) override;
    bool reportProgress(std::int64_t done, std::int64_t total) override;
    bool cancelled() const override { return m_cancelled; }

protected:
    // A message to the host (the reading goes on).
    void message(const std::string& text);
    // Gives the recording a new, empty temporary store for its samples. A
    // store that cannot be made shows as a write error when samples come.
    void startSampleStore();

    std::string m_path;
    int m_type;
    IReadHost* m_host;
    LoadedRecording m_recording;
    std::string m_error;
    bool m_cancelled = false;
};

// Types 1, 5, 7, 8, 9 and 10.
class CVesWaveFile : public CVesFile {
public:
    using CVesFile::CVesFile;
    bool open() override;

private:
    bool readOwnForms(class WaveFile& wave, bool& fixedRecordRead);
    void readSegmentTable(WaveFile& wave);
    bool readDetectorHeader(WaveFile& samples, std::int64_t& dataOffset);
    bool copySamples(WaveFile& samples, std::int64_t dataOffset);
};

// Types 2, 3 and 4 (and any type no other reader takes, which fails).
class CVesDataFile : public CVesFile {
public:
    using CVesFile::CVesFile;
    bool open() override;
};

// Type 11: anything FFmpeg decodes.
class CVesCodecFile : public CVesFile {
public:
    using CVesFile::CVesFile;
    bool open() override;
};

// The reader for a path that may carry a type tag: the type comes from the
// tag, else from the extension; a plain wave is checked against its content.
std::unique_ptr<IVesFile> makeReader(const std::string& path, IReadHost* host);

// The segment table of a compressed wave (form VPrC, `n` bytes at `p`): its
// 168-byte header and the segment records, read up to the first record that is
// cut off, too short or out of order. False when it holds no segment.
bool parseSegmentTable(const std::uint8_t* p, std::int64_t n, SegmentTableHeader& header,
                       std::vector<SegmentRecord>& segments);

// The information lines of a detector header ("Record time (utc):...",
// "Latitude : ...", ...), one per field that holds text.
std::vector<std::string> detectorHeaderLines(const std::uint8_t* header);

// "R9000Z Record time (utc):... Latitude : ..." from a detector header of 244 bytes.
// `anyField` tells whether any text field was present.
std::string describeDetectorHeader(const std::uint8_t* header, bool& anyField);

// The time expansion x 1000 given by a GUANO `TE` field or, failing that, a
// Wildlife-Acoustics `wamd` chunk among a wave file's metadata chunks; 0 when
// neither gives one.
std::int32_t metadataTimeExp25(const std::vector<ForeignChunk>& chunks);

class RiffCls;

// The recording record's fixed layout from a VPr0 payload of at most
// kFixedSize bytes: a shorter (cut) payload fills the record's first bytes
// and the rest keeps base's values, as a short read into the record would.
std::vector<std::uint8_t> fixedRecordBytes(const VesRecData& base, RiffCls* vpr0);
