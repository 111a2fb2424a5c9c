// vesperon-cli marks: the marks of a recording as a selection table or a
// label track, and marks added to a recording from one.
#include "CliCommands.h"
#include "CliSupport.h"
#include "core/AtomicFile.h"
#include "core/NumberText.h"

#include "document/CVesSoundDoc.h"
#include "document/MarkTables.h"
#include "soundfiles/VesFileType.h"

#include <cstdio>
#include <fstream>
#include <sstream>

const CommandSpec& cmdMarksSpec()
{
    static const CommandSpec spec{
        "marks",
        "export marks as Raven selection tables or Audacity labels, or import them",
        {"export [--format raven|audacity] [-o OUT] FILE", "import [--format raven|audacity] [-o OUT] FILE TABLE"},
        "export writes the marks of FILE as a selection table (raven, the default:\n"
        "tab-separated with \"Begin Time (s)\", \"End Time (s)\", \"Low Freq (Hz)\",\n"
        "\"High Freq (Hz)\" and \"Annotation\") or as a label track (audacity), to\n"
        "OUT or the standard output. Times are real time (time expansion applied).\n\n"
        "import adds a mark for every row of TABLE (the format is guessed from its\n"
        "first line unless given) and saves the recording with its marks to OUT, or\n"
        "over FILE, in the program's own wave format.\n",
        {
            {.name = "format", .kind = OptionKind::Choice, .choices = "raven|audacity",
             .help = "the table's format (default: raven for export, guessed for import)"},
            {.name = "output", .shortName = 'o', .kind = OptionKind::Path, .valueName = "OUT",
             .help = "export: the file to write; import: where the recording is saved", .sample = "out.txt"},
        },
        "Exit status 1 when a file cannot be read or written or the table is wrong,\n"
        "2 for wrong options.\n"};
    return spec;
}

namespace {

bool readText(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return !in.bad();
}

}  // namespace

int cmdMarks(const CliArgs& args)
{
    const CommandSpec& spec = cmdMarksSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    std::vector<std::string> files = parsed.operands;
    if (files.empty() || (files[0] != "export" && files[0] != "import"))
        return usageError(spec, "export or import? (see --help)");
    const bool exporting = files[0] == "export";
    files.erase(files.begin());
    const OptionValue* formatOption = parsed.last("format");
    const std::string format = formatOption ? formatOption->text : std::string();
    const OptionValue* outputOption = parsed.last("output");
    const std::string output = outputOption ? outputOption->text : std::string();
    if (files.size() != (exporting ? 1u : 2u))
        return usageError(spec, exporting ? "export takes one recording (see --help)"
                                          : "import takes the recording and the table (see --help)");
    const std::string& file = files[0];
    CliDocHost host(file);
    CVesSoundDoc doc(host, userDefaults());
    if (!doc.open(file))
        return 1;

    if (exporting) {
        const AnnotationTable table = marksToTable(doc);
        const std::string text = format == "audacity" ? writeLabelTrack(table) : writeSelectionTable(table);
        if (output.empty()) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            return 0;
        }
        std::string error;
        if (!vkit::writeFileAtomically(output, text, &error)) {
            std::fprintf(stderr, "vesperon-cli marks: cannot write %s: %s\n", output.c_str(), error.c_str());
            return 1;
        }
        return 0;
    }

    std::string text;
    if (!readText(files[1], text)) {
        std::fprintf(stderr, "vesperon-cli marks: cannot read %s\n", files[1].c_str());
        return 1;
    }
    const bool raven = format.empty() ? looksLikeSelectionTable(text) : format == "raven";
    AnnotationTable table;
    std::string error;
    if (!(raven ? readSelectionTable(text, table, error) : readLabelTrack(text, table, error))) {
        std::fprintf(stderr, "vesperon-cli marks: %s: %s\n", files[1].c_str(), error.c_str());
        return 1;
    }
    const int added = addMarksFromTable(doc, table, error);
    if (added < 0) {
        std::fprintf(stderr, "vesperon-cli marks: %s: %s\n", files[1].c_str(), error.c_str());
        return 1;
    }
    int type = doc.saveType();
    if (type != kTypeWave && type != kTypeVesperonWave && type != kTypeVesperonPair && type != kTypeWaveComp)
        type = kTypeWave;
    const std::string target = output.empty() ? VesFilePath(file).plain() : output;
    if (!doc.save(target, type))
        return 1;
    std::fprintf(stderr, "vesperon-cli marks: %d mark%s added, saved to %s\n", added, added == 1 ? "" : "s",
                 target.c_str());
    return 0;
}
