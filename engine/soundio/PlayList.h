// Play list files of high-speed playback (".vpl"): text, one line per entry:
//   file path TAB file name TAB playback frequency (Hz, decimal) TAB repeat count CR LF
// A line is split at its first two tabs (path and name, each at most 260
// bytes); the rest must be two decimal numbers separated by a tab. Lines may
// also end in a bare LF; empty lines are passed over.
//
// Reading stops at the first line that does not fit; the lines before it are
// kept. Lines are read one at a time and never held beyond kMaxLineBytes, so
// a file with a line of any length reads in bounded memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

struct PlayListLine {
    std::string path;
    std::string name;
    std::int64_t rateHz = 0;  // 0: the recording's own real-time rate
    std::int32_t repeat = 1;
    int lineNumber = 0;       // 1-based
    bool operator==(const PlayListLine&) const = default;
};

struct PlayListRead {
    static constexpr std::size_t kFieldMax = 260;
    static constexpr std::size_t kMaxLineBytes = 2 * kFieldMax + 64;
    static constexpr std::size_t kShownLineBytes = 120;

    std::vector<PlayListLine> lines;
    bool opened = true;         // false: the file could not be opened
    bool formatError = false;   // reading stopped at errorLineNumber
    int errorLineNumber = 0;
    std::string errorLine;      // the line (cut to kShownLineBytes, with "..." when longer)

    // "Play list file format error on line:" and the line.
    std::string formatErrorText() const;
};

// One line (without its line end) as an entry; false when it does not fit.
bool parsePlayListLine(std::string_view line, PlayListLine& out);
// The entries of a whole text.
PlayListRead parsePlayList(std::string_view text);
// The entries of a file; `opened` false when it cannot be opened.
PlayListRead readPlayListFile(const std::string& path);

// One line as the file holds it, CR LF included.
std::string formatPlayListLine(const PlayListLine& line);
// Writes the lines to `path` atomically; false with the system's text in
// `error` ("Unable to open/create file " and the name) when it cannot.
bool writePlayListFile(const std::string& path, const std::vector<PlayListLine>& lines, std::string& error);
