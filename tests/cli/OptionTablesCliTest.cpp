// The commands' option tables against the parser, the help and the manual
// page made from them; folders as inputs; the ordered parallel loop.
#include "CliCommands.h"
#include "OrderedFor.h"

#include "core/NumberText.h"
#include "soundfiles/DemoRecording.h"

#include "CliRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using vestest::TempDir;

namespace {

constexpr auto cli = &vestest::runCli;
constexpr auto q = &vestest::quoted;

// Values the option must take: every choice, the ends of a range, the
// table's own sample for texts.
std::vector<std::string> goodValues(const OptionSpec& s)
{
    std::vector<std::string> out;
    std::string word;
    for (const char* p = s.choices;; ++p) {
        if (*p == '|' || *p == '\0') {
            if (!word.empty())
                out.push_back(word);
            word.clear();
            if (!*p)
                break;
        } else {
            word += *p;
        }
    }
    const auto number = [](double v) { return vkit::formatC("%.15g", v); };
    switch (s.kind) {
    case OptionKind::Flag:
    case OptionKind::Choice: break;
    case OptionKind::Integer: out.push_back(number(s.min)); out.push_back(number(s.max)); break;
    case OptionKind::Number:
        out.push_back(number(s.max));
        if (!(s.flags & kAboveMin))
            out.push_back(number(s.min));
        break;
    case OptionKind::Text:
    case OptionKind::Path: out.push_back(s.sample ? s.sample : "x"); break;
    }
    return out;
}

// A value the option must refuse, or "" when it takes any text.
std::string badValue(const OptionSpec& s)
{
    switch (s.kind) {
    case OptionKind::Flag: return "";
    case OptionKind::Choice: return "no-such-choice";
    case OptionKind::Integer: return vkit::formatC("%.15g", s.max + 1);
    case OptionKind::Number: return "1e999";
    case OptionKind::Text: return s.check ? "?bad?" : "";
    case OptionKind::Path: return "";
    }
    return "";
}

}  // namespace

