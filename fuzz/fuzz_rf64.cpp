// The RF64 header walk: arbitrary bytes after an "RF64" tag (so that every
// input reaches the ds64 chunk), through the WAVE reader and its data reads.
#include "soundfiles/RiffFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/vesperon-fuzz-rf64-" + std::to_string(::getpid()) + ".wav";
    std::vector<std::uint8_t> bytes(data, data + size);
    if (bytes.size() >= 4)
        std::memcpy(bytes.data(), (bytes[0] & 1) ? "BW64" : "RF64", 4);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    WaveFile w;
    w.setSectionSize(8192);
    if (w.open(path) > 0) {
        std::vector<std::uint8_t> buf(4096);
        for (std::int64_t off = 0; off < w.dataLength() && off < (1 << 20); off += 4096)
            w.readData(buf.data(), 4096, off);
        if (w.dataLength() > 0)
            w.readData(buf.data(), 16, w.dataLength() - 1);
        for (const RiffCls* c : w.foreignChunks())
            (void)c->bufferLength();
    }
    return 0;
}
