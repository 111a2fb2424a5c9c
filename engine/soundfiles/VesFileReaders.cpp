#include "soundfiles/VesFileReaders.h"

#include "core/LoggCls.h"
#include "core/VkitXML.h"
#include "records/GuanoRecord.h"
#include "records/VprdData.h"
#include "soundfiles/CodecDecoder.h"
#include "core/ByteOrder.h"
#include "soundfiles/RiffFile.h"
#include "soundfiles/VesFileType.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kCopyPiece = 4 << 20;

// Free bytes on the file system of `path`, −1 when unknown.
std::int64_t freeSpaceOf(const std::string& path)
{
    struct statvfs s {};
    if (::statvfs(path.c_str(), &s) != 0)
        return -1;
    return static_cast<std::int64_t>(s.f_bavail) * static_cast<std::int64_t>(s.f_frsize);
}

std::string fieldText(const std::uint8_t* header, int offset, int size)
{
    const char* p = reinterpret_cast<const char*>(header + offset);
    std::string s(p, strnlen(p, static_cast<size_t>(size)));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n'))
        s.pop_back();
    return s;
}

// Appends bytes of whole frames to a sample store; false when the store failed.
bool appendTo(FileCls& store, const void* bytes, std::int64_t length)
{
    if (length <= 0)
        return true;
    return store.write(bytes, length, store.length()) == length;
}

bool startsWithRiff(const std::string& path)
{
    char head[4] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return true;  // let the wave reader report it
    const size_t n = std::fread(head, 1, 4, f);
    std::fclose(f);
    return n == 4 && (std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RF64", 4) == 0 ||
                      std::memcmp(head, "BW64", 4) == 0);
}

}  // namespace

std::vector<std::uint8_t> fixedRecordBytes(const VesRecData& base, RiffCls* vpr0)
{
    std::vector<std::uint8_t> bytes = base.toBytes();
    const auto have = static_cast<std::size_t>(std::clamp<std::int64_t>(vpr0->bufferLength(), 0, static_cast<std::int64_t>(bytes.size())));
    if (have > 0 && vpr0->buffer() != nullptr)
        std::memcpy(bytes.data(), vpr0->buffer(), have);
    return bytes;
}

CVesFile::CVesFile(std::string path, int type, IReadHost* host) : m_path(std::move(path)), m_type(type), m_host(host)
{
}

void CVesFile::startSampleStore()
{
    m_recording.samples.createTemp("VpTmp", 0, FileCls::kStoreGrowthStep);
}

void CVesFile::message(const std::string& text)
{
    if (m_host)
        m_host->message(text);
}

LoadedRecording CVesFile::takeRecording()
{
    LoadedRecording rec = std::move(m_recording);
    m_recording = LoadedRecording();
    rec.saveType = m_type;
    if (m_type == kTypeCodec) {
        // An imported recording is converted: it is saved as an own recording
        // file beside the original.
        std::string p = m_path;
        while (!p.empty() && p.back() == ' ')
            p.pop_back();
        rec.pendingSavePath = p + ".vprd";
        rec.saveType = kTypeVesperonWave;
        rec.modified = true;
        rec.titleSuffix = LoadedRecording::kConvertedSuffix;
    }
    rec.typeName = fileTypeDisplayName(rec.saveType);
    return rec;
}

void CVesFile::setErrorText(const std::string& text)
{
    m_error = text;
    if (!text.empty())
        vkit::Logg().error(text);
}

bool CVesFile::reportProgress(std::int64_t done, std::int64_t total)
{
    if (m_cancelled)
        return false;
    if (m_host && !m_host->progress(done, total))
        m_cancelled = true;
    return !m_cancelled;
}

namespace {

struct DetectorField {
    int offset, size;
    const char* label;
};
constexpr DetectorField kDetectorFields[] = {
    {68, 32, " Record time (utc):"}, {100, 32, " Latitude : "}, {132, 32, " Longitude : "},
    {164, 16, " file name : "},      {180, 16, " filetime : "}, {196, 48, " version : "},
};

}  // namespace

std::vector<std::string> detectorHeaderLines(const std::uint8_t* header)
{
    std::vector<std::string> lines;
    for (const auto& f : kDetectorFields) {
        const std::string value = fieldText(header, f.offset, f.size);
        if (!value.empty())
            lines.push_back(std::string(f.label + 1) + value);
    }
    return lines;
}

