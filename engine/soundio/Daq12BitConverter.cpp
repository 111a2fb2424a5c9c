#include "soundio/Daq12BitConverter.h"

#include "core/LoggCls.h"
#include "document/SampleCodec.h"
#include "records/VesRecData.h"
#include "records/VprdData.h"
#include "soundfiles/RiffFile.h"
#include "soundfiles/VesFileReaders.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

namespace {

constexpr std::int64_t kBlockBytes = 16384;
constexpr std::int64_t kTrailingZeroBytes = 65536;
const char* const kWriteError = "Error while writing temporary work file! Disk full?.";

std::int64_t freeBytesOf(const std::string& folder)
{
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

// The time expansion the program's own forms give (XML first, then the fixed
// record); a GUANO or wamd field otherwise; else none.
std::int32_t recordedTimeExp25(WaveFile& wave, std::vector<std::string>& warnings)
{
    RiffCls* vpr0 = wave.find("VPr0");
    if (vpr0) {
        if (RiffCls* vprz = wave.find("VPrZ"); vprz && vprz->bufferLength() > 0) {
            VprdData xml;
            if (xml.fromPayload(std::span<const std::uint8_t>(vprz->buffer(), static_cast<size_t>(vprz->bufferLength()))))
                return xml.m_recData.m_timeExp25;
        }
        if (vpr0->bufferLength() > static_cast<std::int64_t>(VesRecData::kFixedSize)) {
            warnings.emplace_back("Can not read Vesperon format information.");
            return 1000;
        }
        VesRecData fixed;
        fixed.fromBytes(fixedRecordBytes(fixed, vpr0));
        if (fixed.m_release == 5 && fixed.m_version == 2) {
            fixed.m_release = 2;
            fixed.m_version = 5;
        }
        if (fixed.m_release < 2 || (fixed.m_release == 2 && fixed.m_version == 0))
            return VesRecData::timeExpFromOldFactor(fixed.m_timeExp25);
        if (fixed.m_release > 4 || (fixed.m_release == 4 && fixed.m_version > 0))
            warnings.emplace_back(
                "Can not read all Vesperon format information, file written with Vesperon version later than this.");
        return fixed.m_timeExp25;
    }
    std::vector<ForeignChunk> chunks;
    for (const RiffCls* c : wave.foreignChunks())
        chunks.push_back({c->name(), std::vector<std::uint8_t>(c->buffer(), c->buffer() + c->bufferLength())});
    const std::int32_t te = metadataTimeExp25(chunks);
    return te > 0 ? te : 1000;
}

// Writes the words of one conversion, in blocks.
class WordWriter {
public:
    WordWriter(DaqTempFile& file, const std::atomic<bool>* cancel) : m_file(file), m_cancel(cancel) {}

    bool zeros(std::int64_t words)
    {
        static const std::int16_t zero[kBlockBytes / 2] = {};
        while (words > 0) {
            const std::int64_t n = std::min<std::int64_t>(words, kBlockBytes / 2);
            if (!put(zero, n))
                return false;
            words -= n;
        }
        return true;
    }

    bool put(const std::int16_t* words, std::int64_t n)
    {
        if (m_cancel && m_cancel->load()) {
            m_cancelled = true;
            return false;
        }
        std::uint8_t bytes[kBlockBytes];
        for (std::int64_t i = 0; i < n; ++i)
            writeLeI16(bytes + 2 * i, words[i]);
        return m_file.append(bytes, static_cast<std::size_t>(2 * n));
    }

    bool cancelled() const { return m_cancelled; }

private:
    DaqTempFile& m_file;
    const std::atomic<bool>* m_cancel;
    bool m_cancelled = false;
};

}  // namespace

void convertTo12BitWords(const std::uint8_t* in, std::int64_t samples, int bitsPerSample, std::int16_t* out)
{
    const int bytes = daqSampleBytes(bitsPerSample);
    if (bytes == 0) {
        std::fill(out, out + samples, std::int16_t{0});
        return;
    }
    // Each width with its own loop; the codec gives the Raw values.
    switch (bitsPerSample) {
    case 8:
        for (std::int64_t i = 0; i < samples; ++i)
            out[i] = daq12BitWord(decodeRawSample(in + i, 1), 8);
        break;
    case 12:
        for (std::int64_t i = 0; i < samples; ++i)
            out[i] = daq12BitWord(decodeRawSample(in + 2 * i, 2), 12);
        break;
    case 16:
        for (std::int64_t i = 0; i < samples; ++i)
            out[i] = daq12BitWord(decodeRawSample(in + 2 * i, 2), 16);
        break;
    case 24:
        for (std::int64_t i = 0; i < samples; ++i)
            out[i] = daq12BitWord(decodeRawSample(in + 3 * i, 3), 24);
        break;
    default:
        for (std::int64_t i = 0; i < samples; ++i)
            out[i] = daq12BitWord(decodeRawSample(in + 4 * i, 4), 32);
        break;
    }
}

// ---- the temporary file ----

std::shared_ptr<DaqTempFile> DaqTempFile::create(const std::string& folder, std::string& error)
{
    std::string name = (folder.empty() ? vkit::tempFolder() : folder);
    if (!name.empty() && name.back() != '/')
        name += '/';
    name += kPrefix;
    name += "XXXXXX";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    const int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) {
        error = kWriteError;
        return nullptr;
    }
    ::unlink(buf.data());
    return std::shared_ptr<DaqTempFile>(new DaqTempFile(fd, std::string(buf.data())));
}

