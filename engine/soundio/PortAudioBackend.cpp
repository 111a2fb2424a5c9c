// The PortAudio back end (blocking streams). Its front end refuses rates
// above 384 kHz, so on Linux the ALSA back end is the default.
#ifdef VES_HAVE_PORTAUDIO
#include "soundio/AudioBackend.h"
#include "soundio/WaveError.h"

#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

int codeOf(PaError e)
{
    switch (e) {
    case paNoError: return wave::NoError;
    case paInvalidDevice:
    case paDeviceUnavailable: return wave::BadDeviceId;
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
    case paInvalidChannelCount: return wave::BadFormat;
    case paInsufficientMemory: return wave::NoMem;
    case paNotInitialized: return wave::NoDriver;
    default: return wave::Error;
    }
}

PaSampleFormat formatOf(int bits)
{
    switch (bits) {
    case 8: return paUInt8;
    case 16: return paInt16;
    case 24: return paInt24;
    case 32: return paInt32;
    default: return 0;
    }
}

// Frames the stream can take or give, waiting up to `timeoutMs` for some:
// 0 when none came in time, a PortAudio error code below 0.
long waitAvailable(long (*available)(PaStream*), PaStream* stream, int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    long avail = 0;
    while ((avail = available(stream)) == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return avail;
}

class PaPlaybackStream : public IPlaybackStream {
public:
    PaPlaybackStream(PaStream* s, std::uint32_t rate, std::int64_t period, std::int64_t buffer)
        : m_stream(s), m_rate(rate), m_period(period), m_buffer(buffer)
    {
    }
    ~PaPlaybackStream() override
    {
        Pa_AbortStream(m_stream);
        Pa_CloseStream(m_stream);
    }
    std::uint32_t rateHz() const override { return m_rate; }
    std::int64_t periodFrames() const override { return m_period; }

    int write(const void* data, std::int64_t frames, int timeoutMs, std::int64_t& written) override
    {
        written = 0;
        const long avail = waitAvailable(Pa_GetStreamWriteAvailable, m_stream, timeoutMs);
        if (avail == 0)
            return wave::NoError;
        if (avail < 0)
            return codeOf(static_cast<PaError>(avail));
        const std::int64_t n = std::min<std::int64_t>(frames, avail);
        const PaError e = Pa_WriteStream(m_stream, data, static_cast<unsigned long>(n));
        if (e != paNoError && e != paOutputUnderflowed)
            return codeOf(e);
        written = n;
        return wave::NoError;
    }
    std::int64_t delayFrames() override
    {
        const long avail = Pa_GetStreamWriteAvailable(m_stream);
        return avail < 0 ? 0 : std::max<std::int64_t>(0, m_buffer - avail);
    }
    int drain() override { return codeOf(Pa_StopStream(m_stream)); }
    void drop() override { Pa_AbortStream(m_stream); }

private:
    PaStream* m_stream;
    std::uint32_t m_rate;
    std::int64_t m_period;
    std::int64_t m_buffer;
};

class PaCaptureStream : public ICaptureStream {
public:
    PaCaptureStream(PaStream* s, std::uint32_t rate) : m_stream(s), m_rate(rate) {}
    ~PaCaptureStream() override
    {
        Pa_AbortStream(m_stream);
        Pa_CloseStream(m_stream);
    }
    std::uint32_t rateHz() const override { return m_rate; }
    std::int64_t overruns() const override { return m_overruns; }

    int read(void* data, std::int64_t frames, int timeoutMs, std::int64_t& got) override
    {
        got = 0;
        if (!m_running)
            return wave::NoError;
        const long avail = waitAvailable(Pa_GetStreamReadAvailable, m_stream, timeoutMs);
        if (avail == 0)
            return wave::NoError;
        if (avail < 0)
            return codeOf(static_cast<PaError>(avail));
        const std::int64_t n = std::min<std::int64_t>(frames, avail);
        const PaError e = Pa_ReadStream(m_stream, data, static_cast<unsigned long>(n));
        if (e == paInputOverflowed)
            ++m_overruns;
        else if (e != paNoError)
            return codeOf(e);
        got = n;
        return wave::NoError;
    }
    void stop() override
    {
        if (m_running)
            Pa_AbortStream(m_stream);
        m_running = false;
    }
    int start() override
    {
        if (m_running)
            return wave::NoError;
        const PaError e = Pa_StartStream(m_stream);
        m_running = e == paNoError;
        return codeOf(e);
    }

private:
    PaStream* m_stream;
    std::uint32_t m_rate;
    std::int64_t m_overruns = 0;
    bool m_running = false;
};

class PortAudioBackend : public IAudioBackend {
public:
    PortAudioBackend() : m_init(Pa_Initialize()) {}
    ~PortAudioBackend() override
    {
        if (m_init == paNoError)
            Pa_Terminate();
    }
    const char* name() const override { return "PortAudio"; }
    std::vector<AudioDeviceInfo> outputDevices() override { return devices(true); }
    std::vector<AudioDeviceInfo> inputDevices() override { return devices(false); }

    int openPlayback(const std::string& deviceId, const AudioStreamFormat& format, int bufferMs,
                     std::unique_ptr<IPlaybackStream>& stream) override
    {
        stream.reset();
        if (m_init != paNoError)
            return wave::NoDriver;
        const PaDeviceIndex dev = find(deviceId);
        if (dev < 0)
            return wave::BadDeviceId;
        PaStreamParameters p{};
        p.device = dev;
        p.channelCount = format.channels;
        p.sampleFormat = formatOf(format.bitsPerSample);
        p.suggestedLatency = std::max(bufferMs, 100) / 1000.0;
        if (!p.sampleFormat)
            return wave::BadFormat;
        const std::int64_t period = std::max<std::int64_t>(64, format.rateHz / 50);
        PaStream* s = nullptr;
        const PaError e = Pa_OpenStream(&s, nullptr, &p, format.rateHz, static_cast<unsigned long>(period), paClipOff,
                                        nullptr, nullptr);
        if (e != paNoError)
            return codeOf(e);
        if (Pa_StartStream(s) != paNoError) {
            Pa_CloseStream(s);
            return wave::Error;
        }
        const long avail = Pa_GetStreamWriteAvailable(s);
        stream = std::make_unique<PaPlaybackStream>(s, format.rateHz, period, std::max<long>(avail, 0));
        return wave::NoError;
    }

    int openCapture(const std::string& deviceId, const AudioStreamFormat& format, int bufferMs,
                    std::unique_ptr<ICaptureStream>& stream) override
    {
        stream.reset();
        if (m_init != paNoError)
            return wave::NoDriver;
        const PaDeviceIndex dev = find(deviceId, false);
        if (dev < 0)
            return wave::BadDeviceId;
        PaStreamParameters p{};
        p.device = dev;
        p.channelCount = format.channels;
        p.sampleFormat = formatOf(format.bitsPerSample);
        p.suggestedLatency = std::max(bufferMs, 100) / 1000.0;
        if (!p.sampleFormat)
            return wave::BadFormat;
        const std::int64_t period = std::max<std::int64_t>(64, format.rateHz / 50);
        PaStream* s = nullptr;
        const PaError e = Pa_OpenStream(&s, &p, nullptr, format.rateHz, static_cast<unsigned long>(period), paClipOff,
                                        nullptr, nullptr);
        if (e != paNoError)
            return codeOf(e);
        stream = std::make_unique<PaCaptureStream>(s, format.rateHz);
        return wave::NoError;
    }

private:
    PaDeviceIndex find(const std::string& id, bool output = true) const
    {
        const PaDeviceIndex n = Pa_GetDeviceCount();
        for (PaDeviceIndex i = 0; i < n; ++i) {
            const PaDeviceInfo* d = Pa_GetDeviceInfo(i);
            if (d && (output ? d->maxOutputChannels : d->maxInputChannels) > 0 && id == d->name)
                return i;
        }
        return -1;
    }
    std::vector<AudioDeviceInfo> devices(bool output) const
    {
        std::vector<AudioDeviceInfo> list;
        if (m_init != paNoError)
            return list;
        const PaDeviceIndex n = Pa_GetDeviceCount();
        for (PaDeviceIndex i = 0; i < n; ++i) {
            const PaDeviceInfo* d = Pa_GetDeviceInfo(i);
            const int ch = d ? (output ? d->maxOutputChannels : d->maxInputChannels) : 0;
            if (ch <= 0)
                continue;
            AudioDeviceInfo info;
            info.id = d->name;
            info.name = d->name;
            info.maxChannels = ch;
            // The front end takes nothing above 384 kHz.
            info.minRateHz = 1000;
            info.maxRateHz = 384000;
            list.push_back(std::move(info));
        }
        return list;
    }

    PaError m_init;
};

}  // namespace

std::unique_ptr<IAudioBackend> makePortAudioBackend() { return std::make_unique<PortAudioBackend>(); }
#endif
