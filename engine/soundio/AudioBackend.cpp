#include "soundio/AudioBackend.h"
#include "soundio/WaveError.h"

#include <cstdlib>
#include <cstring>

std::unique_ptr<IAudioBackend> makeAlsaBackend();
#ifdef VES_HAVE_PORTAUDIO
std::unique_ptr<IAudioBackend> makePortAudioBackend();
#endif

int IAudioBackend::queryPlayback(const std::string& deviceId, const AudioStreamFormat& format)
{
    std::unique_ptr<IPlaybackStream> stream;
    const int code = openPlayback(deviceId, format, 200, stream);
    if (code == wave::NoError && stream->rateHz() != format.rateHz)
        return wave::BadFormat;
    return code;
}

int IAudioBackend::openCapture(const std::string&, const AudioStreamFormat&, int, std::unique_ptr<ICaptureStream>& stream)
{
    stream.reset();
    return wave::NotSupported;
}

int IAudioBackend::queryCapture(const std::string& deviceId, const AudioStreamFormat& format)
{
    std::unique_ptr<ICaptureStream> stream;
    const int code = openCapture(deviceId, format, 200, stream);
    if (code == wave::NoError && stream->rateHz() != format.rateHz)
        return wave::BadFormat;
    return code;
}

std::unique_ptr<IAudioBackend> makeAudioBackend(AudioBackendKind kind)
{
    switch (kind) {
    case AudioBackendKind::Alsa: return makeAlsaBackend();
    case AudioBackendKind::PortAudio:
#ifdef VES_HAVE_PORTAUDIO
        return makePortAudioBackend();
#else
        return nullptr;
#endif
    }
    return nullptr;
}

AudioBackendKind defaultAudioBackendKind()
{
    const char* v = std::getenv("VESPERON_AUDIO");
    if (v && std::strcmp(v, "portaudio") == 0)
        return AudioBackendKind::PortAudio;
    return AudioBackendKind::Alsa;
}