// For every command: each option of its table is in its --help (as the
// program prints it) and the manual page, the parser takes it in every
// spelling with every kind of good value and refuses a bad one with the
// uniform message, and takes no option of another table that is not in its own.
TEST(CliOptionTables, ParserHelpAndManualPageFollowTheTables)
{
    TempDir dir;
    const vestest::CliRun man = cli("--man", dir);
    ASSERT_EQ(man.status, 0) << man.err;
    EXPECT_EQ(man.out.rfind(".TH VESPERON\\-CLI 1", 0), 0u);
    std::vector<std::string> allNames;
    for (const CliCommand& c : cliCommands())
        for (const OptionSpec& s : c.spec().options)
            allNames.push_back(s.name);

    for (const CliCommand& c : cliCommands()) {
        const CommandSpec& spec = c.spec();
        SCOPED_TRACE(spec.name);
        const vestest::CliRun help = cli(std::string(spec.name) + " --help", dir);
        ASSERT_EQ(help.status, 0);
        EXPECT_EQ(help.out, helpText(spec)) << "the program prints the table's help";
        EXPECT_EQ(help.out.rfind("Usage: vesperon-cli " + std::string(spec.name), 0), 0u);
        const auto roffText = [](const std::string& text) {
            std::string out;
            for (char ch : text)
                out += ch == '-' ? std::string("\\-") : std::string(1, ch);
            return out;
        };
        const std::size_t section = man.out.find(".SH \"" + roffText("vesperon-cli " + std::string(spec.name)) + "\"");
        ASSERT_NE(section, std::string::npos);
        const std::size_t sectionEnd = man.out.find("\n.SH ", section + 1);
        for (const OptionSpec& s : spec.options) {
            SCOPED_TRACE(s.name);
            EXPECT_NE(help.out.find("  " + optionLabel(s)), std::string::npos) << help.out;
            const std::size_t inMan = man.out.find("\\fB" + roffText(std::string("--") + s.name) + "\\fR", section);
            EXPECT_LT(inMan, sectionEnd) << "in the manual page's section of the command";

            const std::string longName = std::string("--") + s.name;
            std::vector<std::vector<std::string>> spellings;
            const bool takesValue = s.kind != OptionKind::Flag;
            if (!takesValue) {
                spellings.push_back({longName});
                if (s.shortName)
                    spellings.push_back({std::string("-") + s.shortName});
            }
            for (const std::string& v : takesValue ? goodValues(s) : std::vector<std::string>{}) {
                if (!s.implicitValue)
                    spellings.push_back({longName, v});
                spellings.push_back({longName + "=" + v});
                if (s.shortName)
                    spellings.push_back({std::string("-") + s.shortName, v});
            }
            if (s.implicitValue)
                spellings.push_back({longName});
            ASSERT_FALSE(spellings.empty());
            for (const auto& args : spellings) {
                ParsedArgs parsed;
                std::string error;
                EXPECT_TRUE(parseArgs(spec, args, parsed, error)) << args.back() << ": " << error;
                ASSERT_EQ(parsed.options.size(), 1u);
                EXPECT_TRUE(parsed.options[0].is(s.name));
                EXPECT_TRUE(parsed.operands.empty()) << "a value is not taken as a file";
            }
            if (const std::string bad = badValue(s); !bad.empty()) {
                ParsedArgs parsed;
                std::string error;
                EXPECT_FALSE(parseArgs(spec, {longName + "=" + bad}, parsed, error));
                EXPECT_EQ(error, longName + " must be " + expectedValue(s) + ", not '" + bad + "'");
            }
            if (!takesValue) {
                ParsedArgs parsed;
                std::string error;
                EXPECT_FALSE(parseArgs(spec, {longName + "=1"}, parsed, error));
            }
        }
        for (const std::string& name : allNames) {
            bool own = false;
            for (const OptionSpec& s : spec.options)
                own = own || name == s.name;
            if (own)
                continue;
            ParsedArgs parsed;
            std::string error;
            EXPECT_FALSE(parseArgs(spec, {"--" + name + "=1"}, parsed, error)) << name;
            EXPECT_EQ(error.rfind("unknown option --" + name, 0), 0u) << error;
        }
    }
}

TEST(CliOptionTables, VersionHelpAndUniformMessages)
{
    TempDir dir;
    for (const char* v : {"--version", "-V"}) {
        const vestest::CliRun r = cli(v, dir);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, std::string("vesperon-cli ") + VES_VERSION + "\n");
    }
    const vestest::CliRun help = cli("--help", dir);
    EXPECT_EQ(help.status, 0);
    for (const CliCommand& c : cliCommands())
        EXPECT_NE(help.out.find("\n  " + std::string(c.spec().name) + " "), std::string::npos) << c.spec().name;

    struct Case {
        const char* args;
        const char* err;
    } cases[] = {
        {"calls --jobs 0 x.wav", "vesperon-cli calls: --jobs must be a whole number from 1 to 256, not '0'\n"},
        {"pulses -j=many x.wav", "vesperon-cli pulses: --jobs must be a whole number from 1 to 256, not 'many'\n"},
        {"histogram --channel mix x.wav", "vesperon-cli histogram: --channel must be left or right, not 'mix'\n"},
        {"power --start soon x.wav",
         "vesperon-cli power: --start must be a frame number or a time such as 12.5ms or 1.2s, not 'soon'\n"},
        {"spectrogram --fft 1000 x.wav -o x.png",
         "vesperon-cli spectrogram: --fft must be a power of two from 16 to 4096 or auto, not '1000'\n"},
        {"calls x.wav --time-expansion", "vesperon-cli calls: --time-expansion needs a value: a number from 0.001 to "
                                         "1000\n"},
        {"info --csv x.wav", "vesperon-cli info: unknown option --csv (vesperon-cli info --help lists them)\n"},
        {"calls --csv=yes x.wav", "vesperon-cli calls: --csv takes no value\n"},
    };
    for (const Case& c : cases) {
        if (std::string(c.args).rfind("spectrogram", 0) == 0 && cli("spectrogram --help", dir).status != 0)
            continue;
        const vestest::CliRun r = cli(c.args, dir);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
        EXPECT_TRUE(r.out.empty()) << c.args;
    }
}

