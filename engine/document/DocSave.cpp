// Saving a document: the save dispatcher and its writers (plain wave, raw
// samples, the program's own recording file and file pair, compressed wave).
//
// Every writer goes through vkit::AtomicFileWriter: the new file is written
// beside the target and renamed over it only when everything was written, so
// a failed or interrupted save leaves the old file as it was and no partial
// file behind.
#include "document/CVesSoundDoc.h"

#include "core/AtomicFile.h"
#include "core/ByteOrder.h"
#include "core/LoggCls.h"
#include "core/VkitXML.h"
#include "document/SampleCodec.h"
#include "records/VprdData.h"
#include "soundfiles/RiffFile.h"
#include "soundfiles/VesFileType.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr const char* kDiskWriteError = "Disk write error! Disk full or write protected?";
// Samples written between two reports of progress (and chances to cancel):
// at least this much, and a thirty-second part of a long save.
constexpr std::int64_t kSavePiece = 4 << 20;
constexpr std::int64_t kSaveReports = 32;

}  // namespace

std::int64_t IDocHost::freeDiskSpace(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct statvfs s {};
    if (::statvfs(dir.c_str(), &s) != 0)
        return -1;
    return static_cast<std::int64_t>(s.f_bavail) * static_cast<std::int64_t>(s.f_frsize);
}

void CVesSoundDoc::byteRange(std::int64_t startFrame, std::int64_t endFrame, std::int64_t& startByte,
                             std::int64_t& endByte) const
{
    const std::int64_t length = m_samples.length();
    if (endFrame >= 0 && endFrame < startFrame)
        std::swap(startFrame, endFrame);
    startByte = std::clamp<std::int64_t>(framesToBytes(std::max<std::int64_t>(0, startFrame)), 0, length);
    endByte = endFrame < 0 ? length : std::clamp<std::int64_t>(framesToBytes(endFrame), startByte, length);
}

bool CVesSoundDoc::save(const std::string& path, int type, std::int64_t start, std::int64_t end)
{
    return saveDispatch(VesFilePath(path).plain(), type, start, end);
}

bool CVesSoundDoc::saveDispatch(const std::string& path, int type, std::int64_t start, std::int64_t end)
{
    std::int64_t startByte = 0, endByte = 0;
    byteRange(start, end, startByte, endByte);
    const std::int64_t needed = end < 0 && start <= 0 ? m_samples.length() : endByte - startByte;
    const std::int64_t space = m_host.freeDiskSpace(path);
    if (space >= 0 && static_cast<double>(space) < static_cast<double>(needed) * 1.1 + 16384.0) {
        m_host.message("Disk full!");
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && ::access(path.c_str(), W_OK) != 0) {
        m_host.message("The file is read only!");
        return false;
    }
    prepareSaveChunks(path, startByte, endByte);
    bool ok;
    switch (type) {
    case kTypeStandardWave:
    case kTypeDetectorWave:
        ok = writePlainWave(path, type, startByte, endByte);
        break;
    case kTypeData16Mono:
    case kTypeData8Mono:
    case kTypeSpecial60:
    case kTypeRawData:
        ok = writeRaw(path, startByte, endByte);
        break;
    case kTypeWave:
    case kTypeWaveComp:
    case kTypeVesperonWave:
    case kTypeVesperonPair:
        ok = writeOwnFormat(path, type, bytesToFrames(startByte), bytesToFrames(endByte));
        break;
    default:
        ok = true;
        break;
    }
    if (ok && path == VesFilePath(m_path).plain())
        m_modified = false;
    return ok;
}

bool CVesSoundDoc::copyStoreToStream(FileCls& store, std::int64_t startByte, std::int64_t endByte, std::FILE* out,
                                     const std::string& what)
{
    // The stored bytes go out unchanged: the store copies them straight into
    // the stream's file at its offset, and the stream then moves past them.
    const std::int64_t total = endByte - startByte;
    m_host.beginOperation(what);
    bool ok = std::fflush(out) == 0;
    const off_t at = ok ? ::ftello(out) : -1;
    ok = ok && at >= 0;
    if (ok && total > 0) {
        const std::int64_t copied = store.copyTo(::fileno(out), at, startByte, total,
                                                 [&](std::int64_t done) { return m_host.progress(what, done, total); },
                                                 std::max(kSavePiece, total / kSaveReports));
        ok = copied == total && ::fseeko(out, at + static_cast<off_t>(total), SEEK_SET) == 0;
    }
    m_host.endOperation();
    return ok;
}

std::int64_t CVesSoundDoc::foreignChunksSize() const
{
    std::int64_t n = 0;
    for (const auto& c : m_saveChunks)
        n += WaveFile::paddedChunkSize(static_cast<std::int64_t>(c.bytes.size()));
    return n;
}

