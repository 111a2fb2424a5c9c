#include "autorec/CAutoRecWave.h"

#include "autorec/AutoRecEngine.h"
#include "autorec/CAutoRecAnaThread.h"
#include "soundio/WaveError.h"

#include <algorithm>
#include <chrono>

namespace autorec {

namespace {
// The device holds a second of sound: waiting half of it for room in the
// queue loses nothing; only beyond that is a buffer dropped (and counted).
constexpr int kQueueWaitMs = 500;
}  // namespace

CAutoRecWave::CAutoRecWave(const AutoRecConfig& config, IAutoRecHost& host, CAutoRecAnaThread& analysis)
    : m_cfg(config), m_host(host), m_ana(analysis)
{
}

CAutoRecWave::~CAutoRecWave()
{
    requestEnd();
    join();
}

bool CAutoRecWave::open(std::string& error)
{
    m_bufferBytes = AutoRecEngine::bufferBytes(m_cfg.format);
    AudioStreamFormat f;
    f.channels = m_cfg.format.channels;
    f.bitsPerSample = m_cfg.format.bitsPerSample;
    f.rateHz = m_cfg.format.samplesPerSec;
    // Room in the device for a second of sound beyond what the queue holds.
    const int code = m_cfg.backend->openCapture(m_cfg.deviceId, f, 1000, m_stream);
    if (code == wave::NoError && m_stream->rateHz() != f.rateHz) {
        m_stream.reset();
        error = WaveErrorText("Failed to open waveform recording device.", wave::BadFormat);
        return false;
    }
    if (code != wave::NoError) {
        error = WaveErrorText("Failed to open waveform recording device.", code);
        return false;
    }
    m_buffer.assign(static_cast<std::size_t>(m_bufferBytes), 0);
    return true;
}

bool CAutoRecWave::startThread()
{
    return m_job.start([this](vkit::BackgroundJob::Control&) { run(); });
}

void CAutoRecWave::requestListen()
{
    {
        std::lock_guard<std::mutex> lock(m_mx);
        if (m_want != Want::End)
            m_want = Want::Listen;
    }
    m_cv.notify_one();
}

void CAutoRecWave::requestPause()
{
    {
        std::lock_guard<std::mutex> lock(m_mx);
        if (m_want != Want::End)
            m_want = Want::Pause;
    }
    m_cv.notify_one();
}

void CAutoRecWave::requestEnd()
{
    {
        std::lock_guard<std::mutex> lock(m_mx);
        m_want = Want::End;
    }
    m_cv.notify_one();
}

void CAutoRecWave::join()
{
    m_job.join();
}

void CAutoRecWave::flush()
{
    if (m_fill > 0) {
        std::vector<std::uint8_t> part(m_buffer.begin(), m_buffer.begin() + m_fill);
        m_ana.postData(std::move(part), kQueueWaitMs);
        m_fill = 0;
    }
}

void CAutoRecWave::run()
{
    const int align = std::max<int>(1, m_cfg.format.blockAlign);
    for (;;) {
        Want want;
        {
            std::unique_lock<std::mutex> lock(m_mx);
            if (!m_listening)
                m_cv.wait_for(lock, std::chrono::milliseconds(100), [&] { return m_want != Want::None; });
            want = m_want;
            if (want != Want::End)
                m_want = Want::None;
        }
        if (m_ana.selfEnded() && want != Want::End)
            want = Want::End;
        if (want == Want::End) {
            if (m_listening)
                m_stream->stop();
            flush();
            m_listening = false;
            break;
        }
        if (want == Want::Listen && !m_listening) {
            m_ana.postStart();
            const int code = m_stream->start();
            if (code != wave::NoError) {
                m_host.recError(WaveErrorText("Failed to open waveform recording device.", code), true);
                m_ana.postEnd();
                break;
            }
            m_listening = true;
            m_host.recState(StateCode::Started);
        } else if (want == Want::Pause && m_listening) {
            m_stream->stop();
            flush();
            m_listening = false;
            m_ana.postStop();
            m_host.recState(StateCode::Paused);
        }
        if (!m_listening)
            continue;
        std::int64_t got = 0;
        const std::int64_t frames = (m_bufferBytes - m_fill) / align;
        const int code = m_stream->read(m_buffer.data() + m_fill, frames, 100, got);
        if (code != wave::NoError) {
            flush();
            m_host.recError(WaveErrorText("Failed to read from waveform recording device.", code), true);
            m_ana.postEnd();
            break;
        }
        m_fill += got * align;
        if (m_fill >= m_bufferBytes) {
            std::vector<std::uint8_t> full(static_cast<std::size_t>(m_bufferBytes));
            full.swap(m_buffer);
            m_ana.postData(std::move(full), kQueueWaitMs);
            m_fill = 0;
            ++m_received;
            m_ana.setInputFigures(m_received, m_stream->overruns());
        }
    }
    m_ana.setInputFigures(m_received, m_stream ? m_stream->overruns() : 0);
    m_stream.reset();
    m_finished = true;
}

}  // namespace autorec