// A folder stands for its recordings in sorted order, its sub-folders' with
// --recursive; files of other kinds are left out; a folder without any says
// so and gives status 1, for every command that reads recordings.
class FolderInputsCli : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* f : {"night/b.wav", "night/a.WAV", "night/sub/c.wav", "night/a/z.wav"}) {
            std::filesystem::create_directories(std::filesystem::path(dir.file(f)).parent_path());
            ASSERT_TRUE(writeDemoRecording(dir.file(f)));
        }
        vestest::writeFile(dir.file("night/notes.txt"), vestest::Bytes{'x'});
        std::filesystem::create_directories(dir.file("season/site/empty-night"));
        std::filesystem::create_directories(dir.file("out"));
    }
    // The files info describes, in its order.
    std::vector<std::string> described(const std::string& args)
    {
        const vestest::CliRun r = cli("info " + args, dir);
        EXPECT_EQ(r.status, 0) << args << "\n" << r.err;
        std::vector<std::string> files;
        for (const std::string& line : vestest::outputLines(r.out))
            if (!line.empty() && line[0] != ' ')
                files.push_back(line.substr(dir.path().size() + 1));
        return files;
    }
    TempDir dir;
};

TEST_F(FolderInputsCli, FoldersExpandSortedAndRecursively)
{
    EXPECT_EQ(described(q(dir.file("night"))), (std::vector<std::string>{"night/a.WAV", "night/b.wav"}));
    const std::vector<std::string> all{"night/a/z.wav", "night/a.WAV", "night/b.wav", "night/sub/c.wav"};
    EXPECT_EQ(described("-r " + q(dir.file("night"))), all);
    EXPECT_EQ(described(q(dir.file("night/")) + " --recursive"), all) << "a folder ending in a slash";
    EXPECT_EQ(described(q(dir.file("night/b.wav")) + " -r " + q(dir.file("night/sub"))),
              (std::vector<std::string>{"night/b.wav", "night/sub/c.wav"}));
}

TEST_F(FolderInputsCli, AFolderWithoutRecordingsIsAnErrorForEveryCommand)
{
    const std::string empty = dir.file("season");
    const std::string out = q(dir.file("out"));
    std::vector<std::string> runs = {"info", "power", "pulses", "histogram", "calls --csv", "convert -r " + q(empty) + " " + out,
                                     "trigger-split --output " + out};
    if (cli("spectrogram --help", dir).status == 0)
        runs.push_back("spectrogram -o " + out);
    for (const std::string& run : runs) {
        const bool hasInput = run.find(q(empty)) != std::string::npos;
        const vestest::CliRun r = cli(run + (hasInput ? "" : " " + q(empty)), dir);
        EXPECT_EQ(r.status, 1) << run;
        const std::string command = run.substr(0, run.find(' '));
        const std::string message = "vesperon-cli " + command + ": no recordings found in " + empty;
        EXPECT_EQ(r.err.rfind(message, 0), 0u) << run << "\n" << r.err;
        EXPECT_EQ(r.err.find("--recursive") != std::string::npos, !hasInput) << "a hint without -r: " << r.err;
        EXPECT_TRUE(r.out.empty()) << run;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("out")));

    // Beside other inputs the rest is still done, and the status says a folder was empty.
    const vestest::CliRun mixed = cli("info -r " + q(empty) + " " + q(dir.file("night/b.wav")), dir);
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.out.find(dir.file("night/b.wav")), std::string::npos);
}