bool CVesSoundDoc::writeForeignChunks(std::FILE* out) const
{
    for (const auto& c : m_saveChunks) {
        const auto len = static_cast<std::int64_t>(c.bytes.size());
        if (WaveFile::writePaddedSubChunk(out, c.id, c.bytes.data(), len) != WaveFile::paddedChunkSize(len))
            return false;
    }
    return true;
}

bool CVesSoundDoc::writePlainWave(const std::string& path, int type, std::int64_t startByte, std::int64_t endByte)
{
    std::uint32_t headerLength = 0;
    if (type == kTypeDetectorWave) {
        headerLength = m_recData.detectorHeaderLength();
        if (headerLength < 33 || headerLength > VesRecData::kDetectorHeaderSize)
            headerLength = 0;
    }
    const std::int64_t dataLength = headerLength + (endByte - startByte);
    const std::int64_t trailing = (dataLength & 1) + foreignChunksSize();
    vkit::AtomicFileWriter out;
    if (!out.open(path)) {
        m_host.message("Failed to open/create file.");
        return false;
    }
    // fmt: the PCM record and a zero extension size; RF64 past RIFF's 4 GB.
    std::uint8_t fmt[18];
    PcmFormat pcm{m_format.formatTag, m_format.channels, m_format.samplesPerSec, m_format.avgBytesPerSec,
                  m_format.blockAlign, m_format.bitsPerSample};
    pcm.toBytes(fmt);
    writeLe16(fmt + 16, 0);
    const std::int64_t headSize = WaveFile::headerSize(sizeof fmt, dataLength, trailing);
    bool ok = WaveFile::writeHeader(out.stream(), fmt, sizeof fmt, dataLength, trailing,
                                    bytesToFrames(endByte - startByte)) == headSize;
    if (ok && headerLength)
        ok = std::fwrite(m_recData.m_detectorHeader.data(), 1, headerLength, out.stream()) == headerLength;
    ok = ok && copyStoreToStream(m_samples, startByte, endByte, out.stream(), "Save");
    if (ok && (dataLength & 1))
        ok = std::fputc(0, out.stream()) != EOF;
    ok = ok && writeForeignChunks(out.stream());
    if (!ok || !out.commit()) {
        out.abandon();
        m_host.message(kDiskWriteError);
        return false;
    }
    return true;
}

bool CVesSoundDoc::writeRaw(const std::string& path, std::int64_t startByte, std::int64_t endByte)
{
    vkit::AtomicFileWriter out;
    if (!out.open(path)) {
        m_host.message("Can not open file: " + out.error());
        return false;
    }
    if (!copyStoreToStream(m_samples, startByte, endByte, out.stream(), "Save") || !out.commit()) {
        const std::string err = out.error().empty() ? vkit::systemErrorText(errno ? errno : EIO) : out.error();
        out.abandon();
        m_host.message("Error writing to file: " + err);
        return false;
    }
    return true;
}

std::vector<VesAnaParms> CVesSoundDoc::parmsToSave() const
{
    std::vector<VesAnaParms> out;
    for (const auto& v : m_views)
        out.push_back(v.parms);
    // Sets no view has taken yet (a document used without windows) are kept too.
    for (auto it = m_pendingAnaParms.rbegin(); it != m_pendingAnaParms.rend(); ++it)
        out.push_back(*it);
    return out;
}

