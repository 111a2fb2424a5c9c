// Copying detector recordings into another folder under new names: prefix,
// optionally the date part from the file time of the file's own header, the
// original base name, suffix and extension.
//
// A copy never replaces a file: it is written to a temporary name in the
// destination folder, synced, and renamed to its name only when it is
// complete and only when that name is still free. A copy that fails leaves
// no partial file behind; copies made before it stay; the source files are
// only ever read.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct CopyRenameOptions {
    bool addDate = false;  // "Add date and time before the orignal name."
    std::string prefix;
    std::string suffix;
};

class DetectorFileCopy {
public:
    struct Failure {
        std::string source;
        std::string baseName;  // the file name before its last period
        std::string target;    // the path the copy was to get
        std::string error;     // the system's text
        int code = 0;          // errno (EEXIST: the name is taken)
    };
    struct Copy {
        std::string source;
        std::string target;
        bool ok = false;
        std::string error;
    };
    struct Result {
        int copied = 0;
        bool cancelled = false;  // stopped after a failure
        std::vector<Copy> copies;
    };
    // Asked after a failed copy: true goes on with the next file.
    using ContinueAfterFailure = std::function<bool(const Failure&)>;
    // Told before each file (index, count); false stops before that file.
    using Progress = std::function<bool(std::size_t index, std::size_t count)>;

    // Why `dest` cannot take the copies ("Directory '...'not found!",
    // "Destination and source the same!"), "" when it can.
    static std::string checkDestination(const std::string& dest, const std::string& sourceFolder);

    // The name (without folder) of the copy of the file `fileName` with the
    // given date part. Prefix and suffix keep no "/" nor control characters.
    static std::string targetName(const std::string& fileName, const CopyRenameOptions& options,
                                  const std::string& datePart);
    // The same for a file on disk; the date part comes from its header.
    static std::string targetNameFor(const std::string& sourcePath, const CopyRenameOptions& options);

    // Copies `source` to `name` in `destFolder` without replacing anything.
    // False with the system's text in `error` (and errno in `code`).
    static bool copyFile(const std::string& source, const std::string& destFolder, const std::string& name,
                         std::string& error, int* code = nullptr);

    // Copies each path in turn; after a failure asks `continueAfter` (empty:
    // go on).
    static Result run(const std::vector<std::string>& paths, const std::string& destFolder,
                      const CopyRenameOptions& options, const ContinueAfterFailure& continueAfter = {},
                      const Progress& progress = {});

    // "%d files copied to %s".
    static std::string summary(int copied, const std::string& destFolder);
    // "Copy of file " + base name + " FAILED!" and the system's text.
    static std::string failureText(const Failure& failure);
};
