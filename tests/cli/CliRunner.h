// Runs the built vesperon-cli as a user would, with the settings of a test
// folder only, so that the user's own settings do not count.
#pragma once

#include "TestSupport.h"

#include "soundfiles/DemoRecording.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>
#include <sys/wait.h>

namespace vestest {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// `args` are already quoted for the shell (see quoted()).
inline CliRun runCli(const std::string& args, const TempDir& dir)
{
    const std::string errFile = dir.file("stderr.txt");
    const std::string cmd = "XDG_CONFIG_HOME='" + dir.file("config") + "' XDG_CONFIG_DIRS='" + dir.file("none") +
                            "' '" + VES_CLI_PATH + "' " + args + " 2>'" + errFile + "'";
    CliRun r{};
    std::FILE* p = ::popen(cmd.c_str(), "r");
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    const auto e = readFile(errFile);
    r.err.assign(e.begin(), e.end());
    return r;
}

inline std::string quoted(const std::string& s)
{
    return "'" + s + "'";
}

// The lines of a program's output, without their line ends.
inline std::vector<std::string> outputLines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
    }
    return out;
}

// How many sounds the demo recording's calls make: calls of the two bats
// that overlap or follow within a millisecond are one.
inline std::size_t separateDemoCalls()
{
    std::size_t n = 0;
    double end = -1;
    for (const DemoCall& c : demoCalls()) {
        if (c.startSec > end + 0.001)
            ++n;
        end = std::max(end, c.startSec + c.durationSec);
    }
    return n;
}

}  // namespace vestest
