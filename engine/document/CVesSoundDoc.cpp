#include "document/CVesSoundDoc.h"

#include "core/TimeConv.h"

#include "core/LoggCls.h"
#include "core/VkitXML.h"
#include "document/SampleCodec.h"
#include "core/ByteOrder.h"
#include "soundfiles/RiffFile.h"
#include "soundfiles/VesFileReaders.h"
#include "soundfiles/VesFileType.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace {
std::atomic<int> g_documentCounter{0};
}

void StderrDocHost::message(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}

// ---- document ----

CVesSoundDoc::CVesSoundDoc(IDocHost& host, const VesDefData& defaults)
    : m_host(host), m_defaults(defaults), m_number(++g_documentCounter)
{
    m_samples.createTemp("VpTmp", 0, FileCls::kStoreGrowthStep);
    m_clip.createTemp("VpClp", 0, FileCls::kStoreGrowthStep);
    m_undo.createTemp("VpUnd", 0, FileCls::kStoreGrowthStep);
    const int chans = std::clamp(defaults.m_chans, 1, 2);
    int bits = defaults.m_bits;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
        bits = 16;
    const auto rate = static_cast<std::uint32_t>(defaults.m_rate > 0 ? defaults.m_rate : 44100);
    setFormat(SoundFormat::pcm(chans, bits, rate));
    m_recData.setFromDefaults(defaults);
}

CVesSoundDoc::~CVesSoundDoc()
{
    if (clipboardDocument() == this)
        forgetClipboardDocument();
}

void CVesSoundDoc::setKeptWaveFile(std::unique_ptr<WaveFile> wave)
{
    m_waveFile = std::move(wave);
}

void CVesSoundDoc::setPlaySpeedList(std::unique_ptr<VkitXML::Node> list)
{
    m_playSpeedList = std::move(list);
}

std::int64_t CVesSoundDoc::computeBlockSize(const SoundFormat& format, std::int64_t requestedBytesPerSecond)
{
    return format.blockSize(requestedBytesPerSecond);
}

void CVesSoundDoc::setFormat(const SoundFormat& format)
{
    m_format = format;
    m_format.derive();
    m_blockSize = computeBlockSize(m_format);
}

std::int64_t CVesSoundDoc::lengthBytes() const
{
    return m_samples.length();
}

std::int64_t CVesSoundDoc::lengthFrames() const
{
    return bytesToFrames(m_samples.length());
}

void CVesSoundDoc::setLengthFrames(std::int64_t frames)
{
    m_lengthFrames = frames;
    if (frames > 0 && m_lastBlock < 0)
        m_lastBlock = 0;
    for (const auto& v : m_views)
        v.view->onLengthChanged(frames);
}

std::int64_t CVesSoundDoc::framesToRealMicros(std::int64_t frames) const
{
    return vkit::framesToRealMicros(frames, m_format.samplesPerSec, m_recData.m_timeExp25);
}

std::int64_t CVesSoundDoc::framesToFileMicros(std::int64_t frames) const
{
    return vkit::framesToFileMicros(frames, m_format.samplesPerSec);
}

std::int64_t CVesSoundDoc::realMicrosToFrames(std::int64_t micros) const
{
    return vkit::realMicrosToFrames(micros, m_format.samplesPerSec, m_recData.m_timeExp25);
}

std::int64_t CVesSoundDoc::readFramesAsDouble(std::int64_t first, std::int64_t count, ChannelIndex channel, double* out)
{
    return SampleReader(*this, channel, SampleScale::Units16).decode(first, count, out);
}

bool CVesSoundDoc::appendSamples(const void* bytes, std::int64_t length)
{
    if (length <= 0)
        return true;
    if (!finishBackgroundCopy())
        return false;
    return m_samples.write(bytes, length, m_samples.length()) == length;
}

bool CVesSoundDoc::backgroundCopyRunning()
{
    if (!m_samples.hasSource())
        return false;
    if (!m_samples.sourceCopyEnded())
        return true;
    if (!m_samples.finishSourceCopy() && m_samples.error() && !m_copyFailureShown) {
        m_copyFailureShown = true;
        m_host.message(m_samples.errorText());
    }
    noteSourceShortening();
    return false;
}

bool CVesSoundDoc::finishBackgroundCopy()
{
    static constexpr const char* kText = "Reading the recording";
    bool ok = true;
    if (m_samples.hasSource()) {
        m_host.beginOperation(kText);
        ok = m_samples.finishSourceCopy(
            [this](std::int64_t done, std::int64_t total) { return m_host.progress(kText, done, total); });
        m_host.endOperation();
        if (!ok && m_samples.error() && !m_copyFailureShown) {
            m_copyFailureShown = true;
            m_host.message(m_samples.errorText());
        }
    }
    noteSourceShortening();
    return ok;
}

