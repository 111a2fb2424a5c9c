#include "soundfiles/RiffFile.h"

#include "core/ByteOrder.h"
#include "core/LoggCls.h"
#include "core/MemFileCls.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Name padded with blanks (or cut) to 4 characters.
void fourCC(std::string_view name, char out[4])
{
    for (int i = 0; i < 4; ++i)
        out[i] = i < static_cast<int>(name.size()) ? name[static_cast<size_t>(i)] : ' ';
}

std::int64_t putLe32(std::FILE* f, std::uint32_t v)
{
    std::uint8_t b[4];
    writeLe32(b, v);
    return static_cast<std::int64_t>(std::fwrite(b, 1, 4, f));
}

std::int64_t putBytes(std::FILE* f, const void* p, std::int64_t n)
{
    if (n <= 0 || !p)
        return 0;
    return static_cast<std::int64_t>(std::fwrite(p, 1, static_cast<size_t>(n), f));
}

bool printable(std::uint8_t c)
{
    return c >= 0x20 && c <= 0x7e;
}

}  // namespace

// ---- RiffLst ---------------------------------------------------------------

bool RiffLst::remove(RiffCls* chunk)
{
    const auto it = std::find(m_items.begin(), m_items.end(), chunk);
    if (it == m_items.end())
        return false;
    m_items.erase(it);
    return true;
}

RiffCls* RiffLst::find(std::string_view name, int index) const
{
    if (index < 0)
        return nullptr;
    for (RiffCls* c : m_items)
        if (c->name() == name && index-- == 0)
            return c;
    return nullptr;
}

// ---- RiffCls ---------------------------------------------------------------

RiffCls::RiffCls(std::string name) : m_name(std::move(name)) {}

RiffCls::RiffCls(RiffFile* owner, std::int64_t position, std::int64_t length, std::int64_t dataOffset,
                 std::string name)
    : m_owner(owner), m_position(position), m_length(length), m_dataOffset(dataOffset), m_parsedLength(length),
      m_name(std::move(name))
{
}

RiffCls::~RiffCls()
{
    destroySubChunks();
}

void RiffCls::destroySubChunks()
{
    for (RiffCls* c : m_subChunks)
        delete c;
    m_subChunks.clear();
}

RiffCls* RiffCls::findSubChunk(std::string_view name, int index) const
{
    return m_subChunks.find(name, index);
}

std::int64_t RiffCls::setPosition(std::int64_t v)
{
    return std::exchange(m_position, v);
}

std::int64_t RiffCls::setLength(std::int64_t v)
{
    return std::exchange(m_length, v);
}

std::int64_t RiffCls::setDataOffset(std::int64_t v)
{
    return std::exchange(m_dataOffset, v);
}

std::int64_t RiffCls::setParsedLength(std::int64_t v)
{
    return std::exchange(m_parsedLength, v);
}

void RiffCls::setBuffer(const void* data, std::int64_t length, bool owns)
{
    m_owned.clear();
    m_owned.shrink_to_fit();
    m_ownsBuffer = owns;
    length = std::max<std::int64_t>(0, length);
    if (owns) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        if (p && length > 0)
            m_owned.assign(p, p + length);
        m_buffer = m_owned.data();
    } else {
        m_buffer = static_cast<const std::uint8_t*>(data);
    }
    m_bufferLength = length;
}

std::int64_t RiffCls::payloadLength() const
{
    if (m_buffer || m_ownsBuffer)
        return m_bufferLength;
    return std::max<std::int64_t>(0, m_parsedLength - (m_isForm ? 4 : 0));
}

std::int64_t RiffCls::read(void* destination, std::int64_t length, std::int64_t offset) const
{
    if (offset < 0 || length <= 0)
        return 0;
    if (m_buffer || m_ownsBuffer) {
        length = std::min(length, m_bufferLength - offset);
        if (length <= 0)
            return 0;
        std::memcpy(destination, m_buffer + offset, static_cast<size_t>(length));
        return length;
    }
    length = std::min(length, payloadLength() - offset);
    if (length <= 0 || !m_owner || m_dataOffset < 0)
        return 0;
    return m_owner->read(destination, length, m_dataOffset + offset);
}

