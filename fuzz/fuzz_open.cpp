// Feeds arbitrary bytes to type detection and to opening a document, under
// the names and type tags a user might give them.
#include "document/CVesSoundDoc.h"
#include "soundfiles/VesFileType.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

class QuietHost : public IDocHost {
public:
    void message(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks how the file is named; the rest is its content.
    static const char* const names[] = {
        ".wav", ".vprd", ".vprdp", ".r9000z", ".dat [16 bit samples MONO]", ".dat [8 bit samples MONO]",
        ".dat [Special 60 bytes head MONO]", ".wav [Wave Comp]", ".wav [Vesperon Wave]", ".wav [R450Z/R9000Z Wave file]",
    };
    const std::string base = "/tmp/vesperon-fuzz-open-" + std::to_string(::getpid());
    const std::string suffix = names[data[0] % (sizeof names / sizeof names[0])];
    const std::string tag = suffix.find(' ') == std::string::npos ? std::string() : suffix.substr(suffix.find(' '));
    const std::string file = base + suffix.substr(0, suffix.find(' '));
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    // A pair's wave is the same bytes.
    if (suffix == ".vprdp") {
        std::FILE* w = std::fopen((file + ".wav").c_str(), "wb");
        if (w) {
            std::fwrite(data + 1, 1, size - 1, w);
            std::fclose(w);
        }
    }
    (void)refineStandardWaveType(file);
    QuietHost host;
    CVesSoundDoc doc(host);
    if (doc.open(file + tag)) {
        double buf[256];
        doc.readFramesAsDouble(0, 256, ChannelIndex::Left, buf);
        (void)doc.lengthFrames();
    }
    return 0;
}
