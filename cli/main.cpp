#include "CliCommands.h"

#include <cstdio>
#include <cstring>

namespace {

const CliCommand kCommands[] = {
    {"info", "describe recordings: type, format, length, records, marks, metadata", cmdInfo, helpInfo},
    {"convert", "write recordings as another file type, whole or an interval", cmdConvert, helpConvert},
    {"power", "averaged power spectrum of recordings as text", cmdPower, helpPower},
    {"pulses", "pulse characteristics table of recordings (text or CSV)", cmdPulses, helpPulses},
    {"calls", "find and measure the bat calls of recordings and folders (noise-adaptive)", cmdCalls, helpCalls},
    {"histogram", "pulse interval or pulse length histogram of recordings", cmdHistogram, helpHistogram},
    {"filter", "filter recordings with an IIR filter, or print its response", cmdFilter, helpFilter},
    {"marks", "export marks as Raven selection tables or Audacity labels, or import them", cmdMarks, helpMarks},
    {"demo", "write the synthetic demonstration recording", cmdDemo, helpDemo},
    {"detector-files", "list, copy under dated names and export R450Z/R9000Z detector recordings of a folder",
     cmdDetectorFiles, helpDetectorFiles},
    {"record", "triggered recording from a sound device, one file per recording", cmdRecord, helpRecord},
    {"trigger-split", "one file per triggered stretch of existing recordings", cmdTriggerSplit, helpTriggerSplit},
#ifdef VES_HAVE_RENDER
    {"spectrogram", "draw the analysis plot of recordings as PNG, JPEG, SVG or PDF", cmdSpectrogram,
     helpSpectrogram},
#endif
};

void usage()
{
    std::printf("Usage: vesperon-cli COMMAND [OPTIONS] [FILE...]\n\nCommands:\n");
    for (const auto& c : kCommands)
        std::printf("  %-12s %s\n", c.name, c.summary);
    std::printf("\nvesperon-cli COMMAND --help shows the options of a command.\n");
}

}  // namespace

bool wantsHelp(const CliArgs& args)
{
    for (const auto& a : args)
        if (a == "-h" || a == "--help")
            return true;
    return false;
}

int main(int argc, char** argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
        usage();
        return argc < 2 ? 2 : 0;
    }
    CliArgs args(argv + 2, argv + argc);
    for (const auto& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0)
            continue;
        if (wantsHelp(args)) {
            c.help();
            return 0;
        }
        return c.run(args);
    }
    std::fprintf(stderr, "vesperon-cli: unknown command '%s'\n", argv[1]);
    usage();
    return 2;
}
