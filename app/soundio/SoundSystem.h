// The program's audio back end and its device tables, set up once at start.
#pragma once

#include "soundio/AudioBackend.h"

#include <string>

// The back end chosen at start (ALSA on Linux; VESPERON_AUDIO=portaudio for the other).
IAudioBackend& audioBackend();
// Fills the device tables from the back end and selects the devices stored by name.
void startSoundDevices(const std::string& playDev, const std::string& recDev);
