#include "CliCommands.h"
#include "CliSupport.h"

#include "detectorfiles/DetectorFileCopy.h"
#include "detectorfiles/DetectorFileList.h"

#include <cerrno>
#include <cstdio>
#include <string>

void helpDetectorFiles()
{
    std::printf("Usage: vesperon-cli detector-files FOLDER [--copy-to FOLDER] [--prefix TEXT] [--suffix TEXT]\n"
                "                                  [--no-date] [--export FILE.txt|FILE.cvs] [--json]\n\n"
                "Lists the R450Z/R9000Z detector recordings of FOLDER with their header texts,\n"
                "as tab-separated text with the columns of the program's list: File name,\n"
                "Recorded date, GPS Latitude, GPS Longitude, Original file name, Firmware, Path.\n"
                "Files that are not detector recordings are named on standard error with the\n"
                "reason.\n\n"
                "  --copy-to FOLDER  copy every listed recording into FOLDER as PREFIX, the date\n"
                "                    and time of its header, its name and SUFFIX\n"
                "                    (A.wav recorded 240131235959 becomes 2024-01-31_23_59_59_A.wav);\n"
                "                    an existing file is never replaced: that copy fails and the\n"
                "                    others go on; any other failure (a full disk) stops the copying\n"
                "  --prefix TEXT, --suffix TEXT   put before / after the name of each copy\n"
                "  --no-date         copies without the date part\n"
                "  --export FILE     also write the list to FILE: .txt tab-separated, .cvs or .csv\n"
                "                    comma-separated (texts holding the separator in quotes)\n"
                "  --json            the list, the files left out and the copies as JSON\n\n"
                "Exit status 1 when the folder cannot be read, a copy fails or the export\n"
                "cannot be written.\n");
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
    std::string folder, copyTo, exportFile;
    CopyRenameOptions options;
    options.addDate = true;
    bool json = false;
    for (std::size_t i = 0; i < args.size();) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
            ++i;
        } else if (a == "--no-date") {
            options.addDate = false;
            ++i;
        } else if (takeOption(args, i, "--copy-to", copyTo) || takeOption(args, i, "--export", exportFile) ||
                   takeOption(args, i, "--prefix", options.prefix) || takeOption(args, i, "--suffix", options.suffix)) {
            continue;
        } else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "vesperon-cli detector-files: unknown option or missing value: %s\n", a.c_str());
            return 2;
        } else if (folder.empty()) {
            folder = a;
            ++i;
        } else {
            std::fprintf(stderr, "vesperon-cli detector-files: one folder only (%s)\n", a.c_str());
            return 2;
        }
    }
    if (folder.empty()) {
        helpDetectorFiles();
        return 2;
    }
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
