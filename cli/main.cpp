#include "CliCommands.h"

#include <cstdio>
#include <cstring>

#ifndef VES_VERSION
#define VES_VERSION "0"
#endif

namespace {

void usage()
{
    std::printf("Usage: vesperon-cli COMMAND [OPTIONS] [FILE|FOLDER...]\n"
                "       vesperon-cli --version | --help | --man\n\nCommands:\n");
    for (const CliCommand& c : cliCommands())
        std::printf("  %-15s %s\n", c.spec().name, c.spec().summary);
    std::printf("\nvesperon-cli COMMAND --help shows the options of a command; --man prints them all\n"
                "as the manual page vesperon-cli(1).\n");
}

bool wantsHelp(const CliArgs& args)
{
    for (const auto& a : args) {
        if (a == "--")
            return false;
        if (a == "-h" || a == "--help")
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* first = argc > 1 ? argv[1] : "";
    if (argc < 2 || !std::strcmp(first, "-h") || !std::strcmp(first, "--help") ||
        (!std::strcmp(first, "help") && argc == 2)) {
        usage();
        return argc < 2 ? 2 : 0;
    }
    if (!std::strcmp(first, "-V") || !std::strcmp(first, "--version")) {
        std::printf("vesperon-cli %s\n", VES_VERSION);
        return 0;
    }
    if (!std::strcmp(first, "--man")) {
        std::vector<const CommandSpec*> specs;
        for (const CliCommand& c : cliCommands())
            specs.push_back(&c.spec());
        const std::string page = manPage(specs, VES_VERSION);
        std::fwrite(page.data(), 1, page.size(), stdout);
        return 0;
    }
    // "help COMMAND" is "COMMAND --help".
    const bool helpFor = !std::strcmp(first, "help");
    const char* name = helpFor ? argv[2] : first;
    CliArgs args(argv + (helpFor ? 3 : 2), argv + argc);
    for (const CliCommand& c : cliCommands()) {
        if (std::strcmp(name, c.spec().name) != 0)
            continue;
        if (helpFor || wantsHelp(args)) {
            printHelp(c.spec());
            return 0;
        }
        return c.run(args);
    }
    std::fprintf(stderr, "vesperon-cli: unknown command '%s'\n", name);
    usage();
    return 2;
}
