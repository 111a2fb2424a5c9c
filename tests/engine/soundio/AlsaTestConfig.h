// One ALSA configuration for the whole test program (alsa-lib reads it once):
// the default device plays into a raw file through the `file` plugin; beside
// it a device that takes only 48000 Hz and one whose output stops taking
// sound after the first few periods, all without sound hardware.
#pragma once

#include "TestSupport.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vestest {

class AlsaFileConfig {
public:
    static AlsaFileConfig& get()
    {
        static AlsaFileConfig config;
        return config;
    }
    std::string outFile() const { return m_dir.file("play_out.raw"); }
    std::vector<std::uint8_t> played() const
    {
        std::ifstream in(outFile(), std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    // Plays only 48000 Hz (no resampling is asked for).
    static constexpr const char* kFixedRateDevice = "fixed48";
    // Writes into /dev/full: the device fails once its first periods are out.
    static constexpr const char* kVanishingDevice = "vanishing";

private:
    AlsaFileConfig()
    {
        const std::string conf = m_dir.file("alsa.conf");
        std::ofstream out(conf);
        out << "pcm.fileplay { type file slave.pcm { type null } file \"" << outFile()
            << "\" format \"raw\" }\n"
               "pcm.default { type asym playback.pcm \"fileplay\" capture.pcm \"fileplay\" }\n"
               "pcm.fixed48 { type plug slave { pcm { type null } rate 48000 } }\n"
               "pcm.vanishing { type file slave.pcm { type null } file \"/dev/full\" format \"raw\" }\n";
        out.close();
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    }
    TempDir m_dir;
};

}  // namespace vestest
