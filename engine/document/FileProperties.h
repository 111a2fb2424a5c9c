// The "File properties" summary of a document, as lines of text with tabs
// (the window shows the first line as a heading).
#pragma once

#include <string>
#include <vector>

class CVesSoundDoc;

struct PropertyLine {
    std::string text;
    bool heading = false;
};

std::vector<PropertyLine> filePropertiesText(const CVesSoundDoc& doc);

// "Recording time:\t\t2500 milliseconds" and the like for a length in microseconds.
std::string durationLine(const char* label, long long micros);