std::int64_t RiffCls::writeRaw(std::FILE* stream, const void* data, std::int64_t length) const
{
    return putBytes(stream, data, length);
}

std::int64_t RiffCls::writeForm(std::FILE* stream) const
{
    char id[4];
    std::int64_t n = putBytes(stream, "RIFF", 4);
    const std::int64_t payload = payloadLength();
    const std::int64_t lengthField = (m_buffer || m_ownsBuffer) ? m_bufferLength + 4 : m_length;
    n += putLe32(stream, static_cast<std::uint32_t>(lengthField));
    fourCC(m_name, id);
    n += putBytes(stream, id, 4);
    if (m_buffer || m_ownsBuffer) {
        n += putBytes(stream, m_buffer, m_bufferLength);
    } else if (m_owner && m_dataOffset >= 0) {
        // A form that was left in the file (too large to load): copy it across.
        std::vector<char> buf(1 << 20);
        for (std::int64_t done = 0; done < payload;) {
            const std::int64_t got = read(buf.data(), std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()), payload - done), done);
            if (got <= 0)
                break;
            n += putBytes(stream, buf.data(), got);
            done += got;
        }
    }
    return n;
}

std::int64_t RiffCls::writeSubChunk(std::FILE* stream, std::string_view id, std::int64_t length,
                                    const void* data) const
{
    char name[4];
    fourCC(id, name);
    std::int64_t n = putBytes(stream, name, 4);
    n += putLe32(stream, static_cast<std::uint32_t>(length));
    if (data)
        n += putBytes(stream, data, length);
    return n;
}

// ---- SectFileCls -------------------------------------------------------------

SectFileCls::SectFileCls() = default;

SectFileCls::~SectFileCls()
{
    close();
}

std::int64_t SectFileCls::open(const std::string& path, bool readOnly)
{
    close();
    auto mem = std::make_unique<vkit::MemFileCls>(path, -1);
    if (!mem->open(readOnly))
        return -1;
    m_path = path;
    m_fileSize = mem->size();
    m_position = 0;
    m_mem = std::move(mem);
    return m_fileSize;
}

void SectFileCls::close()
{
    if (m_mem)
        m_mem->close();
    m_mem.reset();
    m_fileSize = 0;
    m_position = 0;
}

void SectFileCls::setSectionSize(std::int64_t bytes)
{
    // Views must stay page-aligned.
    const std::int64_t page = vkit::MemFileCls::allocationGranularity();
    m_sectionSize = std::max<std::int64_t>(2 * page, bytes / (2 * page) * (2 * page));
}

std::int64_t SectFileCls::read(void* destination, std::int64_t length, std::int64_t position)
{
    if (position >= 0)
        m_position = position;
    if (!m_mem || length <= 0 || m_position < 0 || m_position >= m_fileSize)
        return 0;
    length = std::min(length, m_fileSize - m_position);
    // Read, not mapped: another program may cut the file short while it is
    // open, and the bytes gone then simply do not arrive.
    const std::int64_t done = std::max<std::int64_t>(0, m_mem->readAt(destination, length, m_position));
    m_position += done;
    return done;
}

// ---- RiffFile ----------------------------------------------------------------

RiffFile::~RiffFile()
{
    close();
}

void RiffFile::close()
{
    m_ds64 = Ds64();
    for (RiffCls* c : m_forms)
        delete c;
    m_forms.clear();
    SectFileCls::close();
}

