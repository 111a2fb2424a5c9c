#include "detectorfiles/DetectorFileCopy.h"

#include "core/LoggCls.h"
#include "detectorfiles/DetectorFileInfo.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <chrono>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kCopyPiece = 1 << 20;

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    // Closes now; false (errno set) when close reports an error.
    bool reset()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string nameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string userPart(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || u < 0x20 || u == 0x7f)
            c = '_';
    }
    return out;
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t w = ::write(fd, data, size);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            if (w == 0)
                errno = EIO;
            return false;
        }
        data += w;
        size -= static_cast<std::size_t>(w);
    }
    return true;
}

// Gives the complete temporary file its name, never replacing a file there.
bool renameNoReplace(int dir, const std::string& temp, const std::string& name)
{
    if (::renameat2(dir, temp.c_str(), dir, name.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // The file system cannot rename without replacing: a second link fails
    // when the name is taken.
    if (::linkat(dir, temp.c_str(), dir, name.c_str(), 0) == 0) {
        (void)::unlinkat(dir, temp.c_str(), 0);
        return true;
    }
    if (errno == EEXIST)
        return false;
    // Nor links: take the name with an empty file of our own, then replace
    // only that one.
    const int placeholder = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (placeholder < 0)
        return false;
    ::close(placeholder);
    if (::renameat(dir, temp.c_str(), dir, name.c_str()) == 0)
        return true;
    const int e = errno;
    (void)::unlinkat(dir, name.c_str(), 0);
    errno = e;
    return false;
}

}  // namespace

std::string DetectorFileCopy::checkDestination(const std::string& dest, const std::string& sourceFolder)
{
    struct stat d {};
    if (dest.empty() || ::stat(dest.c_str(), &d) != 0 || !S_ISDIR(d.st_mode))
        return "Directory '" + dest + "'not found!";
    struct stat s {};
    if (dest == sourceFolder ||
        (::stat(sourceFolder.c_str(), &s) == 0 && s.st_dev == d.st_dev && s.st_ino == d.st_ino))
        return "Destination and source the same!";
    return {};
}

std::string DetectorFileCopy::targetName(const std::string& fileName, const CopyRenameOptions& options,
                                         const std::string& datePart)
{
    const std::string name = nameOf(fileName);
    const std::size_t dot = name.find_last_of('.');
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    return userPart(options.prefix) + (options.addDate ? datePart : std::string()) + base + userPart(options.suffix) +
           ext;
}

std::string DetectorFileCopy::targetNameFor(const std::string& sourcePath, const CopyRenameOptions& options)
{
    std::string datePart;
    if (options.addDate)
        datePart = detectorDatePart(readDetectorFileInfo(sourcePath).rawFileTime);
    return targetName(sourcePath, options, datePart);
}

bool DetectorFileCopy::copyFile(const std::string& source, const std::string& destFolder, const std::string& name,
                                std::string& error, int* code)
{
    const auto fail = [&](int e) {
        error = vkit::systemErrorText(e);
        if (code)
            *code = e;
        return false;
    };
    // The name must stay inside the destination folder.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return fail(EINVAL);
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (in.get() < 0)
        return fail(errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return fail(errno);
    if (!S_ISREG(st.st_mode))
        return fail(EINVAL);
    Fd dir(::open(destFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return fail(errno);
    struct stat existing {};
    if (::fstatat(dir.get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return fail(EEXIST);  // do not copy at all for a name that is taken

    std::string temp;
    int tempFd = -1;
    const auto seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      static_cast<unsigned>(::getpid()) << 16;
    for (unsigned attempt = 0; attempt < 100 && tempFd < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", seed + attempt * 2654435761u);
        temp = std::string(".VpCopy-") + suffix + ".part";
        tempFd = ::openat(dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (tempFd < 0 && errno != EEXIST)
            return fail(errno);
    }
    if (tempFd < 0)
        return fail(EEXIST);
    Fd out(tempFd);
    const auto abandon = [&](int e) {
        out.reset();
        (void)::unlinkat(dir.get(), temp.c_str(), 0);
        return fail(e);
    };
    std::vector<char> buf(kCopyPiece);
    for (;;) {
        const ssize_t r = ::read(in.get(), buf.data(), buf.size());
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return abandon(errno);
        if (r == 0)
            break;
        if (!writeAll(out.get(), buf.data(), static_cast<std::size_t>(r)))
            return abandon(errno);
    }
    // The copy keeps the recording's times, as a copy in a file manager does.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    (void)::futimens(out.get(), times);
    if (::fsync(out.get()) != 0)
        return abandon(errno);
    if (!out.reset()) {
        const int e = errno;
        (void)::unlinkat(dir.get(), temp.c_str(), 0);
        return fail(e);
    }
    if (!renameNoReplace(dir.get(), temp, name)) {
        const int e = errno;
        (void)::unlinkat(dir.get(), temp.c_str(), 0);
        return fail(e);
    }
    (void)::fsync(dir.get());
    return true;
}

DetectorFileCopy::Result DetectorFileCopy::run(const std::vector<std::string>& paths, const std::string& destFolder,
                                               const CopyRenameOptions& options,
                                               const ContinueAfterFailure& continueAfter, const Progress& progress)
{
    Result result;
    const std::string prefix = !destFolder.empty() && destFolder.back() == '/' ? destFolder : destFolder + "/";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& source = paths[i];
        if (progress && !progress(i, paths.size())) {
            result.cancelled = true;
            break;
        }
        const std::string name = targetNameFor(source, options);
        Copy c{source, prefix + name, false, {}};
        int code = 0;
        c.ok = copyFile(source, destFolder, name, c.error, &code);
        result.copies.push_back(c);
        if (c.ok) {
            ++result.copied;
            continue;
        }
        const std::string fileName = nameOf(source);
        const std::size_t dot = fileName.find_last_of('.');
        const Failure f{source, dot == std::string::npos ? fileName : fileName.substr(0, dot), c.target, c.error, code};
        if (continueAfter && !continueAfter(f)) {
            result.cancelled = true;
            break;
        }
    }
    return result;
}

std::string DetectorFileCopy::summary(int copied, const std::string& destFolder)
{
    return std::to_string(copied) + " files copied to " + destFolder;
}

std::string DetectorFileCopy::failureText(const Failure& failure)
{
    return "Copy of file " + failure.baseName + " FAILED!\n" + failure.error;
}
