// Feeds arbitrary bytes, as a wave file, to the writer of manual labels into
// GUANO. A refused file must stay as it was, with nothing left beside it; a
// written one must read back with the label, and writing the same label
// again must change nothing.
#include "project/Project.h"
#include "records/GuanoRecord.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/fuzz-guano-label-" + std::to_string(::getpid()) + ".wav";
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << input;
    }
    std::string error;
    bool changed = false;
    if (!review::writeGuanoField(path, "Species Manual ID", "PIPPIP, noise", error, &changed)) {
        if (error.empty() || readAll(path) != input)
            std::abort();
    } else {
        const std::string written = readAll(path);
        if (written.size() < 12 || written.compare(8, 4, "WAVE") != 0)
            std::abort();
        if (!review::writeGuanoField(path, "Species Manual ID", "PIPPIP, noise", error, &changed) || changed)
            std::abort();
        if (readAll(path) != written)
            std::abort();
    }
    std::remove(path.c_str());
    return 0;
}