RiffCls* RiffFile::readChunk(std::int64_t position, bool form)
{
    std::uint8_t head[12];
    const std::int64_t want = form ? 12 : 8;
    const std::int64_t got = read(head, want, position);
    if (got < 8)
        return nullptr;
    const bool wide = form && (std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0);
    if (form && !wide && std::memcmp(head, "RIFF", 4) != 0)
        return nullptr;
    std::int64_t length = readLe32(head + 4);
    if (length == 0)
        return nullptr;
    if (wide) {
        // Only the first form of a file may carry 64-bit sizes, in its ds64 chunk.
        if (position != 0 || !readDs64(position + 12))
            return nullptr;
        if (length == kSizeInDs64)
            length = m_ds64.riffSize;
    } else if (length == kSizeInDs64 && m_ds64.present && !form) {
        const std::string id(reinterpret_cast<char*>(head), 4);
        std::int64_t size = id == "data" ? m_ds64.dataSize : -1;
        for (const auto& [tableId, tableSize] : m_ds64.table)
            if (size < 0 && tableId == id)
                size = tableSize;
        if (size > 0)
            length = size;
        else if (id == "data")
            length = std::max<std::int64_t>(1, getFileSize() - position - 8);  // size unknown: the rest of the file
    }
    if (form) {
        if (length < 4)
            return nullptr;  // no room for the form type: malformed
        std::string name = got >= 12 ? std::string(reinterpret_cast<char*>(head + 8), 4) : std::string();
        return new RiffCls(this, position, length, position + 12, std::move(name));
    }
    auto* c = new RiffCls(this, position, length, position + 8, std::string(reinterpret_cast<char*>(head), 4));
    c->setIsForm(false);
    return c;
}

bool RiffFile::readDs64(std::int64_t position)
{
    m_ds64 = Ds64();
    std::uint8_t b[8 + 28];
    if (read(b, sizeof b, position) != static_cast<std::int64_t>(sizeof b) || std::memcmp(b, "ds64", 4) != 0 ||
        readLe32(b + 4) < 28) {
        vkit::Logg().warning("RiffFile::Open: " + path() + ": a 64-bit wave file without its ds64 chunk.");
        return false;
    }
    // Sizes past 2^62 cannot be true of any file: taken as unknown (−1), so
    // that the chunk keeps 0xFFFFFFFF and the walk cuts it at the end of the
    // file like any length that lies.
    const auto sane = [](std::uint64_t v) { return v < (1ull << 62) ? static_cast<std::int64_t>(v) : -1; };
    m_ds64.riffSize = sane(readLe64(b + 8));
    m_ds64.dataSize = sane(readLe64(b + 16));
    m_ds64.sampleCount = sane(readLe64(b + 24));
    const std::uint32_t chunkLength = readLe32(b + 4);
    const std::uint32_t entries = std::min<std::uint32_t>(readLe32(b + 32), (chunkLength - 28) / 12);
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(entries, 64); ++i) {
        std::uint8_t e[12];
        if (read(e, 12, position + 36 + 12 * static_cast<std::int64_t>(i)) != 12)
            break;
        m_ds64.table.emplace_back(std::string(reinterpret_cast<char*>(e), 4), sane(readLe64(e + 4)));
    }
    if (m_ds64.riffSize < 4)
        m_ds64.riffSize = getFileSize() - 8;
    m_ds64.present = true;
    return true;
}

bool RiffFile::plausibleName(std::int64_t position)
{
    std::uint8_t id[4];
    if (read(id, 4, position) != 4)
        return false;
    return std::all_of(id, id + 4, printable);
}

std::int64_t RiffFile::nextChunkStart(const RiffCls& chunk, std::int64_t limit)
{
    const std::int64_t next = chunk.getPosition() + chunk.getParsedLength() + 8;
    if ((chunk.getParsedLength() & 1) == 0 || next + 1 + 4 > limit)
        return next;
    std::uint8_t first = 0;
    if (read(&first, 1, next) != 1 || printable(first))
        return next;
    return plausibleName(next + 1) ? next + 1 : next;
}

