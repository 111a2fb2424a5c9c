// The program's sound devices: one table of input and one of output devices,
// filled once at start-up from the audio back end, and the selected device of
// each, kept in the settings by name (PlayDev, RecDev).
#pragma once

#include "soundio/AudioBackend.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct SoundDeviceEntry {
    int present = 0;
    int reserved = 0;     // -1 in input entries
    int deviceIndex = -1;  // position in the back end's list
    std::string id;       // what the back end opens
    std::string label;    // name + " " + format description
    std::string name;
    std::string formatDescription;
    bool rateChange = false;               // no back end changes the rate of a running stream
    std::int64_t highestFrequency = 48000;  // from the device's rate range
};

class SoundDeviceTables {
public:
    static constexpr int kSlots = 16;

    // Empties both tables and fills them from the back end (at most 16 each).
    void fill(IAudioBackend& backend);
    // Fills from given lists (the back end's answer).
    void fill(const std::vector<AudioDeviceInfo>& inputs, const std::vector<AudioDeviceInfo>& outputs);
    // The first entry of that name, else the first entry when it has a label, else none.
    void selectByName(const std::string& playDev, const std::string& recDev);

    const std::array<SoundDeviceEntry, kSlots>& inputs() const { return m_in; }
    const std::array<SoundDeviceEntry, kSlots>& outputs() const { return m_out; }
    int selectedInput() const { return m_selIn; }
    int selectedOutput() const { return m_selOut; }
    void selectInput(int slot) { m_selIn = slot >= 0 && slot < kSlots && m_in[slot].present ? slot : -1; }
    void selectOutput(int slot) { m_selOut = slot >= 0 && slot < kSlots && m_out[slot].present ? slot : -1; }

    int recordingDeviceIndex() const { return m_selIn >= 0 ? m_in[m_selIn].deviceIndex : -1; }
    int recordingDevicePresent() const { return m_selIn >= 0 ? m_in[m_selIn].present : 0; }
    int playbackDeviceIndex() const { return m_selOut >= 0 ? m_out[m_selOut].deviceIndex : -1; }
    std::int64_t playbackHighestFrequency() const { return m_selOut >= 0 ? m_out[m_selOut].highestFrequency : 48000; }
    bool playbackRateChange() const { return m_selOut >= 0 && m_out[m_selOut].rateChange; }
    std::string playbackDeviceName() const { return m_selOut >= 0 ? m_out[m_selOut].name : std::string(); }
    std::string recordingDeviceName() const { return m_selIn >= 0 ? m_in[m_selIn].name : std::string(); }
    std::string playbackDeviceId() const { return m_selOut >= 0 ? m_out[m_selOut].id : std::string(); }

    // " 384 kHz,stereo" from the highest rate and channel count.
    static std::string formatDescription(const AudioDeviceInfo& info);

private:
    std::array<SoundDeviceEntry, kSlots> m_in{};
    std::array<SoundDeviceEntry, kSlots> m_out{};
    int m_selIn = -1;
    int m_selOut = -1;
};

// The process-wide tables and the sound-busy flag (one sound activity at a time).
SoundDeviceTables& soundDevices();
bool soundBusy();
// Sets the flag when it is clear; false when another activity holds it.
bool acquireSoundBusy();
void releaseSoundBusy();
