#include "CliCommands.h"

#include "soundfiles/DemoRecording.h"

#include <cstdio>

void helpDemo()
{
    std::printf("Usage: vesperon-cli demo OUT.wav\n\n"
                "Writes the demonstration recording: 3 s of synthetic FM bat calls,\n"
                "384 kHz, 16-bit mono.\n");
}

int cmdDemo(const CliArgs& args)
{
    if (args.size() != 1) {
        helpDemo();
        return 2;
    }
    std::string error;
    if (!writeDemoRecording(args[0], &error)) {
        std::fprintf(stderr, "vesperon-cli: cannot write %s: %s\n", args[0].c_str(), error.c_str());
        return 1;
    }
    return 0;
}