int RiffFile::open(const std::string& path, bool readOnly)
{
    close();
    if (SectFileCls::open(path, readOnly) < 0)
        return -1;
    const std::int64_t size = getFileSize();
    std::int64_t pos = 0;
    std::int64_t next = 0;
    while (size > 0) {
        RiffCls* form = readChunk(pos, true);
        if (!form)
            break;
        m_forms.append(form);
        next = nextChunkStart(*form, size);
        if (next > size + 8 && form->name() == "WAVE") {
            // A recording cut short (a recorder that lost power, a copy that
            // stopped): keep what is there instead of refusing the file.
            form->setParsedLength(size - pos - 8);
            next = size;
            vkit::Logg().warning("RiffFile::Open: " + path + ": WAVE form runs past the end of the file; cut.");
        }
        if (next >= size)
            break;
        pos = next;
    }
    if (next > size + 8) {
        vkit::Logg().warning("RiffFile::Open: " + path + ": a form runs past the end of the file.");
        for (RiffCls* c : m_forms)
            delete c;
        m_forms.clear();
        SectFileCls::close();
        return 0;
    }
    return static_cast<int>(m_forms.size());
}

void RiffFile::walkSubChunks(RiffCls& form)
{
    form.destroySubChunks();
    const std::int64_t end = form.getDataOffset() + form.getParsedLength() - 4;
    if (form.getDataOffset() >= end)
        return;
    std::int64_t pos = form.getDataOffset();
    std::int64_t next = pos;
    for (;;) {
        RiffCls* c = readChunk(pos, false);
        if (!c)
            break;
        form.subChunks().append(c);
        next = nextChunkStart(*c, end);
        if (next > end && c->name() == "data") {
            // Sample data longer than the form holds: take what is there.
            c->setParsedLength(std::max<std::int64_t>(0, end - pos - 8));
            next = end;
        }
        if (next + 8 >= end)
            break;
        pos = next;
    }
    if (next > end + 4)
        form.destroySubChunks();
}

bool RiffFile::remove(RiffCls* chunk, bool destroy)
{
    if (!m_forms.remove(chunk))
        return false;
    if (destroy)
        delete chunk;
    return true;
}

bool RiffFile::remove(std::string_view name, bool destroy, int n)
{
    RiffCls* c = m_forms.find(name, n <= 1 ? 0 : n - 1);
    return c ? remove(c, destroy) : false;
}

int RiffFile::removeAll(std::string_view name, bool destroy)
{
    int count = 0;
    while (RiffCls* c = m_forms.find(name, 0)) {
        remove(c, destroy);
        ++count;
    }
    return count;
}

RiffCls* RiffFile::add(std::string_view name, std::int64_t length, const void* bytes)
{
    auto* c = new RiffCls(std::string(name));
    c->setLength(length + 4);
    c->setParsedLength(length + 4);
    c->setBuffer(bytes, length, false);
    m_forms.append(c);
    return c;
}

RiffCls* RiffFile::set(std::string_view name, std::int64_t length, const void* bytes)
{
    RiffCls* c = m_forms.find(name, 0);
    if (!c)
        return add(name, length, bytes);
    c->setBuffer(bytes, length, false);
    c->setLength(length + 4);
    return c;
}

void RiffFile::append(RiffCls* chunk)
{
    m_forms.append(chunk);
}

std::int64_t RiffFile::writeAll(std::FILE* stream) const
{
    std::int64_t n = 0;
    for (const RiffCls* c : m_forms)
        n += c->writeForm(stream);
    return n;
}

// ---- WaveFile ----------------------------------------------------------------

PcmFormat PcmFormat::fromBytes(const std::uint8_t* p)
{
    PcmFormat f;
    f.formatTag = readLe16(p);
    f.channels = readLe16(p + 2);
    f.samplesPerSec = readLe32(p + 4);
    f.avgBytesPerSec = readLe32(p + 8);
    f.blockAlign = readLe16(p + 12);
    f.bitsPerSample = readLe16(p + 14);
    return f;
}

