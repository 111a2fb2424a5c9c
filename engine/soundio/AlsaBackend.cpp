// The ALSA back end (alsa-lib).
#include "soundio/AudioBackend.h"
#include "soundio/WaveError.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

int codeOf(int alsaError)
{
    switch (-alsaError) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return wave::BadDeviceId;
    case EBUSY:
    case EAGAIN: return wave::Allocated;
    case ENOMEM: return wave::NoMem;
    case EINVAL: return wave::BadFormat;
    case ENOSYS: return wave::NotSupported;
    default: return wave::Error;
    }
}

snd_pcm_format_t formatOf(int bits)
{
    switch (bits) {
    case 8: return SND_PCM_FORMAT_U8;
    case 16: return SND_PCM_FORMAT_S16_LE;
    case 24: return SND_PCM_FORMAT_S24_3LE;
    case 32: return SND_PCM_FORMAT_S32_LE;
    default: return SND_PCM_FORMAT_UNKNOWN;
    }
}

class AlsaPlaybackStream : public IPlaybackStream {
public:
    AlsaPlaybackStream(snd_pcm_t* pcm, std::uint32_t rate, std::int64_t period)
        : m_pcm(pcm), m_rate(rate), m_period(period)
    {
    }
    ~AlsaPlaybackStream() override { snd_pcm_close(m_pcm); }

    std::uint32_t rateHz() const override { return m_rate; }
    std::int64_t periodFrames() const override { return m_period; }

    int write(const void* data, std::int64_t frames, int timeoutMs, std::int64_t& written) override
    {
        written = 0;
        const int w = snd_pcm_wait(m_pcm, timeoutMs);
        if (w < 0 && recover(w) < 0)
            return codeOf(w);
        snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, data, static_cast<snd_pcm_uframes_t>(frames));
        if (n == -EAGAIN)
            return wave::NoError;
        if (n < 0) {
            if (recover(static_cast<int>(n)) < 0)
                return codeOf(static_cast<int>(n));
            return wave::NoError;
        }
        written = n;
        return wave::NoError;
    }

    std::int64_t delayFrames() override
    {
        snd_pcm_sframes_t d = 0;
        if (snd_pcm_delay(m_pcm, &d) < 0 || d < 0)
            return 0;
        return d;
    }

    int drain() override
    {
        snd_pcm_nonblock(m_pcm, 0);
        const int r = snd_pcm_drain(m_pcm);
        return r < 0 ? codeOf(r) : wave::NoError;
    }

    void drop() override { snd_pcm_drop(m_pcm); }

private:
    int recover(int err) { return snd_pcm_recover(m_pcm, err, 1); }

    snd_pcm_t* m_pcm;
    std::uint32_t m_rate;
    std::int64_t m_period;
};

class AlsaCaptureStream : public ICaptureStream {
public:
    AlsaCaptureStream(snd_pcm_t* pcm, std::uint32_t rate) : m_pcm(pcm), m_rate(rate) {}
    ~AlsaCaptureStream() override { snd_pcm_close(m_pcm); }

    std::uint32_t rateHz() const override { return m_rate; }
    std::int64_t overruns() const override { return m_overruns; }

    int read(void* data, std::int64_t frames, int timeoutMs, std::int64_t& got) override
    {
        got = 0;
        if (!m_running)
            return wave::NoError;
        const int w = snd_pcm_wait(m_pcm, timeoutMs);
        if (w < 0 && recover(w) < 0)
            return codeOf(w);
        const snd_pcm_sframes_t n = snd_pcm_readi(m_pcm, data, static_cast<snd_pcm_uframes_t>(frames));
        if (n == -EAGAIN)
            return wave::NoError;
        if (n < 0) {
            if (recover(static_cast<int>(n)) < 0)
                return codeOf(static_cast<int>(n));
            return wave::NoError;
        }
        got = n;
        return wave::NoError;
    }

    void stop() override
    {
        snd_pcm_drop(m_pcm);
        m_running = false;
    }

