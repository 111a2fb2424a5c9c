#include "CliCommands.h"

#include "soundfiles/DemoRecording.h"

#include <cstdio>

const CommandSpec& cmdDemoSpec()
{
    static const CommandSpec spec{"demo",
                                  "write the synthetic demonstration recording",
                                  {"OUT.wav"},
                                  "Writes the demonstration recording: 3 s of synthetic FM bat calls,\n"
                                  "384 kHz, 16-bit mono.\n",
                                  {},
                                  ""};
    return spec;
}

int cmdDemo(const CliArgs& args)
{
    const CommandSpec& spec = cmdDemoSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    if (parsed.operands.size() != 1)
        return usageError(spec, "give the file to write (see --help)");
    const std::string& out = parsed.operands[0];
    std::string error;
    if (!writeDemoRecording(out, &error)) {
        std::fprintf(stderr, "vesperon-cli: cannot write %s: %s\n", out.c_str(), error.c_str());
        return 1;
    }
    return 0;
}