void PcmFormat::toBytes(std::uint8_t* p) const
{
    writeLe16(p, formatTag);
    writeLe16(p + 2, channels);
    writeLe32(p + 4, samplesPerSec);
    writeLe32(p + 8, avgBytesPerSec);
    writeLe16(p + 12, blockAlign);
    writeLe16(p + 14, bitsPerSample);
}

WaveFile::WaveFile() = default;

int WaveFile::open(const std::string& path, bool readOnly)
{
    m_wave = nullptr;
    std::memset(m_formatArea, 0, sizeof m_formatArea);
    m_fmtPosition = m_dataHeaderPosition = -1;
    m_fmtLength = m_dataStart = m_dataLength = 0;
    const int n = RiffFile::open(path, readOnly);
    if (n <= 0)
        return n;
    const std::int64_t size = getFileSize();
    for (RiffCls* form : forms()) {
        if (form->name() != "WAVE") {
            const std::int64_t len = form->getParsedLength() - 4;
            if (len > 0 && len <= kMaxLoadedChunk) {
                std::vector<std::uint8_t> bytes(static_cast<size_t>(len));
                const std::int64_t got = read(bytes.data(), len, form->getDataOffset());
                form->setBuffer(bytes.data(), got, true);
            }
            continue;
        }
        if (m_wave)
            continue;  // only the first WAVE form is the recording
        m_wave = form;
        walkSubChunks(*form);
        RiffCls* fmt = form->findSubChunk("fmt ", 0);
        if (fmt) {
            m_fmtPosition = fmt->getPosition();
            m_fmtLength = fmt->getParsedLength();
            read(m_formatArea, std::min<std::int64_t>(kFormatAreaSize, m_fmtLength), fmt->getDataOffset());
        }
        if (RiffCls* data = form->findSubChunk("data", 0)) {
            m_dataHeaderPosition = data->getPosition();
            m_dataStart = data->getDataOffset();
            m_dataLength = data->getParsedLength();
        } else if (fmt) {
            // No data chunk named as such: the samples follow `fmt ` directly.
            m_dataHeaderPosition = m_fmtPosition + m_fmtLength + 8;
            m_dataStart = m_dataHeaderPosition + 8;
            m_dataLength = form->getParsedLength() - m_fmtLength - 20;
        }
        m_dataLength = std::max<std::int64_t>(0, std::min(m_dataLength, size - m_dataStart));
        for (RiffCls* c : form->subChunks()) {
            if (c->name() == "fmt " || c->name() == "data")
                continue;
            const std::int64_t len = std::min(c->getParsedLength(), size - c->getDataOffset());
            if (len > 0 && len <= kMaxLoadedChunk) {
                std::vector<std::uint8_t> bytes(static_cast<size_t>(len));
                const std::int64_t got = read(bytes.data(), len, c->getDataOffset());
                c->setBuffer(bytes.data(), got, true);
            }
        }
    }
    return n;
}

std::int64_t WaveFile::readData(void* destination, std::int64_t length, std::int64_t offset)
{
    if (offset < 0)
        return 0;
    if (offset + length > m_dataLength)
        length = m_dataLength - offset;
    if (length <= 0)
        return 0;
    return read(destination, length, m_dataStart + offset);
}

std::int64_t WaveFile::writeWaveHeader(std::FILE* stream, const void* data, std::int64_t dataLength,
                                       std::int64_t trailingBytes) const
{
    const std::uint16_t align = readLe16(m_formatArea + 12);
    const std::int64_t frames = align ? dataLength / align : 0;
    std::int64_t n = writeHeader(stream, m_formatArea, 16, dataLength, trailingBytes, frames);
    if (n > 0 && data)
        n += putBytes(stream, data, dataLength);
    return n;
}