    int start() override
    {
        if (m_running)
            return wave::NoError;
        int r = snd_pcm_prepare(m_pcm);
        if (r >= 0)
            r = snd_pcm_start(m_pcm);
        if (r < 0)
            return codeOf(r);
        m_running = true;
        return wave::NoError;
    }

private:
    int recover(int err)
    {
        if (err == -EPIPE)
            ++m_overruns;
        const int r = snd_pcm_recover(m_pcm, err, 1);
        if (r >= 0 && err == -EPIPE)
            snd_pcm_start(m_pcm);
        return r;
    }

    snd_pcm_t* m_pcm;
    std::uint32_t m_rate;
    std::int64_t m_overruns = 0;
    bool m_running = false;
};

bool rateRange(const char* id, snd_pcm_stream_t dir, AudioDeviceInfo& info)
{
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, id, dir, SND_PCM_NONBLOCK) < 0)
        return false;
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    bool ok = snd_pcm_hw_params_any(pcm, hw) >= 0;
    if (ok) {
        // The rates the device itself has, not what a resampler could make of them.
        snd_pcm_hw_params_set_rate_resample(pcm, hw, 0);
        unsigned int lo = 0, hi = 0, ch = 0;
        int dirv = 0;
        if (snd_pcm_hw_params_get_rate_min(hw, &lo, &dirv) >= 0)
            info.minRateHz = lo;
        if (snd_pcm_hw_params_get_rate_max(hw, &hi, &dirv) >= 0)
            info.maxRateHz = hi;
        if (snd_pcm_hw_params_get_channels_max(hw, &ch) >= 0)
            info.maxChannels = static_cast<int>(std::min(ch, 64u));
    }
    snd_pcm_close(pcm);
    return ok;
}

class AlsaBackend : public IAudioBackend {
public:
    const char* name() const override { return "ALSA"; }
    std::vector<AudioDeviceInfo> outputDevices() override { return devices(SND_PCM_STREAM_PLAYBACK, "Output"); }
    std::vector<AudioDeviceInfo> inputDevices() override { return devices(SND_PCM_STREAM_CAPTURE, "Input"); }

    int openPlayback(const std::string& deviceId, const AudioStreamFormat& format, int bufferMs,
                     std::unique_ptr<IPlaybackStream>& stream) override
    {
        stream.reset();
        snd_pcm_t* pcm = nullptr;
        unsigned int rate = 0;
        snd_pcm_uframes_t period = 0, buffer = 0;
        if (const int r = openConfigured(deviceId, SND_PCM_STREAM_PLAYBACK, format, bufferMs, 10, pcm, rate, period, buffer);
            r != wave::NoError)
            return r;
        snd_pcm_sw_params_t* sw;
        snd_pcm_sw_params_alloca(&sw);
        if (snd_pcm_sw_params_current(pcm, sw) >= 0) {
            // Sound begins once half the buffer is queued (or at drain).
            snd_pcm_sw_params_set_start_threshold(pcm, sw, std::max<snd_pcm_uframes_t>(1, buffer / 2));
            snd_pcm_sw_params_set_avail_min(pcm, sw, period);
            snd_pcm_sw_params(pcm, sw);
        }
        stream = std::make_unique<AlsaPlaybackStream>(pcm, rate,
                                                      static_cast<std::int64_t>(std::max<snd_pcm_uframes_t>(period, 1)));
        return wave::NoError;
    }

