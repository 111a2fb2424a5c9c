#include "DetectorFixtures.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace vestest {

namespace {

void put(Bytes& area, std::size_t offset, std::size_t width, const std::string& text)
{
    std::memcpy(area.data() + offset, text.data(), std::min(width, text.size()));
}

}  // namespace

Bytes detectorRecording(const DetectorHeader& h)
{
    Bytes area(244, 0);
    for (int i = 0; i < 4; ++i)
        area[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(h.length >> (8 * i));
    put(area, 68, 32, h.recordTime);
    put(area, 100, 32, h.latitude);
    put(area, 132, 32, h.longitude);
    put(area, 164, 16, h.fileName);
    put(area, 180, 16, h.fileTime);
    put(area, 196, 48, h.version);
    Bytes payload = area;
    for (std::size_t i = 0; i < h.sampleBytes; ++i)
        payload.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    Bytes file = riffWave(ByteWriter().chunk("fmt ", pcmFormat(1, 384000, 16)).chunk("data", payload).data());
    if (h.fileBytesAfterWaveHeader >= 0)
        file.resize(44 + static_cast<std::size_t>(h.fileBytesAfterWaveHeader));
    return file;
}

void writeDetectorFolder(const std::string& folder)
{
    DetectorHeader a;
    a.latitude = "N 47.3769, E 8.5417";
    a.longitude = "E 8.5417";
    a.fileName = "R0001.WAV";
    a.fileTime = "240131235959";
    a.recordTime = "2024-01-31 22:59:59";
    writeFile(folder + "/A_0001.wav", detectorRecording(a));

    DetectorHeader b;
    b.length = 176;
    b.version = "R450Z   V1.07";
    b.fileName = "R0002.WAV";
    b.fileTime = "240229000000";
    b.latitude = "N 46.0";
    b.longitude = "E 7.0";
    writeFile(folder + "/b_0002.WAV", detectorRecording(b));

    DetectorHeader c;
    c.fileName = "R0003";
    c.fileTime = "231231 23:59:59";
    writeFile(folder + "/c-0003", detectorRecording(c));

    DetectorHeader d;
    d.fileName = "R0004.WAV";
    d.fileTime = "230630120000";
    writeFile(folder + "/d:0004 H\xc3\xb6hle.wav", detectorRecording(d));

    writeFile(folder + "/empty.wav", {});
    writeFile(folder + "/notes.txt", Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    writeFile(folder + "/plain.wav",
              riffWave(ByteWriter().chunk("fmt ", pcmFormat(1, 384000, 16)).chunk("data", Bytes(400, 1)).data()));
    DetectorHeader s = a;
    s.fileBytesAfterWaveHeader = 60;
    writeFile(folder + "/short.wav", detectorRecording(s));
    DetectorHeader n = a;
    n.fileName.clear();
    writeFile(folder + "/nameless.wav", detectorRecording(n));
    ::mkdir((folder + "/sub.wav").c_str(), 0755);
}

}  // namespace vestest