// Outputs named after their inputs, dots in the names kept; equal names from
// different sub-folders do not overwrite each other.
TEST_F(FolderInputsCli, ConvertOfAFolderKeepsEveryRecording)
{
    for (const char* f : {"two/x.1_0.wav", "two/sub/x.1_0.wav"}) {
        std::filesystem::create_directories(std::filesystem::path(dir.file(f)).parent_path());
        ASSERT_TRUE(writeDemoRecording(dir.file(f)));
    }
    const vestest::CliRun r = cli("convert -r " + q(dir.file("two")) + " " + q(dir.file("out")), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(vestest::fileExists(dir.file("out/x.1_0.vprd")));
    EXPECT_TRUE(vestest::fileExists(dir.file("out/x.1_0-2.vprd")));
}

TEST_F(FolderInputsCli, PulsesOfAFolderAreOneTable)
{
    const std::string settings = "--threshold -20 --separation 0.5 --min-duration 0.5 --fft 256 --overlap 75 ";
    const std::string night = q(dir.file("night"));
    const auto csv = vestest::outputLines(cli("pulses --csv " + settings + night, dir).out);
    const std::size_t calls = vestest::separateDemoCalls();
    ASSERT_EQ(csv.size(), 1 + 2 * calls);
    EXPECT_EQ(csv[0].rfind("file,", 0), 0u);
    EXPECT_EQ(csv[1].rfind(dir.file("night/a.WAV") + ",1,", 0), 0u);
    EXPECT_EQ(csv.back().rfind(dir.file("night/b.wav") + ",", 0), 0u);

    const vestest::CliRun raven = cli("pulses --raven -j 2 " + settings + "-r " + night, dir);
    ASSERT_EQ(raven.status, 0) << raven.err;
    const auto table = vestest::outputLines(raven.out);
    ASSERT_EQ(table.size(), 1 + 4 * calls) << "one header, every pulse of the four recordings";
    EXPECT_NE(table[0].find("\tAnnotation\tBegin File\tPulse\t"), std::string::npos) << table[0];
    EXPECT_NE(table[1].find("\t" + dir.file("night/a/z.wav") + "\t1\t"), std::string::npos) << table[1];
    EXPECT_NE(table.back().find("\t" + dir.file("night/sub/c.wav") + "\t"), std::string::npos) << table.back();
    EXPECT_EQ(table.back().rfind(std::to_string(4 * calls) + "\t", 0), 0u) << "selections numbered through";

    // One recording keeps its table as it was, without the file column.
    const auto one = vestest::outputLines(cli("pulses --raven " + settings + q(dir.file("night/b.wav")), dir).out);
    ASSERT_EQ(one.size(), 1 + calls);
    EXPECT_EQ(one[0].find("Begin File"), std::string::npos);
}

// Results come in input order with any number of jobs; a failure reaches
// the caller after the results before it.
TEST(OrderedForCli, DeliversInOrderWhateverTheJobs)
{
    for (int jobs : {1, 2, 3, 8, 300}) {
        std::vector<std::size_t> seen;
        parallelForInOrder<std::string>(
            100, jobs, [](std::size_t i) { return std::to_string(i * i); },
            [&](std::size_t i, std::string&& r) {
                EXPECT_EQ(r, std::to_string(i * i));
                seen.push_back(i);
            });
        ASSERT_EQ(seen.size(), 100u) << jobs;
        for (std::size_t i = 0; i < seen.size(); ++i)
            EXPECT_EQ(seen[i], i) << jobs;

        seen.clear();
        EXPECT_THROW(parallelForInOrder<int>(
                         50, jobs,
                         [](std::size_t i) {
                             if (i == 7)
                                 throw std::runtime_error("bad file");
                             return static_cast<int>(i);
                         },
                         [&](std::size_t i, int&&) { seen.push_back(i); }),
                     std::runtime_error);
        EXPECT_EQ(seen.size(), 7u) << jobs;
    }
    parallelForInOrder<int>(0, 4, [](std::size_t) { return 0; }, [](std::size_t, int&&) { FAIL(); });
}
