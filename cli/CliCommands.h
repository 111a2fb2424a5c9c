// vesperon-cli: one function per subcommand with its option table, listed by
// cliCommands() and dispatched from main.cpp.
#pragma once

#include "CliOptions.h"

#include <string>
#include <vector>

using CliArgs = std::vector<std::string>;

struct CliCommand {
    const CommandSpec& (*spec)();
    int (*run)(const CliArgs& args);  // args after the subcommand; returns the exit status
};

// --band LO,HI of the call detector (calls, project), in kHz.
OptionSpec callBandOption(const char* help);

// `project classify PROJECT MODEL`: labels the project's calls with the
// model (CmdClassify.cpp); throws ProjectError as the project's actions do.
int classifyProject(const std::string& projectPath, const std::string& modelPath);

// Every command of this build, in the order of the command list.
const std::vector<CliCommand>& cliCommands();

#define VES_CLI_COMMAND(fn)                                                                                            \
    const CommandSpec& fn##Spec();                                                                                     \
    int fn(const CliArgs& args);

VES_CLI_COMMAND(cmdInfo)
VES_CLI_COMMAND(cmdConvert)
VES_CLI_COMMAND(cmdPower)
VES_CLI_COMMAND(cmdPulses)
VES_CLI_COMMAND(cmdHistogram)
VES_CLI_COMMAND(cmdCalls)
VES_CLI_COMMAND(cmdFilter)
VES_CLI_COMMAND(cmdMarks)
VES_CLI_COMMAND(cmdDemo)
VES_CLI_COMMAND(cmdDetectorFiles)
VES_CLI_COMMAND(cmdRecord)
VES_CLI_COMMAND(cmdTriggerSplit)
VES_CLI_COMMAND(cmdProject)
VES_CLI_COMMAND(cmdClassify)
#ifdef VES_HAVE_RENDER
VES_CLI_COMMAND(cmdSpectrogram)
#endif

#undef VES_CLI_COMMAND
