#include "CliCommands.h"
#include "CliSupport.h"

#include "detectorfiles/DetectorFileCopy.h"
#include "detectorfiles/DetectorFileList.h"

#include <cerrno>
#include <cstdio>
#include <string>

const CommandSpec& cmdDetectorFilesSpec()
{
    static const CommandSpec spec{
        "detector-files",
        "list, copy under dated names and export R450Z/R9000Z detector recordings of a folder",
        {"FOLDER [--copy-to FOLDER] [--prefix TEXT] [--suffix TEXT] [--no-date] [--export FILE] [--json]"},
        "Lists the R450Z/R9000Z detector recordings of FOLDER with their header texts,\n"
        "as tab-separated text with the columns of the program's list: File name,\n"
        "Recorded date, GPS Latitude, GPS Longitude, Original file name, Firmware, Path.\n"
        "Files that are not detector recordings are named on standard error with the\n"
        "reason.\n",
        {
            {.name = "copy-to", .kind = OptionKind::Path, .valueName = "FOLDER",
             .help = "copy every listed recording into FOLDER as PREFIX, the date and time of its header, its "
                     "name and SUFFIX (A.wav recorded 240131235959 becomes 2024-01-31_23_59_59_A.wav); an "
                     "existing file is never replaced: that copy fails and the others go on; any other failure "
                     "(a full disk) stops the copying",
             .sample = "copies"},
            {.name = "prefix", .kind = OptionKind::Text, .valueName = "TEXT", .help = "put before the name of each copy",
             .sample = "s1_"},
            {.name = "suffix", .kind = OptionKind::Text, .valueName = "TEXT", .help = "put after the name of each copy",
             .sample = "_x"},
            {.name = "no-date", .help = "copies without the date part"},
            {.name = "export", .kind = OptionKind::Path, .valueName = "FILE",
             .help = "also write the list to FILE: .txt tab-separated, .cvs or .csv comma-separated (texts "
                     "holding the separator in quotes)",
             .sample = "list.txt"},
            {.name = "json", .help = "the list, the files left out and the copies as JSON"},
        },
        "Exit status 1 when the folder cannot be read, a copy fails or the export\n"
        "cannot be written.\n"};
    return spec;
}

namespace {

void printJson(const DetectorFileList& list, const DetectorFileCopy::Result* copies, const std::string& exported)
{
    static const char* const kKeys[DetectorFileList::kColumnCount] = {
        "file_name", "recorded_date", "gps_latitude", "gps_longitude", "original_file_name", "firmware", "path"};
    std::printf("{\"folder\": %s,\n \"files\": [", jsonString(detectorDisplayText(list.folder())).c_str());
    for (std::size_t i = 0; i < list.files().size(); ++i) {
        const DetectorFileInfo& f = list.files()[i];
        const DetectorFileList::Row row = DetectorFileList::rowTexts(f);
        std::printf("%s\n  {", i ? "," : "");
        for (int c = 0; c < DetectorFileList::kColumnCount; ++c)
            std::printf("\"%s\": %s, ", kKeys[c], jsonString(row[static_cast<std::size_t>(c)]).c_str());
        std::printf("\"file_time\": %s, \"header_length\": %u}", jsonString(f.fileTime).c_str(), f.headerLength);
    }
    std::printf("],\n \"skipped\": [");
    for (std::size_t i = 0; i < list.skipped().size(); ++i) {
        const DetectorFileInfo& f = list.skipped()[i];
        std::printf("%s\n  {\"path\": %s, \"reason\": %s}", i ? "," : "", jsonString(detectorDisplayText(f.path)).c_str(),
                    jsonString(f.skipReason).c_str());
    }
    std::printf("]");
    if (copies) {
        std::printf(",\n \"copied\": %d, \"copies\": [", copies->copied);
        for (std::size_t i = 0; i < copies->copies.size(); ++i) {
            const auto& c = copies->copies[i];
            std::printf("%s\n  {\"source\": %s, \"target\": %s, \"copied\": %s, \"error\": %s}", i ? "," : "",
                        jsonString(detectorDisplayText(c.source)).c_str(),
                        jsonString(detectorDisplayText(c.target)).c_str(), c.ok ? "true" : "false",
                        jsonString(c.error).c_str());
        }
        std::printf("]");
    }
    if (!exported.empty())
        std::printf(",\n \"export\": %s", jsonString(detectorDisplayText(exported)).c_str());
    std::printf("}\n");
}

}  // namespace