bool CVesSoundDoc::writeOwnFormat(const std::string& path, int type, std::int64_t startFrame, std::int64_t endFrame)
{
    if (endFrame < startFrame)
        std::swap(startFrame, endFrame);
    if (!m_waveFile)
        m_waveFile = std::make_unique<WaveFile>();
    WaveFile& wave = *m_waveFile;

    // Own forms refer to these bytes until writeAll has run.
    const std::vector<std::uint8_t> recBytes = m_recData.toBytes();
    std::vector<std::vector<std::uint8_t>> viewBytes, markBytes;
    VprdData xml;
    xml.m_recData = m_recData;

    wave.set("VPr0", static_cast<std::int64_t>(recBytes.size()), recBytes.data());
    wave.removeAll("VPr1", true);
    for (VesAnaParms parms : parmsToSave()) {
        if (parms.m_plotStart >= 0) {
            parms.m_plotStart -= startFrame;
            if (parms.m_plotEnd >= 0)
                parms.m_plotEnd -= startFrame;
            if (parms.m_plotStart < 0) {
                parms.m_plotStart = 0;
                parms.m_plotEnd = -1;
            }
        }
        viewBytes.push_back(parms.toBytes());
        xml.m_anaParms.push_back(parms);
    }
    for (const auto& b : viewBytes)
        wave.add("VPr1", static_cast<std::int64_t>(b.size()), b.data());
    wave.removeAll("VPr2", true);
    for (AnaMarkSave mark : m_marks) {
        if (mark.m_posX < startFrame || mark.m_posX > endFrame)
            continue;
        mark.m_posX -= startFrame;
        if (mark.m_first >= 0)
            mark.m_first = std::max<std::int64_t>(0, mark.m_first - startFrame);
        if (mark.m_last >= 0)
            mark.m_last = std::max<std::int64_t>(0, mark.m_last - startFrame);
        markBytes.push_back(mark.toBytes());
        xml.m_marks.push_back(mark);
    }
    for (const auto& b : markBytes)
        wave.add("VPr2", static_cast<std::int64_t>(b.size()), b.data());
    if (m_playSpeedList)
        xml.m_playSpeedList = m_playSpeedList->clone();
    const std::vector<std::uint8_t> xmlBytes = xml.toPayload();
    wave.removeAll("VPrZ", true);
    wave.add("VPrZ", static_cast<std::int64_t>(xmlBytes.size()), xmlBytes.data());

    wave.removeAll("VPrC", true);
    FileCls* source = &m_samples;
    FileCls kept;
    std::vector<std::uint8_t> segmentTable;
    std::int64_t startByte = framesToBytes(startFrame);
    std::int64_t endByte = framesToBytes(endFrame);
    if (type == kTypeWaveComp) {
        m_segmentHeader.setFileType(kTypeWaveComp);
        std::vector<SegmentRecord> list;
        if (!kept.createTemp("VcTmp", 0, FileCls::kStoreGrowthStep) ||
            !buildKeptSegments(startFrame, endFrame, kept, list)) {
            m_host.message(kDiskWriteError);
            return false;
        }
        segmentTable.assign(m_segmentHeader.bytes.begin(), m_segmentHeader.bytes.end());
        for (const auto& s : list) {
            std::uint8_t rec[16] = {};
            writeLe32(rec, 16);
            writeLe32(rec + 4, static_cast<std::uint32_t>(s.startFrame));
            writeLe32(rec + 8, static_cast<std::uint32_t>(s.frames));
            segmentTable.insert(segmentTable.end(), rec, rec + 16);
        }
        wave.add("VPrC", static_cast<std::int64_t>(segmentTable.size()), segmentTable.data());
        m_lastSavedSegments = static_cast<int>(list.size());
        source = &kept;
        startByte = 0;
        endByte = kept.length();
    }
    wave.removeAll("WAVE", true);
    PcmFormat pcm{m_format.formatTag, m_format.channels, m_format.samplesPerSec, m_format.avgBytesPerSec,
                  m_format.blockAlign, m_format.bitsPerSample};
    wave.setFormat(pcm);

    const std::int64_t dataLength = endByte - startByte;
    const std::int64_t trailing = (dataLength & 1) + foreignChunksSize();
    vkit::AtomicFileWriter out, pairOut;
    const bool pair = type == kTypeVesperonPair;
    if (!out.open(path) || (pair && !pairOut.open(path + ".wav"))) {
        m_host.message("Failed to open/create file.");
        return false;
    }
    std::FILE* waveStream = pair ? pairOut.stream() : out.stream();
    bool ok = wave.writeWaveHeader(waveStream, nullptr, dataLength, trailing) ==
              WaveFile::headerSize(16, dataLength, trailing);
    ok = ok && copyStoreToStream(*source, startByte, endByte, waveStream, "Save");
    if (ok && (dataLength & 1))
        ok = std::fputc(0, waveStream) != EOF;
    ok = ok && writeForeignChunks(waveStream);
    if (ok) {
        std::int64_t formsLength = 0;
        for (const RiffCls* f : wave.forms())
            formsLength += 12 + f->payloadLength();
        ok = wave.writeAll(out.stream()) == formsLength;
    }
    ok = ok && (!pair || pairOut.commit()) && out.commit();
    if (!ok) {
        out.abandon();
        pairOut.abandon();
        m_host.message(kDiskWriteError);
        return false;
    }
    return true;
}

