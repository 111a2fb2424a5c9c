// Detector recordings written byte by byte: a 44-byte wave header, the
// detector header with its texts at their offsets, and a few samples.
#pragma once

#include "TestSupport.h"

#include <cstdint>
#include <string>

namespace vestest {

struct DetectorHeader {
    std::uint32_t length = 244;  // the header length field
    std::string recordTime;      // offset 68, 32 bytes
    std::string latitude;        // offset 100, 32 bytes
    std::string longitude;       // offset 132, 32 bytes
    std::string fileName;        // offset 164, 16 bytes
    std::string fileTime;        // offset 180, 16 bytes
    std::string version = "R9000Z   V1.2";  // offset 196, 48 bytes
    // Bytes of the file after the 44-byte wave header; fewer than 244 cut
    // the file inside the detector header. −1: the whole header and samples.
    long fileBytesAfterWaveHeader = -1;
    std::size_t sampleBytes = 2000;
};

// The bytes of a detector recording (mono, 16 bit, 384 kHz).
Bytes detectorRecording(const DetectorHeader& h);

// A folder of both models with non-detector and broken files among them.
// Detector recordings: "A_0001.wav" (R9000Z, 240131235959), "b_0002.WAV"
// (R450Z with a stated length of 176, 240229000000), "c-0003" (no period,
// R9000Z, "231231 23:59:59"), "d:0004 Höhle.wav" (a colon and non-ASCII).
// Others: "empty.wav" (0 bytes), "notes.txt", "plain.wav" (a wave without a
// detector header), "short.wav" (cut after 60 header bytes), "nameless.wav"
// (no detector file name), and the sub-folder "sub.wav".
void writeDetectorFolder(const std::string& folder);

}  // namespace vestest
