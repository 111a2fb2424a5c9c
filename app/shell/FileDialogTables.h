// What the open and save dialogs offer: their filter lists, the "Open as:"
// choice of the open dialog, and how the save dialog's filter index, the file
// type code and the default extension go together. Also the paths the shell
// makes from a choice: a path with the type tag of a chosen type, and the
// name the save dialog proposes.
//
// This file needs no Qt.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One entry of a filter list: the text the user reads and the name patterns.
struct FileFilter {
    std::string description;            // "Vesperon & Wave Files (*.wav*;*.vprd*)"
    std::vector<std::string> patterns;  // "*.wav*", "*.vprd*"
};

// A filter list in the form "description|patterns|description|patterns||",
// patterns separated by ";".
std::vector<FileFilter> parseFilterList(std::string_view list);
// The entry as a Qt name filter: the description with its bracketed pattern
// list written with blanks, "Vesperon & Wave Files (*.wav* *.vprd*)".
std::string qtNameFilter(const FileFilter& filter);

// ---- open dialog ----
extern const char* const kOpenFilterList;
constexpr int kOpenDefaultFilterIndex = 1;  // 1-based, as the list is counted
struct OpenAsEntry {
    const char* text;
    int type;
};
// "Automatic detection" 0, "Wave" 1, "Vesperon Wave" 1, "Vesperon Data + Wave" 10,
// "R450Z/R9000Z Wave file" 8, "Samples 16 bits MONO" 2, "Samples 8 bits MONO" 3.
const std::vector<OpenAsEntry>& openAsEntries();
// The type code of entry `index`; 1 when no entry is chosen (index out of range).
int openAsType(int index);

// ---- save dialog ----
extern const char* const kSaveFilterList;
extern const char* const kSaveDetectorFilter;  // one more entry for detector recordings
// The filter list for a document of `documentType` (8 adds the detector entry).
std::vector<FileFilter> saveFilters(int documentType);
// Filter index (1-based) -> type code: 1 -> 9, 2 -> 10, 3 -> 5, 4 -> 7, 5 -> 1, 6 -> 6, 7 -> 8.
int saveTypeForFilter(int filterIndex);
// Type code -> default extension of its filter ("vprd", "vprdp", "wav", "dat").
const char* saveExtensionForFilter(int filterIndex);
// The filter preselected for a document of `documentType`: 2 for 10, 3 for 5,
// 4 for 7, 5 for 1, 6 for 6, 7 for 8, else 1.
int saveFilterForType(int documentType);
// The name in the file-name field after the user picked another type: without
// everything from its last "." on ("rec01.wav" -> "rec01").
std::string stripExtension(const std::string& name);

// ---- paths ----
// Opening with a chosen type: a path without "[" gets a blank and the type's
// display name; type 0 (automatic detection) leaves the path as it is.
std::string pathWithOpenType(const std::string& path, int type);
// Whether the type tag of `type` names that type again. The tag of raw data
// ("[Raw data]") reads back as a wave, so a document saved as raw data keeps
// its type as its save type and its path goes without a tag.
bool tagNamesType(int type);
// The name the save dialog proposes: the title cut at the first of blank,
// "#", "%", ";", "/" and "\", without an extension that names a type the
// document can be saved as.
std::string proposedSaveName(const std::string& title);
