#include "CliCommands.h"

#include "soundfiles/RiffFile.h"

#include <cctype>
#include <cstdio>
#include <string>

void helpInfo()
{
    std::printf("Usage: vesperon-cli info FILE...\n\n"
                "Prints what the engine reads from each recording: its RIFF forms, the\n"
                "wave format, the number of frames and the duration, and the metadata\n"
                "chunks kept with the samples. Exit status 1 when a file cannot be read.\n");
}

namespace {

std::string printableName(const std::string& s)
{
    std::string out;
    for (unsigned char c : s)
        out += std::isprint(c) ? static_cast<char>(c) : '?';
    return out;
}

int describe(const std::string& path)
{
    WaveFile wave;
    const int forms = wave.open(path, true);
    if (forms <= 0) {
        std::fprintf(stderr, "%s: cannot read: not a RIFF file, or a damaged one\n", path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::printf("  size: %lld bytes, %d top-level form(s):", static_cast<long long>(wave.getFileSize()), forms);
    for (const RiffCls* f : wave.forms())
        std::printf(" %s", printableName(f->name()).c_str());
    std::printf("\n");
    PcmFormat fmt;
    if (!wave.hasWaveForm() || !wave.getFormat(fmt)) {
        std::fprintf(stderr, "%s: not a valid WAVE file\n", path.c_str());
        return 1;
    }
    std::printf("  format: tag %u, %u channel(s), %u Hz, %u bits, block %u\n", fmt.formatTag, fmt.channels,
                fmt.samplesPerSec, fmt.bitsPerSample, fmt.blockAlign);
    const long long frames = fmt.blockAlign ? wave.dataLength() / fmt.blockAlign : 0;
    std::printf("  data: %lld bytes at offset %lld, %lld frames", static_cast<long long>(wave.dataLength()),
                static_cast<long long>(wave.dataStart()), frames);
    if (fmt.samplesPerSec)
        std::printf(", %.3f s", static_cast<double>(frames) / fmt.samplesPerSec);
    std::printf("\n");
    for (const RiffCls* c : wave.foreignChunks()) {
        std::printf("  chunk %s: %lld bytes", printableName(c->name()).c_str(), static_cast<long long>(c->bufferLength()));
        if (c->name() == "guan") {
            std::string text(reinterpret_cast<const char*>(c->buffer()), static_cast<size_t>(c->bufferLength()));
            while (!text.empty() && text.back() == '\0')
                text.pop_back();
            std::printf("\n    ");
            for (char ch : text)
                std::printf(ch == '\n' ? "\n    " : "%c", ch);
        }
        std::printf("\n");
    }
    return 0;
}

}  // namespace

int cmdInfo(const CliArgs& args)
{
    if (args.empty()) {
        helpInfo();
        return 2;
    }
    int status = 0;
    for (const auto& path : args)
        status |= describe(path);
    return status;
}