std::string describeDetectorHeader(const std::uint8_t* header, bool& anyField)
{
    const std::string version = fieldText(header, 196, 48);
    std::string model = version.substr(0, version.find(' '));
    if (version.find(' ') == std::string::npos || model.empty())
        model = "R9000Z";
    std::string text = model;
    anyField = false;
    for (const auto& f : kDetectorFields) {
        const std::string value = fieldText(header, f.offset, f.size);
        if (value.empty())
            continue;
        anyField = true;
        text += f.label;
        text += value;
    }
    return text;
}

std::unique_ptr<IVesFile> makeReader(const std::string& path, IReadHost* host)
{
    const VesFilePath vp(path);
    const std::string plain = vp.plain();
    int type = vp.type();
    if (type == kTypeStandardWave) {
        type = refineStandardWaveType(plain);
    } else if (type == kTypeVesperonWave && !vp.hasTag() && !startsWithRiff(plain)) {
        // Not a RIFF file under an extension of ours or an unknown one
        // (flac, ogg, m4a, ...): let the decoder try it.
        type = kTypeCodec;
    }
    switch (type) {
    case kTypeStandardWave:
    case kTypeWave:
    case kTypeWaveComp:
    case kTypeDetectorWave:
    case kTypeVesperonWave:
    case kTypeVesperonPair:
        return std::make_unique<CVesWaveFile>(plain, type, host);
    case kTypeCodec:
        return std::make_unique<CVesCodecFile>(plain, type, host);
    default:
        return std::make_unique<CVesDataFile>(plain, type, host);
    }
}

// ---- RIFF-based recordings ----

bool CVesWaveFile::readOwnForms(WaveFile& wave, bool& fixedRecordRead)
{
    LoadedRecording& rec = m_recording;
    RiffCls* vpr0 = wave.find("VPr0");
    if (!vpr0)
        return false;
    if (RiffCls* vprz = wave.find("VPrZ"); vprz && vprz->bufferLength() > 0) {
        VprdData xml;
        xml.m_recData = rec.recData;
        if (xml.fromPayload(std::span<const std::uint8_t>(vprz->buffer(), static_cast<size_t>(vprz->bufferLength())))) {
            rec.recData = xml.m_recData;
            rec.anaParms = xml.m_anaParms;
            int highest = -1;
            for (auto& m : xml.m_marks)
                highest = std::max(highest, m.m_markNr);
            rec.marks = xml.m_marks;
            rec.nextMarkNumber = highest + 1;
            if (xml.m_playSpeedList)
                rec.playSpeedList = std::move(xml.m_playSpeedList);
            fixedRecordRead = true;  // a recording record was read
            return true;
        }
    }
    if (vpr0->bufferLength() > static_cast<std::int64_t>(VesRecData::kFixedSize)) {
        message("Can not read Vesperon format information.");
        return true;
    }
    VesRecData fixed = rec.recData;
    fixed.fromBytes(fixedRecordBytes(rec.recData, vpr0));
    if (m_type != kTypeVesperonPair)  // a pair keeps its samples in the wave beside it
        m_type = kTypeWave;
    fixedRecordRead = true;
    if (fixed.m_release == 5 && fixed.m_version == 2) {
        fixed.m_release = 2;
        fixed.m_version = 5;
    }
    bool oldViews = false;
    bool readViews = true;
    if (fixed.m_release < 2 || (fixed.m_release == 2 && fixed.m_version == 0)) {
        fixed.m_timeExp25 = VesRecData::timeExpFromOldFactor(fixed.m_timeExp25);
        oldViews = true;
    } else if (fixed.m_release == 2 && fixed.m_version >= 1 && fixed.m_version <= 4) {
        fixed.m_release = 4;
        fixed.m_version = 0;
        oldViews = true;
    } else if (fixed.m_release > 4 || (fixed.m_release == 4 && fixed.m_version > 0)) {
        message("Can not read all Vesperon format information, file written with Vesperon version later than this.");
        readViews = false;
    }
    rec.recData = fixed;
    if (!readViews)
        return true;
    for (int i = 1;; ++i) {
        RiffCls* f = wave.find("VPr1", i);
        if (!f)
            break;
        VesAnaParms parms;
        const std::span<const std::uint8_t> bytes(f->buffer(), static_cast<size_t>(std::max<std::int64_t>(0, f->bufferLength())));
        if (!(oldViews ? parms.fromOldBytes(bytes) : parms.fromBytes(bytes)))
            break;
        if (parms.isNewerThanSupported())
            break;
        if (parms.m_release < 3 || (parms.m_release == 3 && parms.m_version == 0))
            parms.convertOldTimeUnits();
        rec.anaParms.push_back(parms);
    }
    int highest = -1;
    for (int i = 1;; ++i) {
        RiffCls* f = wave.find("VPr2", i);
        if (!f)
            break;
        AnaMarkSave mark;
        if (!mark.fromBytes(std::span<const std::uint8_t>(f->buffer(), static_cast<size_t>(std::max<std::int64_t>(0, f->bufferLength())))))
            break;
        highest = std::max(highest, mark.m_markNr);
        rec.marks.push_back(mark);
    }
    rec.nextMarkNumber = highest + 1;
    return true;
}

