// Recordings named on the command line: files as given, folders expanded to
// the recordings in them.
#pragma once

#include <string>
#include <vector>

// A file a folder contributes: .wav or .vprd, in any case.
bool isRecordingFile(const std::string& path);
// A zero-crossing file a folder contributes to the commands that read them:
// .zc, or an extension ending in '#' (the detectors' naming).
bool isZcFileName(const std::string& path);

struct RecordingInputs {
    std::vector<std::string> files;  // in order: inputs as given, each folder's recordings sorted
    bool anyFolder = false;
    bool ok = true;  // false when a folder held no recordings or could not be read (reported)
};

// Expands `inputs` for `command` ("calls"): a folder stands for its recordings
// sorted by path, with those of its sub-folders when `recursive`. A folder
// without any prints "vesperon-cli COMMAND: no recordings found in FOLDER";
// other inputs are kept as given (opening them reports what is wrong).
// With `withZc`, a folder's zero-crossing files count as recordings too.
RecordingInputs expandRecordingInputs(const char* command, const std::vector<std::string>& inputs, bool recursive,
                                      bool withZc = false);
