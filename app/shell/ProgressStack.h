// The progress display of long operations (opening, saving, editing): a stack
// of operations, each with its name and the percentage last shown, and the
// texts the status bar shows for them. The main frame shows the texts, the
// wait cursor and a Cancel button.
//
// This file needs no Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ProgressStack {
public:
    // Starts an operation; returns the status text: the name followed by "Started".
    std::string begin(const std::string& name);
    // The status text for a progress report when the whole percentage changed
    // since the last one shown: the operation's name, a blank and "%s %3.0f%%"
    // of text and percentage (the name only once when the text is the name).
    // Nothing when no operation is active or the shown percentage would not
    // change.
    std::optional<std::string> progress(const std::string& text, std::int64_t done, std::int64_t total);
    // Ends the innermost operation; returns "Done".
    std::string end();

    bool active() const { return !m_ops.empty(); }
    int depth() const { return static_cast<int>(m_ops.size()); }

    // done x 100 / total; when total is 0, done x 100,000.
    static double percent(std::int64_t done, std::int64_t total);
    // "%s %3.0f%%".
    static std::string format(const std::string& text, double percent);

private:
    struct Op {
        std::string name;
        std::optional<long long> shown;  // whole percentage last shown
    };
    std::vector<Op> m_ops;
};