bool parseSegmentTable(const std::uint8_t* p, std::int64_t n, SegmentTableHeader& header,
                       std::vector<SegmentRecord>& segments)
{
    segments.clear();
    if (!p || n < static_cast<std::int64_t>(SegmentTableHeader::kSize))
        return false;
    std::memcpy(header.bytes.data(), p, SegmentTableHeader::kSize);
    std::int64_t pos = SegmentTableHeader::kSize;
    std::int64_t lastEnd = 0;
    while (pos + 4 <= n) {
        const std::int64_t len = readLe32(p + pos);
        if (len < 12 || pos + len > n)
            break;  // a record too short to hold start and count, or cut off
        SegmentRecord r;
        r.startFrame = readLe32(p + pos + 4);
        r.frames = readLe32(p + pos + 8);
        if (r.startFrame < lastEnd)
            break;  // segments must follow each other
        lastEnd = r.startFrame + r.frames;
        segments.push_back(r);
        pos += len;
    }
    return !segments.empty();
}

void CVesWaveFile::readSegmentTable(WaveFile& wave)
{
    LoadedRecording& rec = m_recording;
    RiffCls* vprc = wave.find("VPrC");
    if (!vprc)
        return;
    if (parseSegmentTable(vprc->buffer(), vprc->bufferLength(), rec.segmentHeader, rec.segments))
        m_type = kTypeWaveComp;
}

bool CVesWaveFile::readDetectorHeader(WaveFile& samples, std::int64_t& dataOffset)
{
    LoadedRecording& rec = m_recording;
    std::uint8_t header[VesRecData::kDetectorHeaderSize] = {};
    samples.readData(header, sizeof header, 0);
    std::uint32_t length = readLe32(header);
    if (length < 33 || length > 1024) {
        message("No R9000Z data found?");
        return false;
    }
    if (length == 176 && isDetectorVersionText(reinterpret_cast<const char*>(header + 196), 48))
        length = 244;
    if (length < sizeof header)
        std::memset(header + length, 0, sizeof header - length);
    std::memcpy(rec.recData.m_detectorHeader.data(), header, sizeof header);
    rec.recData.setDetectorHeaderLength(length);
    bool anyField = false;
    const std::string description = describeDetectorHeader(header, anyField);
    rec.detectorDescription = description;
    if (anyField && rec.recData.m_recDev.empty())
        rec.recData.m_recDev = description;
    dataOffset = length;
    return true;
}

