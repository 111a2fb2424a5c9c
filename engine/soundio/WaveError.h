// Sound-interface result codes and their texts. Every back end reports its
// failures in these codes, so a message reads the same whichever back end
// is in use.
#pragma once

#include <string>

namespace wave {
constexpr int NoError = 0;
constexpr int Error = 1;
constexpr int BadDeviceId = 2;
constexpr int NotEnabled = 3;
constexpr int Allocated = 4;
constexpr int InvalidHandle = 5;
constexpr int NoDriver = 6;
constexpr int NoMem = 7;
constexpr int NotSupported = 8;
constexpr int InvalidParam = 11;
constexpr int BadFormat = 32;
constexpr int StillPlaying = 33;
}  // namespace wave

// The description of a result code ("Unknown error code." for others).
const char* waveErrorDescription(int code);
// caller + "\r\n" + "Wave Error#<code>: " + description.
std::string WaveErrorText(const std::string& caller, int code);
