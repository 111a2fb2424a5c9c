// Feeds arbitrary bytes to the RIFF walk and the WAVE reader.
#include "soundfiles/RiffFile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/vesperon-fuzz-riff-" + std::to_string(::getpid()) + ".wav";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    WaveFile w;
    w.setSectionSize(8192);  // small views so that reads cross view edges
    if (w.open(path) > 0) {
        std::vector<std::uint8_t> buf(4096);
        for (std::int64_t off = 0; off < w.dataLength(); off += 4096)
            w.readData(buf.data(), 4096, off);
        for (const RiffCls* c : w.foreignChunks())
            (void)c->bufferLength();
        for (RiffCls* form : w.forms()) {
            std::uint8_t b[16];
            form->read(b, sizeof b, 0);
        }
        std::FILE* out = std::fopen("/dev/null", "wb");
        if (out) {
            w.writeAll(out);
            std::fclose(out);
        }
    }
    return 0;
}