bool CVesWaveFile::copySamples(WaveFile& samples, std::int64_t dataOffset)
{
    FileCls& store = m_recording.samples;
    const std::int64_t align = std::max<std::int64_t>(1, m_recording.format.blockAlign);
    const std::int64_t total = std::max<std::int64_t>(0, samples.dataLength() - dataOffset);
    std::int64_t src = dataOffset;  // offset within the wave's sample data
    // Sample data stored as they are become the store at once: it reads
    // them from the file until its background copy has them.
    if (m_recording.segments.empty() && store.length() == 0 && total > 0 &&
        store.adoptSource(samples.path(), samples.dataStart() + dataOffset, total / align * align))
        return reportProgress(total, total);
    auto copy = [&](std::int64_t bytes) -> bool {
        while (bytes > 0) {
            const std::int64_t at = store.length();
            const std::int64_t want = std::min(bytes, kCopyPiece);
            FileViewRef v = store.writeView(at, at + want);
            if (!v) {
                setErrorText(store.errorText().empty() ? "Disk write error! Disk full or write protected?" : store.errorText());
                return false;
            }
            const std::int64_t n = std::min(want, v.available());
            const std::int64_t got = samples.readData(v.data(), n, src);
            if (got <= 0)
                return true;  // the wave data ended early
            store.setLength(at + got);
            src += got;
            bytes -= got;
            if (!reportProgress(src - dataOffset, total))
                return false;
        }
        return true;
    };
    for (const SegmentRecord& seg : m_recording.segments) {
        const std::int64_t stored = store.length() / align;
        if (seg.startFrame > stored) {
            const std::int64_t gap = (seg.startFrame - stored) * align;
            const std::int64_t space = freeSpaceOf(vkit::tempFolder());
            if (space >= 0 && gap > space) {
                setErrorText("Disk full!");
                return false;
            }
            if (!store.setLength(store.length() + gap)) {
                setErrorText(store.errorText());
                return false;
            }
        }
        if (!copy(seg.frames * align))
            return false;
    }
    return copy(samples.dataLength() - src);
}

// The time expansion x 1000 that a GUANO `TE` field or a `wamd` chunk gives,
// GUANO first; 0 when neither gives one.
std::int32_t metadataTimeExp25(const std::vector<ForeignChunk>& chunks)
{
    for (const auto& c : chunks) {
        if (c.id != "guan")
            continue;
        GuanoRecord g;
        std::string error;
        if (!GuanoRecord::parse(c.bytes, g, error))
            continue;
        const auto te = g.number("TE");
        if (te && *te >= 1 && *te <= 1000)
            return static_cast<std::int32_t>(std::lround(*te * 1000));
    }
    for (const auto& c : chunks)
        if (c.id == "wamd")
            if (const int te = wamdTimeExpansion(c.bytes.data(), c.bytes.size()); te >= 1 && te <= 1000)
                return te * 1000;
    return 0;
}

bool CVesWaveFile::open()
{
    LoadedRecording& rec = m_recording;
    auto wave = std::make_unique<WaveFile>();
    startSampleStore();
    if (wave->open(m_path, true) < 1)
        return false;

    bool recordRead = false;
    if (!readOwnForms(*wave, recordRead) && m_type != kTypeDetectorWave)
        m_type = kTypeStandardWave;
    readSegmentTable(*wave);

    WaveFile* samples = wave.get();
    std::unique_ptr<WaveFile> pairWave;
    if (m_type == kTypeVesperonPair) {
        pairWave = std::make_unique<WaveFile>();
        const std::string wavePath = m_path + ".wav";
        if (pairWave->open(wavePath, true) < 1) {
            setErrorText("Wave file missing in file pair " + m_path + " and " + wavePath);
            return false;
        }
        samples = pairWave.get();
    }

    PcmFormat pcm;
    const bool hasChannels = samples->getFormat(pcm);
    const bool supportedBits = pcm.bitsPerSample == 8 || pcm.bitsPerSample == 16 || pcm.bitsPerSample == 24 ||
                               pcm.bitsPerSample == 32;
    if (!hasChannels || !supportedBits || pcm.samplesPerSec == 0 || pcm.channels > 2) {
        setErrorText("File " + m_path + " is not a valid WAVE sound file.");
        return false;
    }
    rec.format = SoundFormat::pcm(pcm.channels, pcm.bitsPerSample, pcm.samplesPerSec);
    for (const RiffCls* c : samples->foreignChunks())
        rec.foreignChunks.push_back({c->name(), std::vector<std::uint8_t>(c->buffer(), c->buffer() + c->bufferLength())});
    // Only a file that brought no recording record of its own gets its time
    // expansion from its GUANO or wamd metadata, else from the sampling rate.
    if (!recordRead) {
        if (const std::int32_t te = metadataTimeExp25(rec.foreignChunks); te > 0)
            rec.recData.m_timeExp25 = te;
        else if (pcm.samplesPerSec > 97000)
            rec.recData.m_timeExp25 = 1000;
    }

    std::int64_t dataOffset = 0;
    if (m_type == kTypeDetectorWave)
        readDetectorHeader(*samples, dataOffset);

    if (!copySamples(*samples, dataOffset))
        return false;
    const std::int64_t align = rec.format.blockAlign;
    if (align >= 1 && align <= 128)
        rec.samples.setLength(rec.samples.length() / align * align);
    rec.waveFile = std::move(wave);
    return true;
}

