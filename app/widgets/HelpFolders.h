// The folders that hold the program's help files, in the order they are
// searched: the program's own folder, the installed documentation
// (../share/doc/vesperon beside it) and the build's guide.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> helpFolders();
