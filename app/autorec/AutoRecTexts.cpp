#include "autorec/AutoRecTexts.h"

#include "core/NumberText.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace autorectext {

std::int32_t percentFromDb(std::int32_t dbHundredths)
{
    const double db = std::abs(static_cast<double>(dbHundredths));
    const double p = std::round(std::pow(10.0, -db / 2000.0) * 10000.0);
    return static_cast<std::int32_t>(std::clamp(p, 0.0, 9999.0));
}

std::int32_t dbFromPercent(std::int32_t percentHundredths)
{
    if (percentHundredths <= 0)
        return -10000;
    const double db = 2000.0 * std::log10(percentHundredths / 10000.0) - 0.5;
    return static_cast<std::int32_t>(std::clamp(db, -10000.0, 0.0));
}

std::string diskSizeText(std::int64_t bytes)
{
    constexpr double kMb = 1048576.0, kGb = 1073741824.0;
    char buf[64];
    if (bytes <= 1024000)
        vkit::snprintfC(buf, sizeof buf, "%lld kb", static_cast<long long>(bytes / 1024));
    else if (bytes <= 9999999)
        vkit::snprintfC(buf, sizeof buf, "%1.2f Mb", bytes / kMb);
    else if (bytes <= 99999999)
        vkit::snprintfC(buf, sizeof buf, "%1.1f Mb", bytes / kMb);
    else if (bytes <= 1024999999)
        vkit::snprintfC(buf, sizeof buf, "%lld Mb", static_cast<long long>(bytes / 1048576));
    else if (bytes <= 9999999999LL)
        vkit::snprintfC(buf, sizeof buf, "%1.2f Gb", bytes / kGb);
    else if (bytes <= 999999999999LL)
        vkit::snprintfC(buf, sizeof buf, "%1.1f Gb", bytes / kGb);
    else
        vkit::snprintfC(buf, sizeof buf, "%lld Gb", static_cast<long long>(bytes / 1073741824LL));
    return buf;
}

std::optional<DiskSpace> diskSpaceOf(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = path.empty() ? fs::current_path(ec) : fs::absolute(fs::path(path), ec);
    if (ec)
        return std::nullopt;
    // The nearest folder that exists.
    while (!p.empty() && !fs::is_directory(p, ec)) {
        if (p == p.parent_path())
            return std::nullopt;
        p = p.parent_path();
    }
    struct stat st {};
    struct statvfs vs {};
    if (p.empty() || ::stat(p.c_str(), &st) != 0 || ::statvfs(p.c_str(), &vs) != 0)
        return std::nullopt;
    DiskSpace d;
    d.device = static_cast<std::uint64_t>(st.st_dev);
    d.freeBytes = static_cast<std::int64_t>(vs.f_bavail) * static_cast<std::int64_t>(vs.f_frsize);
    // The mount point: the highest folder still on the same device.
    fs::path mount = p;
    while (mount != mount.parent_path()) {
        struct stat up {};
        if (::stat(mount.parent_path().c_str(), &up) != 0 || up.st_dev != st.st_dev)
            break;
        mount = mount.parent_path();
    }
    d.drive = mount.string();
    return d;
}

namespace {
std::string driveAndSize(const std::optional<DiskSpace>& d)
{
    return d ? d->drive + " " + diskSizeText(d->freeBytes) : std::string("? ?");
}
constexpr std::int64_t kUnknownFree = 2147483647;
std::int64_t freeOr(const std::optional<DiskSpace>& d)
{
    return d ? d->freeBytes : kUnknownFree;
}
}  // namespace

std::string freeSpaceLine(const std::optional<DiskSpace>& files, const std::optional<DiskSpace>& work,
                          const char* twoDrivesPrefix)
{
    const bool same = !files || !work || files->device == work->device;
    if (same)
        return "Disk free: " + driveAndSize(files ? files : work);
    return std::string(twoDrivesPrefix) + " " + driveAndSize(files) + ", " + driveAndSize(work);
}

bool spaceShort(const std::optional<DiskSpace>& files, const std::optional<DiskSpace>& work)
{
    const std::int64_t a = freeOr(files), b = freeOr(work);
    return a + b < 4194304 || a < 2097152 || b < 2097152;
}

std::int64_t diskMargin(std::int64_t bytesPerSecond, int checkSeconds)
{
    return std::max<std::int64_t>(0, bytesPerSecond) * (checkSeconds + 1) + 131072;
}

bool diskTooFull(const std::optional<DiskSpace>& files, const std::optional<DiskSpace>& work,
                 std::int64_t storeBytes, std::int64_t margin)
{
    if (files && work && files->device == work->device)
        return files->freeBytes < storeBytes + 2 * margin;
    return (files && files->freeBytes < storeBytes + margin) || (work && work->freeBytes < margin);
}

std::string recordedTimeText(std::int64_t micros)
{
    char buf[64];
    if (micros > 10000000)
        vkit::snprintfC(buf, sizeof buf, "%lld s recorded", static_cast<long long>(micros / 1000000));
    else if (micros > 500000)
        vkit::snprintfC(buf, sizeof buf, "%2.2f s recorded", micros / 1e6);
    else if (micros >= 10001)
        vkit::snprintfC(buf, sizeof buf, "%lld ms recorded", static_cast<long long>(micros / 1000));
    else if (micros <= 500)
        vkit::snprintfC(buf, sizeof buf, "%lld \xC2\xB5s recorded", static_cast<long long>(micros));
    else
        vkit::snprintfC(buf, sizeof buf, "%2.2f ms recorded", micros / 1000.0);
    return buf;
}

}  // namespace autorectext