// ---- headerless sample files ----

bool CVesDataFile::open()
{
    LoadedRecording& rec = m_recording;
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setErrorText("Can not open file: " + vkit::systemErrorText(errno));
        return false;
    }
    SoundFormat fmt;
    switch (m_type) {
    case kTypeData16Mono: fmt = SoundFormat::pcm(1, 16, 22050); break;
    case kTypeData8Mono: fmt = SoundFormat::pcm(1, 8, 22050); break;
    case kTypeSpecial60: fmt = SoundFormat::pcm(1, 16, 44100); break;
    default:
        ::close(fd);
        setErrorText("Unknown file type.");
        return false;
    }
    rec.recData.m_timeExp25 = 1000;
    rec.format = fmt;
    startSampleStore();
    struct stat st {};
    const std::int64_t size = ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
    std::int64_t pos = m_type == kTypeSpecial60 ? 60 : 0;
    const std::int64_t total = std::max<std::int64_t>(0, size - pos);
    if (m_type != kTypeSpecial60 && total > 0 && rec.samples.adoptSource(m_path, pos, total)) {
        ::close(fd);
        return reportProgress(total, total);
    }
    std::vector<std::uint8_t> block(static_cast<size_t>(std::max<std::int64_t>(fmt.blockSize(), 1) * 16));
    bool ok = true;
    std::int64_t done = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, block.data(), block.size(), pos);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pos += n;
        std::size_t len = static_cast<std::size_t>(n);
        if (m_type == kTypeSpecial60) {
            len &= ~std::size_t(1);
            for (std::size_t i = 0; i + 1 < len; i += 2)
                writeLe16(&block[i], static_cast<std::uint16_t>(readLe16(&block[i]) - 0x8000));
        }
        if (!appendTo(rec.samples, block.data(), static_cast<std::int64_t>(len))) {
            setErrorText(rec.samples.errorText().empty() ? "Disk write error! Disk full or write protected?"
                                                         : rec.samples.errorText());
            ok = false;
            break;
        }
        done += n;
        if (!reportProgress(done, total)) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    return ok;
}

// ---- compressed audio ----

namespace {

class RecordingSink : public CodecSink {
public:
    RecordingSink(LoadedRecording& rec, CVesFile& reader) : m_rec(rec), m_reader(reader) {}
    bool format(const CodecInfo& info) override
    {
        m_rec.format = SoundFormat::pcm(info.channels, info.bitsPerSample, info.rateHz);
        return true;
    }
    bool data(const std::uint8_t* bytes, std::size_t length) override
    {
        if (appendTo(m_rec.samples, bytes, static_cast<std::int64_t>(length)))
            return true;
        m_failed = true;
        return false;
    }
    bool progress(std::int64_t done, std::int64_t total) override { return m_reader.reportProgress(done, total); }
    bool failed() const { return m_failed; }

private:
    LoadedRecording& m_rec;
    CVesFile& m_reader;
    bool m_failed = false;
};

}  // namespace

bool CVesCodecFile::open()
{
    startSampleStore();
    CodecDecoder decoder;
    RecordingSink sink(m_recording, *this);
    const CodecDecoder::Result r = decoder.decode(m_path, sink);
    if (!decoder.detail().empty())
        vkit::Logg().warning("CVesCodecFile: " + m_path + ": " + decoder.detail());
    switch (r) {
    case CodecDecoder::Result::Ok:
        break;
    case CodecDecoder::Result::CannotDecode:
        setErrorText(m_path + ": Unable to decompress files of this type!");
        return false;
    case CodecDecoder::Result::WrongFormat:
        setErrorText(m_path + ": Wrong format in file!");
        return false;
    case CodecDecoder::Result::Cancelled:
        if (!sink.failed())
            return false;
        [[fallthrough]];
    case CodecDecoder::Result::DecodeFailed:
        setErrorText(m_path + ": Failed to decompress the file!");
        return false;
    }
    const CodecInfo& info = decoder.info();
    if (info.sourceChannels > 2)
        message(m_path + ": " + std::to_string(info.sourceChannels) + " channels; only the first two were imported.");
    if (info.rateHz > 97000)
        m_recording.recData.m_timeExp25 = 1000;
    return true;
}
