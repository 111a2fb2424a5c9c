// Close & Open Next / Previous: the file of the same type that follows or
// precedes a document's file in its folder.
#pragma once

#include <string>
#include <vector>

struct NeighbourFile {
    std::string path;     // the file to open; empty when there is none
    std::string message;  // why there is none
};

// Files of the folder with the same extension (compared without regard to
// case), not empty, whose names sort (without regard to case) after the
// document's (next) or before it (previous); files already open (paths
// without type tags in openPaths) are skipped.
NeighbourFile findNeighbourFile(const std::string& documentPath, bool next, const std::vector<std::string>& openPaths);
