// RIFF chunk files: reading a recording's top-level forms and the sub-chunks
// of its WAVE form through mapped views, and writing forms to a stream.
//
// Layout (little-endian, 32-bit lengths): a top-level form is "RIFF",
// length, form type, payload (the length counts the form type). Forms and
// sub-chunks follow each other directly; our own forms are written without a
// pad byte after an odd length. Files from other programs pad odd-length
// chunks to an even length; the walk reads both (see RiffFile::nextChunkStart).
#pragma once

#include <cstdint>
#include <cstdio>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vkit {
class MemFileCls;
}

class RiffFile;
class RiffCls;

// A list of chunk pointers. Emptying it unlinks the entries only: chunks are
// destroyed by their owner (the file for top-level forms, the form for its
// sub-chunks).
class RiffLst {
public:
    using iterator = std::list<RiffCls*>::iterator;
    using const_iterator = std::list<RiffCls*>::const_iterator;
    void append(RiffCls* chunk) { m_items.push_back(chunk); }
    bool remove(RiffCls* chunk);
    void clear() { m_items.clear(); }
    std::size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    iterator begin() { return m_items.begin(); }
    iterator end() { return m_items.end(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }
    // The index-th chunk named `name` (0 = the first), or null.
    RiffCls* find(std::string_view name, int index) const;

private:
    std::list<RiffCls*> m_items;
};

// One chunk: a top-level form or a sub-chunk.
class RiffCls {
public:
    // A chunk made for writing: no file position.
    explicit RiffCls(std::string name);
    // A chunk read from `owner`.
    RiffCls(RiffFile* owner, std::int64_t position, std::int64_t length, std::int64_t dataOffset, std::string name);
    virtual ~RiffCls();
    RiffCls(const RiffCls&) = delete;
    RiffCls& operator=(const RiffCls&) = delete;

    virtual RiffCls* findSubChunk(std::string_view name, int index) const;
    virtual std::int64_t getPosition() const { return m_position; }
    virtual std::int64_t setPosition(std::int64_t v);
    virtual std::int64_t getLength() const { return m_length; }
    virtual std::int64_t setLength(std::int64_t v);
    virtual std::int64_t getDataOffset() const { return m_dataOffset; }
    virtual std::int64_t setDataOffset(std::int64_t v);
    virtual std::int64_t getParsedLength() const { return m_parsedLength; }
    virtual std::int64_t setParsedLength(std::int64_t v);
    // Gives the chunk bytes to write; owned bytes are copied and freed with the chunk.
    virtual void setBuffer(const void* data, std::int64_t length, bool owns);
    // Copies up to `length` payload bytes from `offset`; returns the bytes copied.
    virtual std::int64_t read(void* destination, std::int64_t length, std::int64_t offset) const;
    virtual std::int64_t writeRaw(std::FILE* stream, const void* data, std::int64_t length) const;
    // "RIFF", length (buffer length + 4 when a buffer is held), name, payload.
    virtual std::int64_t writeForm(std::FILE* stream) const;
    // id (blank-padded to 4), 32-bit length, then the data when given.
    virtual std::int64_t writeSubChunk(std::FILE* stream, std::string_view id, std::int64_t length,
                                       const void* data) const;

    const std::string& name() const { return m_name; }
    RiffFile* owner() const { return m_owner; }
    RiffLst& subChunks() { return m_subChunks; }
    const RiffLst& subChunks() const { return m_subChunks; }
    const std::uint8_t* buffer() const { return m_buffer; }
    std::int64_t bufferLength() const { return m_bufferLength; }
    bool ownsBuffer() const { return m_ownsBuffer; }
    // Payload bytes of the chunk: the buffer's length when it holds one, else
    // what the parsed length says (minus the form type for a top-level form).
    std::int64_t payloadLength() const;
    bool isForm() const { return m_isForm; }
    void setIsForm(bool form) { m_isForm = form; }
    // Destroys the sub-chunks and empties the list.
    void destroySubChunks();

private:
    RiffFile* m_owner = nullptr;
    std::int64_t m_position = -1;
    std::int64_t m_length = 0;
    std::int64_t m_dataOffset = -1;
    std::int64_t m_parsedLength = 0;
    std::string m_name;
    RiffLst m_subChunks;
    const std::uint8_t* m_buffer = nullptr;
    std::int64_t m_bufferLength = 0;
    std::vector<std::uint8_t> m_owned;
    bool m_ownsBuffer = false;
    bool m_isForm = true;
};

// A read-only file. Reads copy from the file itself (pread), not from
// mapped views, so that a file cut short by another program reads short
// instead of faulting; the section size is still kept for its callers but
// no longer shapes the reads.
class SectFileCls {
public:
    static constexpr std::int64_t kDefaultSectionSize = 8388608;

