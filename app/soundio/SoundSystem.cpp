#include "soundio/SoundSystem.h"

#include "soundio/SoundDevices.h"

#include <memory>

IAudioBackend& audioBackend()
{
    static std::unique_ptr<IAudioBackend> backend = [] {
        auto b = makeAudioBackend(defaultAudioBackendKind());
        return b ? std::move(b) : makeAudioBackend(AudioBackendKind::Alsa);
    }();
    return *backend;
}

void startSoundDevices(const std::string& playDev, const std::string& recDev)
{
    soundDevices().fill(audioBackend());
    soundDevices().selectByName(playDev, recDev);
}
