// The texts and numbers of the recording dialogs that need no window: the
// coupled threshold fields, free disk space, the recorded time and the
// checks that stop a run before the disk is full.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace autorectext {

// Percent field (1/100 %) from the dB field (1/100 dB):
// round(10^(-|dB|/2000) * 10000), kept inside the field's 0.00 .. 99.99 so
// that the default threshold of 0 dB never blocks Start.
std::int32_t percentFromDb(std::int32_t dbHundredths);
// dB field from the percent field: (int)(2000 * log10(percent / 10000) - 0.5),
// kept inside -100.00 .. 0.00 (0 % gives -100.00 dB).
std::int32_t dbFromPercent(std::int32_t percentHundredths);

// "512 kb", "2.79 Gb" and their siblings (Mb = 2^20, Gb = 2^30 bytes).
std::string diskSizeText(std::int64_t bytes);

// The file system holding `path` (or, when it does not exist yet, its
// nearest existing folder): its mount point as the "drive" and the bytes
// free for the user. Nothing when no folder of it can be measured.
struct DiskSpace {
    std::string drive;
    std::int64_t freeBytes = 0;
    std::uint64_t device = 0;  // st_dev, to tell two drives apart
};
std::optional<DiskSpace> diskSpaceOf(const std::string& path);

// "Disk free: /data 2.79 Gb" for one drive (or the same drive twice),
// `twoDrivesPrefix` " /data 2.79 Gb, /tmp 812 Mb" for two. The parameters
// dialog writes "Free:" before two drives, the status dialog "Disk free:".
std::string freeSpaceLine(const std::optional<DiskSpace>& files, const std::optional<DiskSpace>& work,
                          const char* twoDrivesPrefix);

// Space is short when both together are below 4 MiB or either below 2 MiB
// (an unknown amount counts as 2147483647 bytes).
bool spaceShort(const std::optional<DiskSpace>& files, const std::optional<DiskSpace>& work);

// Bytes a run may write between two disk checks `checkSeconds` apart at
// `bytesPerSecond`, with one more second and 128 KiB to spare.
std::int64_t diskMargin(std::int64_t bytesPerSecond, int checkSeconds);
// The disk timer's stop: the files' drive cannot take the store (the next
// save) plus the margin, or the work drive cannot take the margin.
bool diskTooFull(const std::optional<DiskSpace>& files, const std::optional<DiskSpace>& work,
                 std::int64_t storeBytes, std::int64_t margin);

// "12 s recorded", "1.50 s recorded", "250 ms recorded", "3.00 ms recorded",
// "400 µs recorded" (UTF-8) for a recorded time in microseconds.
std::string recordedTimeText(std::int64_t micros);

}  // namespace autorectext
