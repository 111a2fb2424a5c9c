// The program's own demonstration recording: a few seconds of synthetic bat
// echolocation calls at 384 kHz, 16-bit mono, written as a plain wave file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DemoCall {
    double startSec;     // real time from the start of the recording
    double durationSec;
    double startHz;      // frequency at the start of the call
    double endHz;        // frequency at its end
};

struct DemoRecordingSpec {
    std::uint32_t rateHz = 384000;
    double durationSec = 3.0;
    double noiseLevel = 0.002;  // of full scale, white
    std::uint32_t seed = 12345;
};

// The calls of the demo recording: a pipistrelle-like train of shallow FM
// calls (about 75 to 45 kHz, 5 ms, every 90 ms) interleaved with a steep FM
// bat (about 95 to 30 kHz, 2.5 ms, every 65 ms).
std::vector<DemoCall> demoCalls(const DemoRecordingSpec& spec = {});

// The samples of the demo recording.
std::vector<std::int16_t> synthesizeDemoSamples(const DemoRecordingSpec& spec = {});

// Writes the demo recording to `path` atomically. On failure `error` gets the system's text.
bool writeDemoRecording(const std::string& path, std::string* error = nullptr, const DemoRecordingSpec& spec = {});