bool WaveFile::needsRf64(std::uint32_t fmtLength, std::int64_t dataLength, std::int64_t trailingBytes)
{
    return dataLength >= kSizeInDs64 || 4 + 8 + fmtLength + 8 + dataLength + trailingBytes >= kSizeInDs64;
}

std::int64_t WaveFile::headerSize(std::uint32_t fmtLength, std::int64_t dataLength, std::int64_t trailingBytes)
{
    return 12 + (needsRf64(fmtLength, dataLength, trailingBytes) ? 36 : 0) + 8 + fmtLength + 8;
}

std::int64_t WaveFile::writeHeader(std::FILE* stream, const std::uint8_t* fmt, std::uint32_t fmtLength,
                                   std::int64_t dataLength, std::int64_t trailingBytes, std::int64_t frames)
{
    if (dataLength < 0 || trailingBytes < 0 || fmtLength > 64)
        return 0;
    const bool wide = needsRf64(fmtLength, dataLength, trailingBytes);
    const std::int64_t size = headerSize(fmtLength, dataLength, trailingBytes);
    const std::int64_t riffSize = size - 8 + dataLength + trailingBytes;
    std::uint8_t head[12 + 36 + 8 + 64 + 8] = {};
    std::uint8_t* p = head;
    std::memcpy(p, wide ? "RF64" : "RIFF", 4);
    writeLe32(p + 4, wide ? 0xFFFFFFFFu : static_cast<std::uint32_t>(riffSize));
    std::memcpy(p + 8, "WAVE", 4);
    p += 12;
    if (wide) {
        std::memcpy(p, "ds64", 4);
        writeLe32(p + 4, 28);
        writeLe64(p + 8, static_cast<std::uint64_t>(riffSize));
        writeLe64(p + 16, static_cast<std::uint64_t>(dataLength));
        writeLe64(p + 24, static_cast<std::uint64_t>(frames));
        writeLe32(p + 32, 0);  // no table: no other chunk is that large
        p += 36;
    }
    std::memcpy(p, "fmt ", 4);
    writeLe32(p + 4, fmtLength);
    std::memcpy(p + 8, fmt, fmtLength);
    p += 8 + fmtLength;
    std::memcpy(p, "data", 4);
    writeLe32(p + 4, wide ? 0xFFFFFFFFu : static_cast<std::uint32_t>(dataLength));
    p += 8;
    return putBytes(stream, head, p - head) == size ? size : 0;
}

bool WaveFile::getFormat(PcmFormat& format) const
{
    format = PcmFormat::fromBytes(m_formatArea);
    return format.channels != 0;
}

void WaveFile::setFormat(const PcmFormat& format)
{
    std::memset(m_formatArea, 0, sizeof m_formatArea);
    format.toBytes(m_formatArea);
}

bool WaveFile::getFormatArea(std::uint8_t* area40) const
{
    std::memcpy(area40, m_formatArea, kFormatAreaSize);
    return readLe16(m_formatArea + 2) != 0;
}

void WaveFile::setFormatArea(const std::uint8_t* area40)
{
    std::memcpy(m_formatArea, area40, kFormatAreaSize);
}

std::vector<const RiffCls*> WaveFile::foreignChunks() const
{
    std::vector<const RiffCls*> out;
    if (!m_wave)
        return out;
    for (const RiffCls* c : m_wave->subChunks())
        if (c->name() != "fmt " && c->name() != "data" && c->name() != "ds64" &&
            c->getPosition() != m_dataHeaderPosition &&
            c->ownsBuffer())
            out.push_back(c);
    return out;
}

std::int64_t WaveFile::writePaddedSubChunk(std::FILE* stream, std::string_view id, const void* data,
                                           std::int64_t length)
{
    char name[4];
    fourCC(id, name);
    std::int64_t n = putBytes(stream, name, 4);
    n += putLe32(stream, static_cast<std::uint32_t>(length));
    n += putBytes(stream, data, length);
    if (length & 1)
        n += putBytes(stream, "", 1);
    return n;
}
