// vesperon-cli: one function per subcommand, dispatched from main.cpp.
#pragma once

#include <string>
#include <vector>

using CliArgs = std::vector<std::string>;

struct CliCommand {
    const char* name;
    const char* summary;
    int (*run)(const CliArgs& args);  // args after the subcommand; returns the exit status
    void (*help)();
};

int cmdInfo(const CliArgs& args);
void helpInfo();
int cmdConvert(const CliArgs& args);
void helpConvert();
int cmdPower(const CliArgs& args);
void helpPower();
int cmdPulses(const CliArgs& args);
void helpPulses();
int cmdHistogram(const CliArgs& args);
void helpHistogram();
int cmdFilter(const CliArgs& args);
void helpFilter();
int cmdMarks(const CliArgs& args);
void helpMarks();
int cmdDemo(const CliArgs& args);
void helpDemo();
int cmdCalls(const CliArgs& args);
void helpCalls();
int cmdDetectorFiles(const CliArgs& args);
void helpDetectorFiles();
int cmdRecord(const CliArgs& args);
void helpRecord();
int cmdTriggerSplit(const CliArgs& args);
void helpTriggerSplit();
#ifdef VES_HAVE_RENDER
int cmdSpectrogram(const CliArgs& args);
void helpSpectrogram();
#endif

// True when args holds -h or --help.
bool wantsHelp(const CliArgs& args);