void CVesSoundDoc::noteSourceShortening()
{
    std::int64_t kept = 0;
    std::string reason;
    if (!m_samples.takeSourceShortening(kept, reason))
        return;
    const std::int64_t frames = bytesToFrames(kept);
    if (framesToBytes(frames) != kept)
        m_samples.setLength(framesToBytes(frames));
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.3f s", static_cast<double>(framesToRealMicros(frames)) / 1e6);
    m_host.message("The file " + m_samples.sourcePath() +
                   " was cut short by another program while it was being read: the recording now ends after " +
                   seconds + "." + (reason.empty() ? "" : " (" + reason + ")"));
    setLengthFrames(frames);
}

void CVesSoundDoc::clearSamples()
{
    m_samples.setFileSize(0);
    m_lastBlock = -1;
    setLengthFrames(0);
}

std::string CVesSoundDoc::title() const
{
    const std::string& p = m_pendingSavePath.empty() ? m_path : m_pendingSavePath;
    std::string name = VesFilePath(p).plain();
    const size_t slash = name.find_last_of('/');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    if (name.empty())
        name = "Untitled";
    if (!m_titleSuffix.empty())
        name += " " + m_titleSuffix;
    return name;
}

std::size_t CVesSoundDoc::addMark(AnaMarkSave mark)
{
    mark.m_markNr = m_nextMarkNumber++;
    m_marks.push_back(std::move(mark));
    return m_marks.size() - 1;
}

void CVesSoundDoc::removeAllMarks()
{
    m_marks.clear();
    m_activeMark = -1;
}

bool CVesSoundDoc::takeNextAnaParms(VesAnaParms& parms)
{
    if (m_pendingAnaParms.empty())
        return false;
    parms = m_pendingAnaParms.back();
    m_pendingAnaParms.pop_back();
    parms.repair();  // values of other programs, or of damaged files
    return true;
}

void CVesSoundDoc::attachView(IDocView* view, const VesAnaParms* parms)
{
    m_views.push_back({view, parms ? *parms : VesAnaParms()});
}

void CVesSoundDoc::detachView(IDocView* view)
{
    m_views.erase(std::remove_if(m_views.begin(), m_views.end(), [&](const ViewEntry& e) { return e.view == view; }),
                  m_views.end());
}

void CVesSoundDoc::setViewParms(IDocView* view, const VesAnaParms& parms)
{
    for (auto& e : m_views)
        if (e.view == view)
            e.parms = parms;
}

void CVesSoundDoc::updateAllViews(const ViewUpdate& update)
{
    for (const auto& e : m_views)
        e.view->onDocumentUpdate(update);
}

void CVesSoundDoc::clearDocument()
{
    removeAllMarks();
    clearSamples();
    m_waveFile.reset();
    m_foreignChunks.clear();
    m_segments.clear();
    m_modified = true;
}

namespace {

// The document's side of a reader: messages and the "Open" progress go to
// the document's host.
class DocReadHost : public IReadHost {
public:
    explicit DocReadHost(IDocHost& host) : m_host(host) {}
    void message(const std::string& text) override { m_host.message(text); }
    bool progress(std::int64_t done, std::int64_t total) override { return m_host.progress("Open", done, total); }

private:
    IDocHost& m_host;
};

}  // namespace

bool CVesSoundDoc::open(const std::string& path)
{
    m_host.status(path);
    m_recData = VesRecData();
    m_recData.setFromDefaults(m_defaults);
    // The old samples go before the new ones come, so that the disk never
    // holds both.
    clearSamples();
    DocReadHost readHost(m_host);
    std::unique_ptr<IVesFile> reader = makeReader(path, &readHost);
    reader->recording().recData = m_recData;
    if (!reader->open()) {
        const std::string text = reader->errorText().empty() ? "Unable to open file " + VesFilePath(path).plain() + "!"
                                                            : reader->errorText();
        if (!reader->cancelled())
            m_host.message(text);
        clearSamples();
        m_waveFile.reset();
        m_pendingAnaParms.clear();
        removeAllMarks();
        return false;
    }
    adopt(reader->takeRecording(), path);
    for (std::size_t i = 1; i < m_pendingAnaParms.size(); ++i)
        m_host.openCombinedView();
    return true;
}

void CVesSoundDoc::adopt(LoadedRecording&& rec, const std::string& path)
{
    setFormat(rec.format);
    m_recData = std::move(rec.recData);
    m_marks = std::move(rec.marks);
    m_nextMarkNumber = rec.nextMarkNumber;
    m_pendingAnaParms = std::move(rec.anaParms);
    m_detectorDescription = std::move(rec.detectorDescription);
    m_segmentHeader = rec.segmentHeader;
    m_segments = std::move(rec.segments);
    m_playSpeedList = std::move(rec.playSpeedList);
    m_foreignChunks = std::move(rec.foreignChunks);
    m_waveFile = std::move(rec.waveFile);
    m_samples = std::move(rec.samples);
    m_path = path;
    m_saveType = rec.saveType;
    m_typeName = std::move(rec.typeName);
    m_titleSuffix = std::move(rec.titleSuffix);
    m_pendingSavePath = std::move(rec.pendingSavePath);
    m_modified = rec.modified;
    m_lastBlock = std::max<std::int64_t>(m_lastBlock, 0);
    setLengthFrames(lengthFrames());
    m_metadataFrames = lengthFrames();
}
