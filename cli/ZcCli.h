// Zero-crossing files in the commands: their description for `info`, the
// conversion of recordings for `convert` and their calls for `calls`.
#pragma once

#include "CliOptions.h"
#include "zcfiles/ZcCalls.h"
#include "zcfiles/ZcConvert.h"
#include "zcfiles/ZcFile.h"

#include <string>
#include <vector>

// "[Anabat 132]": the type as `info` names it.
std::string zcTypeName(const zcfile::ZcFile& f);

// Reads a ZC file; on failure prints "vesperon-cli COMMAND: FILE: why".
bool readZcOrComplain(const char* command, const std::string& path, zcfile::ZcFile& out);

void describeZcText(const zcfile::ZcFile& f, const std::string& file);
void describeZcJson(const zcfile::ZcFile& f, const std::string& file, bool first);

// Whether an output path names a ZC file: ".zc" or an extension ending in '#'.
bool isZcOutputPath(const std::string& path);

// The options of `convert` that shape ZC output, and their values.
std::vector<OptionSpec> zcConvertOptions();
// Takes one of those options into `settings`; false when it is none of them.
bool takeZcConvertOption(const OptionValue& o, zcfile::ConvertSettings& settings);

// Converts the recording `in` to the ZC file `out` (messages to stderr).
bool convertToZc(const std::string& in, const std::string& out, const zcfile::ConvertSettings& settings);
