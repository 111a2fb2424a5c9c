// The free-space line of the recording dialogs: which file system ("drive")
// holds the recordings and which the work files, and how much each has left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace recdisk {

// The file system holding `path` (or, when it does not exist yet, its
// nearest existing folder): its mount point as the drive, the bytes free
// for the user and its device number, to tell two drives apart.
struct DiskSpace {
    std::string drive;
    std::int64_t freeBytes = 0;
    std::uint64_t device = 0;
};
std::optional<DiskSpace> diskSpaceOf(const std::string& path);

// "Disk free: /data 2.79 Gb" for one drive (or the same drive twice);
// `twoDrivesPrefix` " /data 2.79 Gb, /tmp 812 Mb" for two ("Free:" in the
// parameters dialog, "Disk free:" in the status window).
std::string freeSpaceLine(const std::optional<DiskSpace>& files, const std::optional<DiskSpace>& work,
                          const char* twoDrivesPrefix);

// The free bytes as the engine's checks take them: -1 when unknown.
inline std::int64_t freeOf(const std::optional<DiskSpace>& d)
{
    return d ? d->freeBytes : -1;
}

// Where the recordings of `fileName` go: its folder, else the document's.
std::string recordingFolder(const std::string& fileName, const std::string& documentPath);
// Where the document's work files are (the temporary folder).
std::string workFolder();

}  // namespace recdisk