    int openCapture(const std::string& deviceId, const AudioStreamFormat& format, int bufferMs,
                    std::unique_ptr<ICaptureStream>& stream) override
    {
        stream.reset();
        snd_pcm_t* pcm = nullptr;
        unsigned int rate = 0;
        snd_pcm_uframes_t period = 0, buffer = 0;
        if (const int r = openConfigured(deviceId, SND_PCM_STREAM_CAPTURE, format, bufferMs, 8, pcm, rate, period, buffer);
            r != wave::NoError)
            return r;
        stream = std::make_unique<AlsaCaptureStream>(pcm, rate);
        return wave::NoError;
    }

private:
    // Opens the device for `direction` with the format, the rate nearest the
    // one asked (no resampling), a buffer of `bufferMs` (at least 100 ms) in
    // `periodsPerBuffer` periods; the wave error code, with the device closed
    // on failure. `rate`, `period` and `buffer` are what the device took.
    static int openConfigured(const std::string& deviceId, snd_pcm_stream_t direction, const AudioStreamFormat& format,
                              int bufferMs, unsigned int periodsPerBuffer, snd_pcm_t*& pcm, unsigned int& rate,
                              snd_pcm_uframes_t& period, snd_pcm_uframes_t& buffer)
    {
        pcm = nullptr;
        const snd_pcm_format_t fmt = formatOf(format.bitsPerSample);
        if (fmt == SND_PCM_FORMAT_UNKNOWN || format.channels < 1 || format.rateHz == 0)
            return wave::BadFormat;
        int r = snd_pcm_open(&pcm, deviceId.c_str(), direction, SND_PCM_NONBLOCK);
        if (r < 0) {
            pcm = nullptr;
            return codeOf(r);
        }
        snd_pcm_hw_params_t* hw;
        snd_pcm_hw_params_alloca(&hw);
        rate = format.rateHz;
        unsigned int bufferUs = static_cast<unsigned int>(std::max(bufferMs, 100)) * 1000u;
        unsigned int periodUs = bufferUs / periodsPerBuffer;
        int dir = 0;
        if ((r = snd_pcm_hw_params_any(pcm, hw)) < 0 ||
            (r = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
            (r = snd_pcm_hw_params_set_format(pcm, hw, fmt)) < 0 ||
            (r = snd_pcm_hw_params_set_channels(pcm, hw, static_cast<unsigned int>(format.channels))) < 0 ||
            (r = snd_pcm_hw_params_set_rate_resample(pcm, hw, 0)) < 0 ||
            (r = snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, &dir)) < 0 ||
            (r = snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, &dir)) < 0 ||
            (r = snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, &dir)) < 0 ||
            (r = snd_pcm_hw_params(pcm, hw)) < 0) {
            snd_pcm_close(pcm);
            pcm = nullptr;
            return codeOf(r);
        }
        snd_pcm_hw_params_get_period_size(hw, &period, &dir);
        snd_pcm_hw_params_get_buffer_size(hw, &buffer);
        return wave::NoError;
    }

    static std::vector<AudioDeviceInfo> devices(snd_pcm_stream_t dir, const char* ioid)
    {
        std::vector<AudioDeviceInfo> list;
        auto add = [&](const char* id, const char* desc) {
            for (const AudioDeviceInfo& d : list)
                if (d.id == id)
                    return;
            AudioDeviceInfo info;
            info.id = id;
            info.name = id;
            if (desc && *desc) {
                std::string d = desc;
                std::replace(d.begin(), d.end(), '\n', ' ');
                info.name = std::string(id) + " (" + d + ")";
            }
            if (rateRange(id, dir, info))
                list.push_back(std::move(info));
        };
        add("default", nullptr);
        void** hints = nullptr;
        if (snd_device_name_hint(-1, "pcm", &hints) >= 0 && hints) {
            for (void** h = hints; *h; ++h) {
                char* id = snd_device_name_get_hint(*h, "NAME");
                char* desc = snd_device_name_get_hint(*h, "DESC");
                char* io = snd_device_name_get_hint(*h, "IOID");
                // Hardware and plug devices; the null sink is no one's choice.
                if (id && (!io || std::strcmp(io, ioid) == 0) && std::strcmp(id, "null") != 0)
                    add(id, desc);
                std::free(id);
                std::free(desc);
                std::free(io);
            }
            snd_device_name_free_hint(hints);
        }
        return list;
    }
};

}  // namespace

std::unique_ptr<IAudioBackend> makeAlsaBackend() { return std::make_unique<AlsaBackend>(); }