    SectFileCls();
    virtual ~SectFileCls();
    SectFileCls(const SectFileCls&) = delete;
    SectFileCls& operator=(const SectFileCls&) = delete;

    // −1 when the file cannot be opened or mapped (an empty file cannot be
    // mapped), else its size.
    std::int64_t open(const std::string& path, bool readOnly = true);
    void close();
    void setPosition(std::int64_t position) { m_position = position; }
    std::int64_t getPosition() const { return m_position; }
    // Bytes read, cut at the end of the file; position −1 reads at the current position.
    std::int64_t read(void* destination, std::int64_t length, std::int64_t position = -1);
    std::int64_t getSectionSize() const { return m_sectionSize; }
    void setSectionSize(std::int64_t bytes);
    std::int64_t viewSize() const { return m_sectionSize / 2; }
    std::int64_t getFileSize() const { return m_fileSize; }
    const std::string& path() const { return m_path; }
    bool isOpen() const { return m_mem != nullptr; }

private:
    std::string m_path;
    std::unique_ptr<vkit::MemFileCls> m_mem;
    std::int64_t m_fileSize = 0;
    std::int64_t m_position = 0;
    std::int64_t m_sectionSize = kDefaultSectionSize;
};

// A SectFileCls holding the list of top-level forms.
class RiffFile : public SectFileCls {
public:
    RiffFile() = default;
    ~RiffFile() override;

    // Number of top-level forms; 0 when a form claims more than 8 bytes
    // beyond the end of the file; −1 when the file cannot be mapped.
    virtual int open(const std::string& path, bool readOnly = true);
    void close();

    RiffCls* find(std::string_view name, int index = 0) const { return m_forms.find(name, index); }
    bool remove(RiffCls* chunk, bool destroy);
    // Removes the n-th form of that name counting from 1 (0 also means the first).
    bool remove(std::string_view name, bool destroy, int n = 0);
    int removeAll(std::string_view name, bool destroy);
    // A new form at the end, referring to the caller's bytes (which must stay
    // valid until writeAll); its length field is length + 4.
    RiffCls* add(std::string_view name, std::int64_t length, const void* bytes);
    // Gives the first form of that name the bytes (not owned); adds one when absent.
    RiffCls* set(std::string_view name, std::int64_t length, const void* bytes);
    void append(RiffCls* chunk);
    // Writes every form as a top-level form; returns the bytes written.
    std::int64_t writeAll(std::FILE* stream) const;

    const RiffLst& forms() const { return m_forms; }

    // Reads a chunk header at `position`: a top-level form when `form`, a
    // sub-chunk otherwise. Null when there is none (short read, wrong tag, or
    // a length that cannot hold the chunk).
    RiffCls* readChunk(std::int64_t position, bool form);
    // Where the chunk after `chunk` starts. After an odd length the next
    // chunk follows either directly (our own files) or after one pad byte
    // (RIFF as most programs write it): a pad byte is assumed when the byte
    // that would start the next chunk is not a printable character while the
    // one after it starts a printable 4-character name.
    std::int64_t nextChunkStart(const RiffCls& chunk, std::int64_t limit);
    // Fills the form's sub-chunk list (see the walk in the .cpp).
    void walkSubChunks(RiffCls& form);

    // 64-bit sizes of an RF64 or BW64 file (EBU Tech 3306): the first form's
    // `ds64` chunk gives the form's, the data chunk's and other chunks' sizes
    // where their 32-bit fields hold 0xFFFFFFFF.
    static constexpr std::int64_t kSizeInDs64 = 0xFFFFFFFFLL;
    struct Ds64 {
        bool present = false;
        std::int64_t riffSize = 0;
        std::int64_t dataSize = 0;
        std::int64_t sampleCount = 0;
        std::vector<std::pair<std::string, std::int64_t>> table;
    };
    const Ds64& ds64() const { return m_ds64; }

private:
    bool plausibleName(std::int64_t position);
    bool readDs64(std::int64_t position);
    RiffLst m_forms;
    Ds64 m_ds64;
};

// The PCM format record at the start of a `fmt ` chunk.
struct PcmFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;