int cmdDetectorFiles(const CliArgs& args)
{
    const CommandSpec& spec = cmdDetectorFilesSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    std::string copyTo, exportFile;
    CopyRenameOptions options;
    options.addDate = true;
    bool json = false;
    for (const OptionValue& o : parsed.options) {
        if (o.is("json"))
            json = true;
        else if (o.is("no-date"))
            options.addDate = false;
        else if (o.is("copy-to"))
            copyTo = o.text;
        else if (o.is("export"))
            exportFile = o.text;
        else if (o.is("prefix"))
            options.prefix = o.text;
        else if (o.is("suffix"))
            options.suffix = o.text;
    }
    if (parsed.operands.empty())
        return usageError(spec, "give the folder (see --help)");
    if (parsed.operands.size() > 1)
        return usageError(spec, "one folder only (" + parsed.operands[1] + ")");
    std::string folder = parsed.operands[0];
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string message;
    if (!exportFile.empty() && !DetectorFileList::exportSeparator(exportFile, message)) {
        std::fprintf(stderr, "vesperon-cli detector-files: %s\n", message.c_str());
        return 2;
    }
    if (!copyTo.empty()) {
        const std::string problem = DetectorFileCopy::checkDestination(copyTo, folder);
        if (!problem.empty()) {
            std::fprintf(stderr, "vesperon-cli detector-files: %s\n", problem.c_str());
            return 1;
        }
    }

    DetectorFileList list;
    if (!list.load(folder)) {
        std::fprintf(stderr, "vesperon-cli detector-files: %s\n", list.error().c_str());
        return 1;
    }
    int status = 0;
    if (!json) {
        for (const DetectorFileInfo& s : list.skipped())
            std::fprintf(stderr, "vesperon-cli detector-files: left out %s: %s\n",
                         detectorDisplayText(s.fileName()).c_str(), s.skipReason.c_str());
        const std::string text = DetectorFileList::tableText(list.textTable(), '\t', "\n");
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
            return 1;
    }
    bool exported = false;
    if (!exportFile.empty()) {
        exported = DetectorFileList::exportTable(exportFile, list.textTable(), message);
        if (!exported) {
            std::fprintf(stderr, "vesperon-cli detector-files: %s\n", message.c_str());
            status = 1;
        }
    }

    DetectorFileCopy::Result copies;
    if (!copyTo.empty()) {
        std::vector<std::string> paths;
        for (const DetectorFileInfo& f : list.files())
            paths.push_back(f.path);
        copies = DetectorFileCopy::run(paths, copyTo, options, [](const DetectorFileCopy::Failure& f) {
            std::fprintf(stderr, "vesperon-cli detector-files: %s\n", DetectorFileCopy::failureText(f).c_str());
            return f.code == EEXIST;  // a taken name: go on; anything else would fail again
        });
        if (!json)
            for (const auto& c : copies.copies)
                if (c.ok)
                    std::fprintf(stderr, "copied %s to %s\n", detectorDisplayText(c.source).c_str(),
                                 detectorDisplayText(c.target).c_str());
        std::fprintf(stderr, "%s\n", DetectorFileCopy::summary(copies.copied, copyTo).c_str());
        if (copies.copied != static_cast<int>(paths.size()))
            status = 1;
    }
    if (json)
        printJson(list, copyTo.empty() ? nullptr : &copies, exported ? exportFile : std::string());
    return status;
}
