#include "soundio/SoundPlayer.h"

#include "document/SampleCodec.h"
#include "soundio/SoundDevices.h"
#include "soundio/WaveError.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

SoundPlayer::~SoundPlayer()
{
    stop();
    m_job.join();  // the thread ends within one period after stop()
    m_stream.reset();
    if (m_holdsBusy)
        releaseSoundBusy();
}

int SoundPlayer::start(const PlayRequest& request)
{
    if (m_job.active())
        return wave::StillPlaying;
    if ((!request.store && !request.source) || request.format.blockAlign == 0)
        return wave::InvalidParam;
    if (!acquireSoundBusy())
        return wave::Allocated;
    m_holdsBusy = true;
    m_req = request;
    const std::int64_t align = request.format.blockAlign;
    if (!request.source) {
        const std::int64_t storeFrames = request.store->length() / align;
        m_req.endFrame = request.endFrame < 0 ? storeFrames : std::min(request.endFrame, storeFrames);
        m_req.startFrame = std::clamp<std::int64_t>(request.startFrame, 0, m_req.endFrame);
    }
    AudioStreamFormat fmt;
    fmt.channels = request.format.channels;
    fmt.bitsPerSample = request.format.bitsPerSample;
    fmt.rateHz = request.rateHz ? request.rateHz : request.format.samplesPerSec;
    const int code = m_backend.openPlayback(request.deviceId, fmt, request.bufferMs, m_stream);
    if (code != wave::NoError) {
        releaseSoundBusy();
        m_holdsBusy = false;
        return code;
    }
    m_openedRate = m_stream->rateHz();
    m_stop = false;
    m_done = false;
    m_failure = 0;
    m_position = m_req.source ? m_req.source->sourceFrame(0) : m_req.startFrame;
    if (!m_job.start([this](vkit::BackgroundJob::Control&) { run(); })) {
        // No thread for the feeding: nothing plays.
        m_stream.reset();
        releaseSoundBusy();
        m_holdsBusy = false;
        return wave::NoMem;
    }
    return wave::NoError;
}

void SoundPlayer::stop() { m_stop = true; }

bool SoundPlayer::finished()
{
    if (!m_job.active())
        return true;
    if (!m_done.load())
        return false;
    m_job.join();
    m_stream.reset();
    if (m_holdsBusy) {
        releaseSoundBusy();
        m_holdsBusy = false;
    }
    return true;
}

void SoundPlayer::applyGain(std::uint8_t* data, std::int64_t frames, double gain) const
{
    const int bytes = m_req.format.bitsPerSample / 8;
    const std::int64_t n = frames * m_req.format.channels;
    for (std::int64_t i = 0; i < n; ++i) {
        std::uint8_t* p = data + i * bytes;
        encodeRawSample(p, bytes, std::llround(decodeRawSample(p, bytes) * gain));
    }
}

void SoundPlayer::run()
{
    const std::int64_t align = m_req.format.blockAlign;
    const std::int64_t period = std::max<std::int64_t>(64, m_stream->periodFrames());
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(period * align));
    IPlaySource* source = m_req.source.get();
    // The next frame to hand over: of the store, or counted from 0 for a source.
    std::int64_t next = source ? 0 : m_req.startFrame;
    const auto heardAt = [&](std::int64_t frame) {
        return source ? source->sourceFrame(std::max<std::int64_t>(0, frame)) : std::max(m_req.startFrame, frame);
    };
    std::int64_t pendingFrom = 0, pendingCount = 0;  // part of `buffer` not taken yet
    while (!m_stop.load()) {
        if (pendingCount == 0 && source) {
            const std::int64_t got = source->fill(buffer.data(), period);
            if (got < 0)
                m_failure = wave::Error;
            if (got <= 0)
                break;
            const double gain = m_gain.load();
            if (gain != 1.0)
                applyGain(buffer.data(), got, gain);
            pendingFrom = 0;
            pendingCount = got;
        }
        if (pendingCount == 0) {
            if (next >= m_req.endFrame)
                break;
            const std::int64_t frames = std::min(period, m_req.endFrame - next);
            std::int64_t got = 0;
            while (got < frames) {
                const std::int64_t from = (next + got) * align;
                FileViewRef view = m_req.store->readView(from, (next + frames) * align);
                const std::int64_t bytes = std::min(view.available(), (frames - got) * align) / align * align;
                if (!view || bytes <= 0)
                    break;
                std::memcpy(buffer.data() + got * align, view.data(), static_cast<std::size_t>(bytes));
                got += bytes / align;
            }
            if (got == 0) {
                m_failure = wave::Error;
                break;
            }
            const double gain = m_gain.load();
            if (gain != 1.0)
                applyGain(buffer.data(), got, gain);
            pendingFrom = 0;
            pendingCount = got;
        }
        std::int64_t written = 0;
        const int code = m_stream->write(buffer.data() + pendingFrom * align, pendingCount, 50, written);
        if (code != wave::NoError) {
            m_failure = code;
            break;
        }
        pendingFrom += written;
        pendingCount -= written;
        next += written;
        m_position = heardAt(next - m_stream->delayFrames());
    }
    if (m_stop.load() || m_failure.load()) {
        // What the device has not played yet is dropped; the position is the
        // frame after the last one heard.
        const std::int64_t heard = heardAt(next - m_stream->delayFrames());
        m_stream->drop();
        m_position = heard;
    } else {
        m_stream->drain();
        m_position = heardAt(next);
    }
    m_done = true;
}
