#include "autorec/RecDiskSpace.h"

#include "autorec/AutoRecTexts.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace recdisk {

std::optional<DiskSpace> diskSpaceOf(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = path.empty() ? fs::current_path(ec) : fs::absolute(fs::path(path), ec);
    if (ec)
        return std::nullopt;
    // The nearest folder that exists.
    while (!fs::is_directory(p, ec)) {
        if (p.empty() || p == p.parent_path())
            return std::nullopt;
        p = p.parent_path();
    }
    struct stat st {};
    struct statvfs vs {};
    if (::stat(p.c_str(), &st) != 0 || ::statvfs(p.c_str(), &vs) != 0)
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
    return d ? d->drive + " " + autorec::diskSizeText(d->freeBytes) : std::string("? unknown");
}
}  // namespace

std::string freeSpaceLine(const std::optional<DiskSpace>& files, const std::optional<DiskSpace>& work,
                          const char* twoDrivesPrefix)
{
    if (!files || !work || files->device == work->device)
        return "Disk free: " + driveAndSize(files ? files : work);
    return std::string(twoDrivesPrefix) + " " + driveAndSize(files) + ", " + driveAndSize(work);
}

std::string recordingFolder(const std::string& fileName, const std::string& documentPath)
{
    namespace fs = std::filesystem;
    const std::string& p = fileName.empty() ? documentPath : fileName;
    if (p.empty())
        return workFolder();
    const fs::path parent = fs::path(p).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string workFolder()
{
    const char* t = std::getenv("TMPDIR");
    return t && *t ? std::string(t) : std::string("/tmp");
}

}  // namespace recdisk
