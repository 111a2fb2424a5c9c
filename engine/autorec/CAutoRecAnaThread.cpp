#include "autorec/CAutoRecAnaThread.h"

#include "autorec/AutoRecEngine.h"
#include "autorec/AutoRecTexts.h"
#include "core/ByteOrder.h"
#include "core/FileCls.h"
#include "core/NumberText.h"
#include "display/FftWindow.h"
#include "display/RealFft.h"
#include "document/SampleCodec.h"
#include "records/GuanoRecord.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

#include <unistd.h>

namespace autorec {

namespace {

std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

// ---------------------------------------------------------------- analyzer

AutoRecAnalyzer::AutoRecAnalyzer(const AutoRecConfig& config, IAutoRecHost& host, std::atomic<int>& pending)
    : m_cfg(config), m_host(host), m_pending(pending)
{
}

AutoRecAnalyzer::~AutoRecAnalyzer()
{
    if (m_writer.isOpen())
        m_writer.finish();
}

bool AutoRecAnalyzer::init(std::string& error)
{
    const SoundFormat& f = m_cfg.format;
    const VesAutoRecParms& p = m_cfg.parms;
    if (f.blockAlign < 1 || f.channels < 1 || f.samplesPerSec == 0 ||
        (f.bitsPerSample != 8 && f.bitsPerSample != 16 && f.bitsPerSample != 24 && f.bitsPerSample != 32) ||
        f.blockAlign != f.channels * f.bitsPerSample / 8) {
        error = "Unsupported sound format.";
        return false;
    }
    m_align = f.blockAlign;
    m_sampleBytes = f.bitsPerSample / 8;
    m_channels = f.channels;
    m_bytesPerSecond = static_cast<std::int64_t>(f.samplesPerSec) * f.blockAlign;
    m_trigger = p.m_trigger;
    m_naming = std::clamp(p.m_fileSwitch, FileNaming::SingleFile, FileNaming::TimeMillis);
    if (m_trigger == TriggerType::Continuous)
        m_naming = perFile() && !m_cfg.parms.m_fileName.empty() ? m_naming : FileNaming::SingleFile;
    if (m_channels == 1)
        m_cfg.parms.m_trigChans = TriggerChannels::Both;
    const std::int32_t x = m_cfg.timeExp25 > 0 ? m_cfg.timeExp25 : 1000;
    m_cfg.timeExp25 = x;
    m_before = realMillisToBytes(f, x, std::max(0, p.m_recTimeBefore));
    m_after = realMillisToBytes(f, x, std::max(0, p.m_recTimeAfter));
    m_minimum = realMillisToBytes(f, x, std::max(0, p.m_ampMinDuration));
    m_maximum = realMillisToBytes(f, x, std::max(0, p.m_recMaxTime));
    m_levelThreshold = m_trigger == TriggerType::Level ? levelThreshold(f.bitsPerSample, p.m_ampThresProc) : 0;
    m_specThreshold = m_trigger == TriggerType::Spectrum ? std::pow(10.0, -std::abs(p.m_frecThres) / 1000.0) : 0;
    m_seq = p.m_fileSeqStart;
    m_graphics = p.m_graphics;

    if (m_trigger == TriggerType::Spectrum) {
        int n = std::clamp(p.m_fftSize > 0 ? p.m_fftSize : 256, 16, 2048);
        m_fftOrder = 0;
        while ((1 << (m_fftOrder + 1)) <= n)
            ++m_fftOrder;
        m_fftSize = 1 << m_fftOrder;
        const int overlap = std::clamp(p.m_fftMinOverLap, 0, 100);
        // The hop counts frames: a column every h frames, whatever the frame size.
        m_hopFrames = std::max<std::int64_t>(1, m_fftSize - static_cast<std::int64_t>(m_fftSize) * overlap / 100);
        m_window.assign(static_cast<std::size_t>(m_fftSize), 1.0);
        buildWindowTable(m_window.data(), m_fftSize, p.m_fftWindow);
        double sum = 0;
        for (double w : m_window)
            sum += w;
        const double mean = sum / m_fftSize;
        // A full-scale sine (32768 in 16-bit units) in a bin gives power 1 (0 dB).
        const double amp = 32768.0 / 2.0 * (mean > 0 ? mean : 1.0);
        m_powerNorm = 1.0 / (amp * amp);
        m_fft.assign(static_cast<std::size_t>(m_fftSize), 0.0);
        // Bin frequencies in real Hz (time expansion applied), compared with the band as given.
        const int half = m_fftSize / 2;
        auto binHz = [&](int k) { return static_cast<double>(k) * f.samplesPerSec / m_fftSize * x / 1000.0; };
        m_binHi = half;
        if (p.m_frecMax > 0) {
            m_binHi = 0;
            for (int k = 1; k <= half; ++k)
                if (binHz(k) <= p.m_frecMax)
                    m_binHi = k;
            if (m_binHi < 1)
                m_binHi = 1;
        }
        m_binLo = 1;
        if (p.m_frecMin > 0) {
            m_binLo = half;
            for (int k = 1; k <= half; ++k)
                if (binHz(k) >= p.m_frecMin) {
                    m_binLo = k;
                    break;
                }
        }
    }
    const std::int64_t b = AutoRecEngine::bufferBytes(f);
    const std::int64_t spectral =
        m_trigger == TriggerType::Spectrum ? 2 * static_cast<std::int64_t>(m_fftSize) * m_align : 0;
    m_ringSize = std::max(2 * (b + m_minimum) + m_before + m_after + spectral, 3 * b);
    m_ringSize = (m_ringSize + m_align - 1) / m_align * m_align;
    try {
        m_ring.assign(static_cast<std::size_t>(m_ringSize + 16), 0);
        m_scratch.resize(static_cast<std::size_t>(std::max<std::int64_t>(b, 1 << 16)));
    } catch (const std::bad_alloc&) {
        error = "Out of memory.";
        return false;
    }
    m_diskReserve = m_cfg.diskReserveBytes != 0 ? m_cfg.diskReserveBytes : 2 * m_bytesPerSecond + (1 << 20);
    if (m_cfg.store)
        m_storeSize0 = m_cfg.store->length();
    m_fileName = m_naming == FileNaming::SingleFile ? (m_cfg.store ? m_cfg.documentPath : m_cfg.singleFilePath)
                                                    : std::string();
    return true;
}

std::string AutoRecAnalyzer::baseName(const std::string& path) const
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::int64_t AutoRecAnalyzer::unixMicrosAt(std::int64_t pos) const
{
    const std::int64_t t0 = m_cfg.streamStartUnixMicros ? m_cfg.streamStartUnixMicros : m_listenUnixMicros;
    return t0 + bytesToRealMicros(m_cfg.format, m_cfg.timeExp25, pos);
}

void AutoRecAnalyzer::start()
{
    if (m_ending)
        return;
    m_started = true;
    if (!m_everListened) {
        m_everListened = true;
        m_listenUnixMicros = nowUnixMicros();
    }
    if (m_cfg.store && m_naming == FileNaming::SingleFile)
        m_writePos = m_cfg.store->length();
    // Continuous recording resumes the same recording after a pause (no new mark).
    if (m_trigger != TriggerType::Continuous)
        m_recording = false;
    m_state = StateCode::Listening;
    m_host.recState(StateCode::Listening);
    switch (m_trigger) {
    case TriggerType::Level:
        m_host.recTitle("Automatic Recording Status");
        m_host.recLog("Oscillogram level triggered recording initiated.");
        break;
    case TriggerType::Spectrum:
        m_host.recTitle("Automatic Recording Status");
        m_host.recLog("Frequency domain level triggered recording initiated.");
        break;
    case TriggerType::External:
        m_host.recTitle("Automatic Recording Status");
        m_host.recLog("External triggered recording initiated.");
        break;
    default: m_host.recTitle("Recording Status"); break;
    }
}

void AutoRecAnalyzer::readRing(std::int64_t pos, std::int64_t n, std::uint8_t* out) const
{
    while (n > 0) {
        if (pos < 0) {
            const std::int64_t z = std::min(n, -pos);
            std::memset(out, 0, static_cast<std::size_t>(z));
            out += z, pos += z, n -= z;
            continue;
        }
        const std::int64_t off = pos % m_ringSize;
        const std::int64_t k = std::min(n, m_ringSize - off);
        std::memcpy(out, m_ring.data() + off, static_cast<std::size_t>(k));
        out += k, pos += k, n -= k;
    }
}

void AutoRecAnalyzer::data(const std::uint8_t* bytes, std::int64_t n)
{
    if (m_ending || !m_started || n <= 0)
        return;
    n = n / m_align * m_align;
    if (m_cfg.maxStreamBytes > 0)
        n = std::min(n, m_cfg.maxStreamBytes - m_total);
    // Larger than the ring can hold at once: in pieces.
    const std::int64_t piece = std::max<std::int64_t>(m_align, (m_ringSize / 3) / m_align * m_align);
    for (std::int64_t done = 0; done < n && !m_ending;) {
        const std::int64_t k = std::min(piece, n - done);
        const std::int64_t from = m_total;
        for (std::int64_t i = 0; i < k;) {
            const std::int64_t off = (from + i) % m_ringSize;
            const std::int64_t c = std::min(k - i, m_ringSize - off);
            std::memcpy(m_ring.data() + off, bytes + done + i, static_cast<std::size_t>(c));
            i += c;
        }
        m_total += k;
        done += k;
        switch (m_trigger) {
        case TriggerType::Level: analyseLevel(from, m_total); break;
        case TriggerType::Spectrum: analyseSpectrum(); break;
        case TriggerType::Continuous: write(from, m_total); break;
        default: break;
        }
    }
    if (m_total >= m_nextDiskCheck && !m_ending)
        checkDisk();
    if (m_cfg.maxStreamBytes > 0 && m_total >= m_cfg.maxStreamBytes && !m_ending) {
        stop();
        m_host.recLog("Duration reached.\r\n" + lastRecordingLine());
        m_ending = m_stopAnalysing = true;
        closeFile();
        m_host.recEnded();
    }
}

bool AutoRecAnalyzer::frameTriggers(std::int64_t p) const
{
    const int chans = m_channels;
    for (int c = 0; c < chans; ++c) {
        if (!channelTriggers(m_cfg.parms.m_trigChans, c))
            continue;
        std::uint8_t b[4];
        const std::int64_t pos = p + c * m_sampleBytes;
        for (int i = 0; i < m_sampleBytes; ++i)
            b[i] = m_ring[static_cast<std::size_t>((pos + i) % m_ringSize)];
        std::int64_t v = decodeRawSample(b, m_sampleBytes);
        if (v < 0)
            v = -v;
        if (v > m_levelThreshold)
            return true;
    }
    return false;
}

// The first triggering frame in [from, to), or `to`.
std::int64_t AutoRecAnalyzer::nextTrigger(std::int64_t from, std::int64_t to) const
{
    const std::int64_t thr = m_levelThreshold;
    if (m_sampleBytes == 2 && (m_channels == 1 || m_cfg.parms.m_trigChans == TriggerChannels::Both) &&
        m_ringSize % m_align == 0) {
        std::int64_t p = from;
        while (p < to) {
            const std::int64_t off = p % m_ringSize;
            const std::int64_t n = std::min(to - p, m_ringSize - off);
            const std::uint8_t* base = m_ring.data() + off;
            const std::int64_t samples = n / 2;
            for (std::int64_t i = 0; i < samples; ++i) {
                std::int32_t v = static_cast<std::int16_t>(base[2 * i] | (base[2 * i + 1] << 8));
                v = v < 0 ? -v : v;
                if (v > thr)
                    return p + (2 * i) / m_align * m_align;
            }
            p += n;
        }
        return to;
    }
    for (std::int64_t p = from; p < to; p += m_align)
        if (frameTriggers(p))
            return p;
    return to;
}

void AutoRecAnalyzer::analyseLevel(std::int64_t from, std::int64_t to)
{
    for (std::int64_t p = from; p < to && !m_stopAnalysing && !m_ending;) {
        if (!m_inPulse && !m_recording) {
            const std::int64_t q = nextTrigger(p, to);
            m_silence += q - p;
            p = q;
            if (p >= to)
                break;
        }
        step(p, frameTriggers(p), m_align);
        p += m_align;
    }
    progressive(m_align);
}

bool AutoRecAnalyzer::columnTriggers(std::int64_t end)
{
    const std::int64_t n = m_fftSize;
    m_scratch.resize(static_cast<std::size_t>(std::max<std::int64_t>(static_cast<std::int64_t>(m_scratch.size()),
                                                                     n * m_align)));
    readRing(end - n * m_align, n * m_align, m_scratch.data());
    const double factor = sampleScaleFactor(m_sampleBytes, SampleScale::Units16);
    for (int c = 0; c < m_channels; ++c) {
        if (!channelTriggers(m_cfg.parms.m_trigChans, c))
            continue;
        for (std::int64_t i = 0; i < n; ++i)
            m_fft[static_cast<std::size_t>(i)] =
                decodeRawSample(m_scratch.data() + i * m_align + c * m_sampleBytes, m_sampleBytes) * factor *
                m_window[static_cast<std::size_t>(i)];
        RealFft(m_fft.data(), m_fftOrder);
        const int half = m_fftSize / 2;
        for (int k = m_binLo; k <= m_binHi; ++k) {
            const double re = m_fft[static_cast<std::size_t>(k)];
            const double im = k < half ? m_fft[static_cast<std::size_t>(m_fftSize - k)] : 0.0;
            if ((re * re + im * im) * m_powerNorm >= m_specThreshold)
                return true;
        }
    }
    return false;
}

void AutoRecAnalyzer::analyseSpectrum()
{
    const std::int64_t hop = m_hopFrames * m_align;
    while (m_nextColumn + hop <= m_total && !m_stopAnalysing && !m_ending) {
        const std::int64_t t = m_nextColumn;
        step(t, columnTriggers(t + hop), hop);
        m_nextColumn += hop;
    }
    progressive(hop);
}

void AutoRecAnalyzer::step(std::int64_t p, bool trig, std::int64_t unit)
{
    if (trig) {
        if (m_inPulse) {
            m_length += unit;
        } else {
            m_inPulse = true;
            m_pulseStart = p;
            m_length = 0;
        }
        m_lastTrig = p;
        m_silence = 0;
    } else {
        m_silence += unit;
        if (m_inPulse) {
            if (m_silence <= m_after) {
                m_length += unit;
            } else {
                if (m_lastTrig - m_pulseStart >= m_minimum) {
                    write(m_pulseStart - m_before, m_lastTrig + unit + m_after);
                    if (m_recording)
                        finishRecording();
                }
                m_recording = false;
                m_inPulse = false;
                m_silence = m_length = 0;
            }
        }
    }
    if (m_recording && m_maximum > 0 && !m_ending) {
        const std::int64_t s = m_recStart >= 0 ? m_recStart : std::max<std::int64_t>(0, m_pulseStart - m_before);
        if (p - s >= m_maximum) {
            // Never past the sound received so far.
            write(s, std::min({m_lastTrig + unit + m_after, p, m_total}));
            finishRecording();
            m_recording = false;
            if (m_naming == FileNaming::SingleFile)
                stopWithMessage("Maximum recording time reached.");
            else if (m_inPulse && !m_ending && !m_storeFailed)
                beginRecording(m_writtenUpTo);  // the pulse goes on into the next recording, timed from here
        }
    }
}

void AutoRecAnalyzer::progressive(std::int64_t unit)
{
    if (m_inPulse && !m_ending && m_lastTrig - m_pulseStart >= m_minimum)
        write(m_pulseStart - m_before, m_lastTrig + unit);
}

void AutoRecAnalyzer::write(std::int64_t s, std::int64_t e)
{
    s = std::max<std::int64_t>({s, 0, m_writtenUpTo, m_total - m_ringSize});
    e = std::min(e, m_total);
    if (e <= s || m_storeFailed || m_ending)
        return;
    if (!m_recording)
        beginRecording(s);
    if (m_storeFailed || m_ending)
        return;
    for (std::int64_t pos = s; pos < e;) {
        const std::int64_t off = pos % m_ringSize;
        const std::int64_t n = std::min(e - pos, m_ringSize - off);
        const std::uint8_t* src = m_ring.data() + off;
        bool ok = true;
        if (m_writer.isOpen())
            ok = m_writer.append(src, n);
        if (ok && m_cfg.store)
            ok = m_cfg.store->write(src, n, m_writePos) == n;
        if (!ok) {
            fail(m_writer.failed() ? m_writer.failure() : std::string("CANNOT WRITE FILE: the sample store failed."));
            return;
        }
        m_writePos += n;
        m_recordedBytes += n;
        pos += n;
    }
    m_writtenUpTo = e;
    m_recording = true;
    postRedraw();
}

void AutoRecAnalyzer::postRedraw()
{
    if (!m_cfg.store)
        return;
    if (m_graphics && m_pending.load() > m_cfg.parms.m_graphicsOverload) {
        m_graphics = false;
        m_host.recGraphics(false);
        m_host.recLog("Overload - Graphics disabled");
    }
    if (m_graphics) {
        ++m_pending;
        m_host.recDisplay({DisplayKind::Redraw, m_writePos / m_align, 0, steadyMs()});
    }
}

void AutoRecAnalyzer::beginRecording(std::int64_t s)
{
    const std::int64_t now = m_cfg.localTimeFromStream ? unixMicrosAt(s) : nowUnixMicros();
    const LocalTime lt = localTimeOf(now);
    const std::int64_t number = m_count + 1;
    const std::string mark =
        markText(m_cfg.parms.m_fileMarks, number, lt, bytesToRealMicros(m_cfg.format, m_cfg.timeExp25, s) / 1000);
    m_state = StateCode::RecordingBegins;
    m_host.recState(StateCode::RecordingBegins);
    if (perFile()) {
        std::string err;
        bool opened = false;
        for (int attempt = 0; attempt < 1000 && !opened; ++attempt) {
            const std::string name = unusedPath(
                withExtension(recordingFileName(m_cfg.parms.m_fileName, m_naming, m_seq, lt), m_cfg.extension));
            opened = m_writer.open(name, m_cfg.format, err);
            if (opened)
                m_fileName = name;
            else if (errno != EEXIST)
                break;
        }
        if (!opened) {
            fail(err);
            return;
        }
        if (m_cfg.store) {
            m_cfg.store->setLength(0);
            m_host.recDisplay({DisplayKind::Reset, 0, 0, steadyMs()});
        }
        m_writePos = 0;
    } else if (!m_cfg.store && !m_writer.isOpen()) {
        std::string err;
        const std::string name = unusedPath(withExtension(m_fileName.empty() ? std::string("recording") : m_fileName,
                                                          m_cfg.extension));
        if (!m_writer.open(name, m_cfg.format, err)) {
            fail(err);
            return;
        }
        m_fileName = name;
    }
    if (!mark.empty() && m_writePos > 0)
        m_host.recAddMark(m_writePos / m_align, mark, markComment(now), m_channels == 1 ? 1 : 3);
    m_count = number;
    if (m_fileName.empty())
        m_host.recLog(vkit::formatC("Recording #%lld ", static_cast<long long>(m_count)));
    else
        m_host.recLog(vkit::formatC("Recording #%lld to file %s", static_cast<long long>(m_count),
                                    baseName(m_fileName).c_str()));
    m_recStart = s;
    m_recording = true;
    const LocalTime t = localTimeOf(now);
    char when[64];
    std::strftime(when, sizeof when, "%c", &t.tm);
    m_host.recStarted(m_cfg.deviceName, when);
    if (m_writer.isOpen() && m_fileStartMicros < 0) {
        m_fileStartMicros = now;
        m_fileStreamStart = s;
    }
}

bool AutoRecAnalyzer::closeFile()
{
    if (!m_writer.isOpen())
        return true;
    const std::int64_t frames = m_writer.dataBytes() / m_align;
    const double seconds = static_cast<double>(frames) / m_cfg.format.samplesPerSec;
    const std::int64_t at = m_fileStartMicros >= 0 ? m_fileStartMicros : nowUnixMicros();
    m_writer.clearChunks();
    bool ownGuano = true;
    for (const AutoRecConfig::Chunk& c : m_cfg.extraChunks) {
        std::vector<std::uint8_t> bytes = c.bytes;
        if (c.id == "guan") {
            ownGuano = false;
            GuanoRecord g;
            std::string err;
            if (GuanoRecord::parse(bytes, g, err)) {
                GuanoRecord::SaveContext ctx;
                ctx.lengthSeconds = seconds;
                ctx.lengthChanged = true;
                ctx.samplerate = m_cfg.format.samplesPerSec;
                ctx.timeExpansion = m_cfg.timeExp25 / 1000.0;
                ctx.startRealSeconds = std::max<std::int64_t>(0, m_fileStreamStart) /
                                       static_cast<double>(std::max<std::int64_t>(1, m_bytesPerSecond)) *
                                       (1000.0 / m_cfg.timeExp25);
                g.applySave(ctx);
                bytes = g.toBytes();
            }
        }
        m_writer.addChunk(c.id, std::move(bytes));
    }
    if (ownGuano) {
        const LocalTime lt = localTimeOf(at);
        NewRecordingInfo info;
        info.make = "Vesperon";
        info.version = m_cfg.programVersion;
        info.unixSeconds = at / 1000000;
        info.utcOffsetMinutes =
            m_cfg.utcOffsetMinutes ? m_cfg.utcOffsetMinutes : static_cast<int>(lt.tm.tm_gmtoff / 60);
        info.samplerate = m_cfg.format.samplesPerSec;
        info.timeExpansion = m_cfg.timeExp25 / 1000.0;
        info.lengthSeconds = seconds;
        info.device = m_cfg.deviceName;
        m_writer.addChunk("guan", guanoForNewRecording(info).toBytes());
    }
    if (m_writer.dataBytes() == 0) {
        // A recording that received no sound leaves no file.
        m_writer.finish();
        ::unlink(m_writer.path().c_str());
        m_fileStartMicros = m_fileStreamStart = -1;
        return true;
    }
    bool kept = false;
    const bool ok = m_writer.finish(&kept);
    const std::int64_t streamStart = std::max<std::int64_t>(0, m_fileStreamStart);
    m_fileStartMicros = -1;
    m_fileStreamStart = -1;
    if (ok) {
        ++m_filesWritten;
        m_lastFile = m_writer.path();
        m_host.recFileSpan(m_writer.path(), streamStart / m_align, frames);
        m_host.recFileWritten(m_writer.path(), frames, m_count);
        return true;
    }
    if (kept)
        m_host.recLog("File " + baseName(m_writer.path()) + " kept with the sound written before the failure.");
    else
        m_host.recLog("File " + baseName(m_writer.path()) + " removed: it could not be completed.");
    return false;
}

void AutoRecAnalyzer::finishRecording()
{
    m_state = StateCode::RecordingFinished;
    m_host.recState(StateCode::RecordingFinished);
    if (perFile()) {
        if (!closeFile() && !m_storeFailed)
            fail(m_writer.failure().empty() ? "CANNOT WRITE FILE: " + m_writer.path() : m_writer.failure());
        if (m_naming == FileNaming::Sequence || m_naming == FileNaming::DateSequence) {
            ++m_seq;
            m_host.recDisplay({DisplayKind::SequenceNumber, -1, m_seq, steadyMs()});
        }
        m_writePos = 0;
    }
    if (m_count > 0)
        m_host.recLog(lastRecordingLine());
    m_recStart = -1;
    m_recording = false;
    if (m_cfg.parms.m_recMaxCnt > 0 && m_count >= m_cfg.parms.m_recMaxCnt)
        stopWithMessage("Maximum number of recordings reached.");
}

std::string AutoRecAnalyzer::lastRecordingLine() const
{
    if (m_fileName.empty())
        return vkit::formatC("Last recording #%lld ", static_cast<long long>(m_count));
    return vkit::formatC("Last recording #%lld to file %s", static_cast<long long>(m_count),
                         baseName(m_fileName).c_str());
}

void AutoRecAnalyzer::stopWithMessage(const std::string& text)
{
    if (m_ending)
        return;
    m_host.recLog(text + "\r\n" + lastRecordingLine());
    m_ending = true;
    m_stopAnalysing = true;
    closeFile();
    m_host.recEnded();
}

void AutoRecAnalyzer::fail(const std::string& text)
{
    if (m_storeFailed)
        return;
    m_storeFailed = true;
    m_recording = false;
    closeFile();
    m_host.recLog(text);
    m_host.recLog("Recording stopped: the sound could not be written (disk full?).");
    m_host.recError(text + "\r\nRecording stopped; every file completed before is kept.", true);
    if (!m_ending) {
        m_ending = true;
        m_stopAnalysing = true;
        m_host.recEnded();
    }
}

void AutoRecAnalyzer::checkDisk()
{
    m_nextDiskCheck = m_total + std::max<std::int64_t>(m_bytesPerSecond, 1);
    if (m_diskReserve < 0)
        return;
    std::string where;
    if (perFile() || !m_cfg.store)
        where = folderOf(m_writer.isOpen() ? m_writer.path()
                                           : (m_fileName.empty() ? m_cfg.parms.m_fileName : m_fileName));
    else if (m_cfg.store)
        where = folderOf(m_cfg.store->path());
    m_freeDisk = freeDiskBytes(where);
    if (m_freeDisk >= 0 && m_freeDisk < m_diskReserve) {
        // Finish what is being written while there is still room for it.
        if (m_recording) {
            finishRecording();
        }
        if (!m_ending) {
            m_host.recState(StateCode::Ended);
            m_host.recError("Stopping - Disk space low!", true);
            stopWithMessage("Stopping - Disk space low!");
        }
    }
}

void AutoRecAnalyzer::stop()
{
    if (!m_started)
        return;
    if (!m_ending && m_inPulse && m_lastTrig - m_pulseStart >= m_minimum)
        write(m_pulseStart - m_before, m_total);
    if (m_recording && !m_ending && m_trigger != TriggerType::Continuous)
        finishRecording();
    m_inPulse = false;
    if (m_trigger != TriggerType::Continuous)
        m_recording = false;
    m_silence = m_length = 0;
    m_started = false;
    if (m_cfg.store && !m_storeFailed) {
        m_cfg.store->setLength(m_writePos);
        m_host.recDisplay({DisplayKind::Redraw, m_writePos / m_align, 0, steadyMs()});
        ++m_pending;
    }
}

void AutoRecAnalyzer::end()
{
    stop();
    if (m_recording && !m_ending)
        finishRecording();
    m_ending = true;
    m_stopAnalysing = true;
    closeFile();
}

void AutoRecAnalyzer::clearFile()
{
    if (m_recording && perFile())
        finishRecording();
    m_writePos = 0;
    if (m_cfg.store)
        m_cfg.store->setLength(0);
    m_total = m_writtenUpTo = 0;
    m_nextColumn = 0;
    m_inPulse = m_recording = false;
    m_pulseStart = m_lastTrig = m_silence = m_length = 0;
    m_recStart = -1;
    std::fill(m_ring.begin(), m_ring.end(), std::uint8_t{0});
    m_host.recDisplay({DisplayKind::Reset, 0, 0, steadyMs()});
    if (m_fileName.empty())
        m_host.recLog("File cleared!");
    else
        m_host.recLog("File " + m_fileName + " cleared");
    ++m_pending;
    m_host.recDisplay({DisplayKind::Redraw, 0, 0, steadyMs()});
}

void AutoRecAnalyzer::newFile(const std::string& name)
{
    if (!perFile()) {
        // Single file into a store: the document is saved by its owner.
        if (!name.empty())
            m_fileName = name;
        m_host.recLog(m_fileName.empty() ? std::string("Recording to unnamed file.")
                                         : "Recording to new file " + baseName(m_fileName));
        return;
    }
    if (!name.empty())
        m_cfg.parms.m_fileName = name;
    if (m_recording) {
        if (m_writer.isOpen())
            m_host.recLog("Saving file " + baseName(m_writer.path()));
        finishRecording();
    }
    if (m_naming == FileNaming::Sequence)
        m_seq = std::max<std::int64_t>(m_seq, 1);
    const LocalTime lt = localTimeOf(nowUnixMicros());
    const std::string next =
        withExtension(recordingFileName(m_cfg.parms.m_fileName, m_naming, m_seq, lt), m_cfg.extension);
    m_host.recLog("Recording to new file " + baseName(next));
    m_host.recDisplay({DisplayKind::Reset, 0, 0, steadyMs()});
}

void AutoRecAnalyzer::setGraphics(bool on)
{
    m_graphics = on;
    m_host.recGraphics(on);
}

void AutoRecAnalyzer::fillStatus(AutoRecStatus& s) const
{
    s.listening = m_started && !m_ending;
    s.recording = m_recording;
    s.lastState = m_state;
    s.recordings = m_count;
    s.filesWritten = m_filesWritten;
    s.sequenceNumber = m_seq;
    s.streamBytes = m_total;
    s.storeBytes = m_writePos;
    s.recordedBytes = m_recordedBytes;
    s.recordedMicros = bytesToRealMicros(m_cfg.format, m_cfg.timeExp25, m_recordedBytes);
    s.freeDiskBytes = m_freeDisk;
    s.graphics = m_graphics;
    s.storeFailed = m_storeFailed;
    s.currentFile = m_writer.isOpen() ? m_writer.path() : m_fileName;
    s.lastFile = m_lastFile;
}

// ---------------------------------------------------------------- thread

namespace {

// Notes the run's end so the input side stops too.
class EndWatch : public IAutoRecHost {
public:
    EndWatch(IAutoRecHost& inner, std::atomic<bool>& ended) : m_inner(inner), m_ended(ended) {}
    void recState(StateCode c) override { m_inner.recState(c); }
    void recLog(const std::string& t) override { m_inner.recLog(t); }
    void recTitle(const std::string& t) override { m_inner.recTitle(t); }
    void recDisplay(const DisplayUpdate& u) override { m_inner.recDisplay(u); }
    void recGraphics(bool on) override { m_inner.recGraphics(on); }
    void recAddMark(std::int64_t f, const std::string& n, const std::string& c, int ch) override
    {
        m_inner.recAddMark(f, n, c, ch);
    }
    void recStarted(const std::string& d, const std::string& t) override { m_inner.recStarted(d, t); }
    void recFileWritten(const std::string& p, std::int64_t f, std::int64_t n) override
    {
        m_inner.recFileWritten(p, f, n);
    }
    void recFileSpan(const std::string& p, std::int64_t s, std::int64_t f) override { m_inner.recFileSpan(p, s, f); }
    void recError(const std::string& t, bool e) override { m_inner.recError(t, e); }
    void recEnded() override
    {
        if (!m_ended.exchange(true))
            m_inner.recEnded();
    }

private:
    IAutoRecHost& m_inner;
    std::atomic<bool>& m_ended;
};

}  // namespace

CAutoRecAnaThread::CAutoRecAnaThread(const AutoRecConfig& config, IAutoRecHost& host)
    : m_host(host), m_queueLimit(static_cast<std::size_t>(std::max(2, config.inputBuffers)))
{
    m_watch = std::make_unique<EndWatch>(host, m_selfEnded);
    m_an = std::make_unique<AutoRecAnalyzer>(config, *m_watch, m_pending);
}

CAutoRecAnaThread::~CAutoRecAnaThread()
{
    postEnd();
    join();
}

bool CAutoRecAnaThread::init(std::string& error) { return m_an->init(error); }

bool CAutoRecAnaThread::startThread()
{
    return m_job.start([this](vkit::BackgroundJob::Control&) { run(); });
}

void CAutoRecAnaThread::post(Item&& item)
{
    {
        std::lock_guard<std::mutex> lock(m_mx);
        m_queue.push_back(std::move(item));
    }
    m_cv.notify_one();
}

bool CAutoRecAnaThread::postData(std::vector<std::uint8_t>&& buffer, int waitMs)
{
    std::unique_lock<std::mutex> lock(m_mx);
    if (m_finished)
        return false;
    if (m_dataQueued >= m_queueLimit) {
        const auto room = [&] { return m_dataQueued < m_queueLimit || m_finished; };
        if (waitMs < 0)
            m_room.wait(lock, room);
        else
            m_room.wait_for(lock, std::chrono::milliseconds(waitMs), room);
        if (m_finished)
            return false;
        if (m_dataQueued >= m_queueLimit) {
            ++m_lost;
            return false;
        }
    }
    ++m_dataQueued;
    m_queue.push_back({Cmd::Data, std::move(buffer), {}, false});
    lock.unlock();
    m_cv.notify_one();
    return true;
}

void CAutoRecAnaThread::postStart() { post({Cmd::Start, {}, {}, false}); }
void CAutoRecAnaThread::postStop() { post({Cmd::Stop, {}, {}, false}); }
void CAutoRecAnaThread::postEnd()
{
    m_endRequested = true;
    post({Cmd::End, {}, {}, false});
    m_room.notify_all();
}
void CAutoRecAnaThread::postClear() { post({Cmd::Clear, {}, {}, false}); }
void CAutoRecAnaThread::postNewFile(const std::string& name) { post({Cmd::NewFile, {}, name, false}); }
void CAutoRecAnaThread::postGraphics(bool on) { post({Cmd::Graphics, {}, {}, on}); }

void CAutoRecAnaThread::join()
{
    m_job.join();
}

void CAutoRecAnaThread::displayDone()
{
    if (m_pending.load() > 0)
        --m_pending;
}

void CAutoRecAnaThread::setInputFigures(std::int64_t received, std::int64_t overruns)
{
    m_received = received;
    m_overruns = overruns;
}

void CAutoRecAnaThread::status(AutoRecStatus& s) const
{
    {
        std::lock_guard<std::mutex> lock(m_statusMx);
        s = m_status;
    }
    {
        std::lock_guard<std::mutex> lock(m_mx);
        s.queuedBuffers = static_cast<std::int64_t>(m_dataQueued);
    }
    s.running = !m_finished;
    s.ended = m_finished || m_selfEnded;
    s.lostBuffers = m_lost;
    s.buffersReceived = m_received;
    s.deviceOverruns = m_overruns;
}

void CAutoRecAnaThread::run()
{
    for (;;) {
        Item item;
        {
            std::unique_lock<std::mutex> lock(m_mx);
            m_cv.wait(lock, [&] { return !m_queue.empty(); });
            item = std::move(m_queue.front());
            m_queue.pop_front();
            if (item.cmd == Cmd::Data) {
                --m_dataQueued;
                m_room.notify_all();
            }
        }
        bool quit = false;
        switch (item.cmd) {
        case Cmd::Data: m_an->data(item.bytes.data(), static_cast<std::int64_t>(item.bytes.size())); break;
        case Cmd::Start: m_an->start(); break;
        case Cmd::Stop: m_an->stop(); break;
        case Cmd::End:
            m_an->end();
            quit = true;
            break;
        case Cmd::Clear: m_an->clearFile(); break;
        case Cmd::NewFile: m_an->newFile(item.text); break;
        case Cmd::Graphics: m_an->setGraphics(item.flag); break;
        }
        {
            std::lock_guard<std::mutex> lock(m_statusMx);
            m_an->fillStatus(m_status);
        }
        if (quit)
            break;
    }
    {
        std::lock_guard<std::mutex> lock(m_mx);
        m_queue.clear();
        m_dataQueued = 0;
    }
    m_finished = true;
    m_room.notify_all();
    m_watch->recEnded();
}

}  // namespace autorec