// Kept segments: the stretches around loud frames. The level is measured from
// the zero line against the full scale of the sample width: 128 for 8-bit,
// 32768 for 16-bit, 2^23 for 24-bit and 2^31 for 32-bit samples, so one
// silent level in dB means the same loudness at every width.
bool CVesSoundDoc::buildKeptSegments(std::int64_t startFrame, std::int64_t endFrame, FileCls& store,
                                     std::vector<SegmentRecord>& list)
{
    const int level = m_segmentHeader.silentLevelDb();
    // The silent level as a fraction of full scale, on the grid of the stored values.
    const double fullScale = static_cast<double>(sampleFullScale(m_format.bitsPerSample));
    const double threshold = std::round(std::pow(10.0, -std::abs(level) / 10.0) * fullScale) / fullScale;
    const std::int64_t preFrames = realMicrosToFrames(static_cast<std::int64_t>(m_segmentHeader.silentBeforeMs()) * 1000);
    const std::int64_t afterMs = m_segmentHeader.silentAfterMs();
    const std::int64_t quietFrames = afterMs > 0 ? realMicrosToFrames(afterMs * 1000) : preFrames;
    const int align = m_format.blockAlign;
    const int bytes = m_format.bitsPerSample / 8;
    const int channels = m_format.channels;
    endFrame = std::min(endFrame, lengthFrames());

    auto loud = [&](const std::uint8_t* p) {
        for (int c = 0; c < channels; ++c, p += bytes)
            if (std::abs(decodeSample(p, bytes, SampleScale::Level)) > threshold)
                return true;
        return false;
    };
    bool inSegment = false;
    std::int64_t segStart = 0, quiet = 0, lastEnd = 0;
    auto close = [&](std::int64_t endExclusive) -> bool {
        // Copy frames [segStart, endExclusive) of the interval into the store.
        const std::int64_t from = framesToBytes(startFrame + segStart), to = framesToBytes(startFrame + endExclusive);
        for (std::int64_t pos = from; pos < to;) {
            FileViewRef v = m_samples.readView(pos, pos + 1);
            if (!v)
                return false;
            const std::int64_t n = std::min(v.available(), to - pos);
            if (store.write(v.data(), n, -1) != n)
                return false;
            pos += n;
        }
        list.push_back({segStart, endExclusive - segStart});  // frames of the saved interval
        lastEnd = endExclusive;
        inSegment = false;
        return true;
    };
    const std::int64_t count = endFrame - startFrame;
    m_host.beginOperation("Save");
    for (std::int64_t n = 0; n < count;) {
        const std::int64_t pos = framesToBytes(startFrame + n);
        FileViewRef v = m_samples.readView(pos, pos + align);
        if (!v)
            return false;
        const std::int64_t avail = std::min(count - n, v.available() / align);
        const auto* p = reinterpret_cast<const std::uint8_t*>(v.data());
        for (std::int64_t i = 0; i < avail; ++i, ++n, p += align) {
            const bool isLoud = loud(p);
            if (!inSegment) {
                if (isLoud) {
                    inSegment = true;
                    quiet = 0;
                    segStart = n - std::min(preFrames, std::max<std::int64_t>(0, n - 1));
                    // The lead-in never reaches back into the previous segment.
                    segStart = std::max(segStart, lastEnd);
                }
            } else if (isLoud) {
                quiet = 0;
            } else if (++quiet > quietFrames) {
                // Our view stays mapped while the copy maps others.
                if (!close(n))
                    return false;
            }
        }
        if (!m_host.progress("Save", n, count)) {
            m_host.endOperation();
            return false;
        }
    }
    m_host.endOperation();
    return !inSegment || close(count);
}

bool CVesSoundDoc::doSave(const std::string& givenPath, bool replace)
{
    std::string path = !givenPath.empty() ? givenPath : (!m_pendingSavePath.empty() ? m_pendingSavePath : m_path);
    if (path.empty()) {
        m_host.message("Failed to open/create file.");
        return false;
    }
    const VesFilePath vp(path);
    int type = vp.hasTag() ? fileTypeByName(vp.tag()) : m_saveType;
    if (!vp.hasTag() && !givenPath.empty()) {
        const int byExt = fileTypeBySaveExtension(path);
        if (byExt != kTypeNone)
            type = byExt;
    }
    if (type == kTypeCodec)
        type = kTypeVesperonWave;
    if (type == kTypeWaveComp) {
        int level = m_segmentHeader.silentLevelDb(), before = m_segmentHeader.silentBeforeMs(),
            after = m_segmentHeader.silentAfterMs();
        if (!m_host.askCompressedSaveParms(level, before, after))
            return false;
        m_segmentHeader.setParameters(level, before, after);
        m_segmentHeader.setFileType(type);
    }
    const std::string plain = vp.plain();
    m_host.status("Save " + plain);
    if (!saveDispatch(plain, type, 0, -1))
        return false;
    if (replace) {
        m_saveType = type;
        m_path = VesFilePath::tagged(plain, type);
        m_pendingSavePath.clear();
        m_titleSuffix.clear();
        m_modified = false;
        m_typeName = fileTypeDisplayName(type);
    }
    return true;
}