    static PcmFormat fromBytes(const std::uint8_t* p);
    void toBytes(std::uint8_t* p) const;
};

// A RiffFile that also understands the WAVE form.
class WaveFile : public RiffFile {
public:
    static constexpr int kFormatAreaSize = 40;
    static constexpr std::int64_t kMaxLoadedChunk = 64 * 1024 * 1024;

    WaveFile();
    int open(const std::string& path, bool readOnly = true) override;

    // Bytes read from `offset` within the sample data, cut at its end.
    std::int64_t readData(void* destination, std::int64_t length, std::int64_t offset);

    // The canonical 44-byte header: "RIFF", 36 + dataLength + trailingBytes,
    // "WAVE", "fmt " 16 and the PCM record, "data", dataLength, then the data
    // when given. trailingBytes counts sub-chunks the caller writes after the
    // sample data inside the WAVE form (a pad byte after odd data included).
    // When the lengths do not fit RIFF's 32 bits, the 80-byte RF64 header
    // instead (see writeHeader). Returns the bytes written.
    std::int64_t writeWaveHeader(std::FILE* stream, const void* data, std::int64_t dataLength,
                                 std::int64_t trailingBytes = 0) const;

    // A wave header with a `fmt ` payload of fmtLength bytes: RIFF while every
    // size fits below 0xFFFFFFFF, else RF64 (EBU Tech 3306): "RF64",
    // 0xFFFFFFFF, "WAVE", a `ds64` chunk of 28 bytes (form size, data size and
    // frame count as 64-bit numbers, an empty table), `fmt `, and "data" with
    // 0xFFFFFFFF. Returns the bytes written (headerSize), 0 on a failure.
    static std::int64_t writeHeader(std::FILE* stream, const std::uint8_t* fmt, std::uint32_t fmtLength,
                                    std::int64_t dataLength, std::int64_t trailingBytes, std::int64_t frames);
    static bool needsRf64(std::uint32_t fmtLength, std::int64_t dataLength, std::int64_t trailingBytes);
    static std::int64_t headerSize(std::uint32_t fmtLength, std::int64_t dataLength, std::int64_t trailingBytes);

    bool getFormat(PcmFormat& format) const;
    void setFormat(const PcmFormat& format);
    bool getFormatArea(std::uint8_t* area40) const;
    void setFormatArea(const std::uint8_t* area40);
    const std::uint8_t* formatArea() const { return m_formatArea; }

    std::int64_t fmtPosition() const { return m_fmtPosition; }
    std::int64_t fmtLength() const { return m_fmtLength; }
    std::int64_t dataHeaderPosition() const { return m_dataHeaderPosition; }
    std::int64_t dataStart() const { return m_dataStart; }
    std::int64_t dataLength() const { return m_dataLength; }
    bool hasWaveForm() const { return m_wave != nullptr; }

    // Sub-chunks of the WAVE form other than `fmt ` and `data` (metadata
    // such as `LIST`, `guan`, `bext`, `wamd`), in file order, with their bytes
    // loaded; a later save writes them back after the sample data.
    std::vector<const RiffCls*> foreignChunks() const;
    // Bytes a sub-chunk takes when written padded to an even length.
    static std::int64_t paddedChunkSize(std::int64_t payload) { return 8 + payload + (payload & 1); }
    // Writes id, length, payload and a pad byte after an odd payload.
    static std::int64_t writePaddedSubChunk(std::FILE* stream, std::string_view id, const void* data,
                                            std::int64_t length);

private:
    std::uint8_t m_formatArea[kFormatAreaSize] = {};
    RiffCls* m_wave = nullptr;
    std::int64_t m_fmtPosition = -1;
    std::int64_t m_fmtLength = 0;
    std::int64_t m_dataHeaderPosition = -1;
    std::int64_t m_dataStart = 0;
    std::int64_t m_dataLength = 0;
};
