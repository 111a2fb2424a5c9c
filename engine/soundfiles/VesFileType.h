// File types of recordings: their codes and display names, the type tag that
// travels on document paths (" [Vesperon Wave]"), the type implied by an
// extension, and the check of a file's content that refines a plain wave.
#pragma once

#include <string>
#include <string_view>

enum VesFileTypeCode : int {
    kTypeNone = 0,
    kTypeStandardWave = 1,
    kTypeData16Mono = 2,
    kTypeData8Mono = 3,
    kTypeSpecial60 = 4,
    kTypeWave = 5,
    kTypeRawData = 6,
    kTypeWaveComp = 7,
    kTypeDetectorWave = 8,
    kTypeVesperonWave = 9,
    kTypeVesperonPair = 10,
    kTypeCodec = 11,
};

// "[Standard Wave]" ... "[Codec file]"; "" for 0; "[Raw data]" for any unknown code.
const char* fileTypeDisplayName(int type);
// The code of a display name (exact comparison, including the older names); 5 for any other name.
int fileTypeByName(std::string_view name);
// Extension (after the last '.', lower-cased) to type when opening: unknown and none give 9.
int fileTypeByOpenExtension(std::string_view path);
// Extension to type when saving: unknown gives 0.
int fileTypeBySaveExtension(std::string_view path);
// The extension (without '.') a file of that type is given.
const char* extensionForType(int type);
// Whether a type can be written by the document's save.
bool isSaveableType(int type);

// A path that may end in a type tag: one blank and a display name in brackets.
class VesFilePath {
public:
    VesFilePath() = default;
    explicit VesFilePath(std::string path) : m_path(std::move(path)) {}

    const std::string& full() const { return m_path; }
    // The path without its tag.
    std::string plain() const;
    // The display name in the tag ("[Vesperon Wave]"), empty when there is none.
    std::string tag() const;
    bool hasTag() const { return !tag().empty(); }
    // From the tag, else from the extension for opening; 0 for an empty path.
    int type() const;
    // The path with the tag of its type added when it has none and the type is neither 0 nor 1.
    std::string withTag() const;
    // path + " " + display name of type.
    static std::string tagged(const std::string& plainPath, int type);

private:
    std::string m_path;
};

// The content check of a file typed as a standard wave: 1 stays 1, or becomes
// 5 (own forms), 8 (detector wave) or 11 (not RIFF, or not PCM).
int refineStandardWaveType(const std::string& path);

// Whether `text` (up to 48 bytes at the version offset of a detector header)
// names a detector model and version: a model name, one or more blanks, "V"
// and a version.
bool isDetectorVersionText(const char* text, std::size_t length);