DaqTempFile::~DaqTempFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool DaqTempFile::append(const void* data, std::size_t bytes)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (bytes > 0) {
        const ssize_t n = ::pwrite(m_fd, p, bytes, m_size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        bytes -= static_cast<std::size_t>(n);
        m_size += n;
    }
    return true;
}

std::int64_t DaqTempFile::read(void* data, std::size_t bytes, std::int64_t offset) const
{
    for (;;) {
        const ssize_t n = ::pread(m_fd, data, bytes, offset);
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

// ---- conversion ----

std::int64_t daqRealTimeRateHz(std::int64_t fileRateHz, std::int32_t timeExp25)
{
    if (timeExp25 <= 0)
        timeExp25 = 1000;
    return fileRateHz * timeExp25 / 1000;
}

std::string checkDaqSegments(const std::vector<SegmentRecord>& segments, std::int64_t dataFrames, int channels,
                             std::int64_t freeBytes)
{
    std::int64_t stored = 0;  // frames of the data the segments take
    std::int64_t out = 0;     // frames of the expanded recording
    for (const SegmentRecord& s : segments) {
        if (s.frames <= 0 || s.startFrame < out || s.frames > dataFrames - stored)
            return "The segment table of the file does not match its sound data.";
        out = s.startFrame + s.frames;
        stored += s.frames;
    }
    out += dataFrames - stored;
    if (freeBytes >= 0) {
        // Compared in frames, so that no product can overflow.
        const std::int64_t room = (freeBytes - kTrailingZeroBytes) / (2 * std::max(1, channels));
        if (room < out)
            return kWriteError;
    }
    return {};
}

DaqConversion convertForDaq(const std::string& path, const DaqConvertOptions& options)
{
    DaqConversion r;
    WaveFile wave;
    if (wave.open(path, true) < 1 || !wave.hasWaveForm()) {
        r.error = "File is not a valid WAVE sound file.";
        return r;
    }
    r.timeExp25 = recordedTimeExp25(wave, r.warnings);
    SegmentTableHeader segHeader;
    std::vector<SegmentRecord> segments;
    if (RiffCls* vprc = wave.find("VPrC"))
        parseSegmentTable(vprc->buffer(), vprc->bufferLength(), segHeader, segments);

    if (wave.fmtPosition() < 0) {
        r.error = "Can not find format information.";
        return r;
    }
    PcmFormat pcm;
    const int sampleBytes = wave.getFormat(pcm) ? daqSampleBytes(pcm.bitsPerSample) : 0;
    if (sampleBytes == 0 || pcm.formatTag == 3 || pcm.channels < 1 || pcm.channels > 2 || pcm.samplesPerSec == 0) {
        r.error = "Can not read format information.";
        return r;
    }
    if (wave.dataHeaderPosition() < 0) {
        r.error = "Can not find sound data.";
        return r;
    }
    r.channels = pcm.channels;
    r.bitsPerSample = pcm.bitsPerSample;
    r.fileRateHz = pcm.samplesPerSec;
    const std::int64_t align = static_cast<std::int64_t>(sampleBytes) * pcm.channels;
    const std::int64_t dataFrames = wave.dataLength() / align;

    const std::string folder = options.tempFolder.empty() ? vkit::tempFolder() : options.tempFolder;
    const std::int64_t freeBytes = options.freeBytes >= 0 ? options.freeBytes : freeBytesOf(folder);
    if (std::string why = checkDaqSegments(segments, dataFrames, pcm.channels, freeBytes); !why.empty()) {
        r.error = why;
        return r;
    }

    std::shared_ptr<DaqTempFile> file = DaqTempFile::create(folder, r.error);
    if (!file)
        return r;
    WordWriter writer(*file, options.cancel);
    const std::int64_t framesPerBlock = kBlockBytes / align;
    std::uint8_t in[kBlockBytes];
    std::int16_t words[kBlockBytes / 2];
    std::int64_t src = 0;  // frames of the data read
    const auto convertFrames = [&](std::int64_t frames) {
        while (frames > 0) {
            const std::int64_t n = std::min(frames, framesPerBlock);
            const std::int64_t got = wave.readData(in, n * align, src * align);
            const std::int64_t whole = std::max<std::int64_t>(0, got) / align;
            if (whole <= 0)
                return true;  // the data ended early
            convertTo12BitWords(in, whole * pcm.channels, pcm.bitsPerSample, words);
            if (!writer.put(words, whole * pcm.channels))
                return false;
            src += whole;
            frames -= whole;
        }
        return true;
    };
    std::int64_t out = 0;  // frames written
    bool ok = true;
    for (const SegmentRecord& s : segments) {
        if (s.startFrame > out) {
            ok = writer.zeros((s.startFrame - out) * pcm.channels);
            out = s.startFrame;
        }
        const std::int64_t before = src;
        ok = ok && convertFrames(s.frames);
        out += src - before;
        if (!ok)
            break;
    }
    ok = ok && convertFrames(dataFrames - src);
    ok = ok && writer.zeros(kTrailingZeroBytes / 2);
    if (!ok) {
        r.error = writer.cancelled() ? std::string() : std::string(kWriteError);
        return r;
    }
    r.file = std::move(file);
    r.convertedBytes = r.file->size();
    r.points = r.convertedBytes / 2;
    r.playbackRateHz = daqRealTimeRateHz(r.fileRateHz, r.timeExp25);
    r.ok = true;
    return r;
}
