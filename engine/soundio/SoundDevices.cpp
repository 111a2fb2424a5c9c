#include "soundio/SoundDevices.h"

#include "core/NumberText.h"

#include <atomic>

std::string SoundDeviceTables::formatDescription(const AudioDeviceInfo& info)
{
    if (info.maxRateHz == 0)
        return {};
    std::string text = " " + vkit::formatC("%g", info.maxRateHz / 1000.0) + " kHz";
    if (info.maxChannels > 0)
        text += info.maxChannels >= 2 ? ",stereo" : ",mono";
    return text;
}

void SoundDeviceTables::fill(IAudioBackend& backend)
{
    fill(backend.inputDevices(), backend.outputDevices());
}

void SoundDeviceTables::fill(const std::vector<AudioDeviceInfo>& inputs, const std::vector<AudioDeviceInfo>& outputs)
{
    m_in.fill({});
    m_out.fill({});
    m_selIn = m_selOut = -1;
    auto put = [](std::array<SoundDeviceEntry, kSlots>& table, const std::vector<AudioDeviceInfo>& list, int reserved) {
        const int n = static_cast<int>(std::min<std::size_t>(list.size(), kSlots));
        for (int i = 0; i < n; ++i) {
            SoundDeviceEntry& e = table[i];
            e.present = 1;
            e.reserved = reserved;
            e.deviceIndex = i;
            e.id = list[i].id;
            e.name = list[i].name;
            e.formatDescription = formatDescription(list[i]);
            e.label = e.name + " " + e.formatDescription;
            e.highestFrequency = list[i].maxRateHz ? list[i].maxRateHz : 48000;
        }
    };
    put(m_in, inputs, -1);
    put(m_out, outputs, 0);
}

void SoundDeviceTables::selectByName(const std::string& playDev, const std::string& recDev)
{
    auto pick = [](const std::array<SoundDeviceEntry, kSlots>& table, const std::string& name) {
        if (!name.empty())
            for (int i = 0; i < kSlots; ++i)
                if (table[i].present && table[i].name == name)
                    return i;
        return table[0].label.empty() ? -1 : 0;
    };
    m_selIn = pick(m_in, recDev);
    m_selOut = pick(m_out, playDev);
}

SoundDeviceTables& soundDevices()
{
    static SoundDeviceTables tables;
    return tables;
}

namespace {
std::atomic<bool> g_soundBusy{false};
}

bool soundBusy() { return g_soundBusy.load(); }
bool acquireSoundBusy()
{
    bool expected = false;
    return g_soundBusy.compare_exchange_strong(expected, true);
}
void releaseSoundBusy() { g_soundBusy.store(false); }
