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

void helpMarks()
{
    vkit::printfC("Usage: vesperon-cli marks export [--format raven|audacity] [-o OUT] FILE\n"
                  "       vesperon-cli marks import [--format raven|audacity] [-o OUT] FILE TABLE\n\n"
                  "export writes the marks of FILE as a selection table (raven, the default:\n"
                  "tab-separated with \"Begin Time (s)\", \"End Time (s)\", \"Low Freq (Hz)\",\n"
                  "\"High Freq (Hz)\" and \"Annotation\") or as a label track (audacity), to\n"
                  "OUT or the standard output. Times are real time (time expansion applied).\n\n"
                  "import adds a mark for every row of TABLE (the format is guessed from its\n"
                  "first line unless given) and saves the recording with its marks to OUT, or\n"
                  "over FILE, in the program's own wave format.\n\n"
                  "Exit status 1 when a file cannot be read or written or the table is wrong,\n"
                  "2 for wrong options.\n");
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
    if (args.empty() || (args[0] != "export" && args[0] != "import")) {
        helpMarks();
        return 2;
    }
    const bool exporting = args[0] == "export";
    std::string format, output;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size();) {
        std::string v;
        if (takeOption(args, i, "--format", v)) {
            if (v != "raven" && v != "audacity") {
                std::fprintf(stderr, "vesperon-cli marks: unknown format '%s' (raven or audacity)\n", v.c_str());
                return 2;
            }
            format = v;
        } else if (takeOption(args, i, "-o", v)) {
            output = v;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            std::fprintf(stderr, "vesperon-cli marks: unknown option %s\n", args[i].c_str());
            return 2;
        } else {
            files.push_back(args[i++]);
        }
    }
    if (files.size() != (exporting ? 1u : 2u)) {
        helpMarks();
        return 2;
    }
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
