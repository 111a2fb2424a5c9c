#include "soundfiles/VesFileType.h"

#include "core/ByteOrder.h"
#include "soundfiles/RiffFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kDisplayNames[] = {
    "",
    "[Standard Wave]",
    "[16 bit samples MONO]",
    "[8 bit samples MONO]",
    "[Special 60 bytes head MONO]",
    "[Wave]",
    "[Raw data]",
    "[Wave Comp]",
    "[R450Z/R9000Z Wave file]",
    "[Vesperon Wave]",
    "[Vesperon Data + Wave]",
    "[Codec file]",
};

std::string lowerExtension(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// Reads up to n bytes at offset; returns the count.
std::int64_t readAt(int fd, std::uint8_t* buf, std::int64_t n, std::int64_t offset)
{
    std::int64_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, buf + done, static_cast<size_t>(n - done), offset + done);
        if (r <= 0)
            break;
        done += r;
    }
    return done;
}

bool isOwnFormType(const std::uint8_t* formType)
{
    return formType[0] == 'V' && formType[1] == 'P';
}

}  // namespace

const char* fileTypeDisplayName(int type)
{
    if (type < 0 || type > 11)
        return kDisplayNames[kTypeRawData];
    return kDisplayNames[type];
}

int fileTypeByName(std::string_view name)
{
    static const struct {
        const char* name;
        int type;
    } table[] = {
        {"[Standard Wave]", 1}, {"[Ves Wave]", 5}, {"[Vesperon Wave]", 9}, {"[Vesperon Data + Wave]", 10},
        {"[Wave Comp]", 7}, {"[Wave]", 5}, {"[16 bit samples MONO]", 2}, {"[8 bit samples MONO]", 3},
        {"[Special 60 bytes head MONO]", 4}, {"[R450Z/R9000Z Wave file]", 8}, {"[R9000Z Wave file]", 8},
        {"[Codec file]", 11},
    };
    for (const auto& e : table)
        if (name == e.name)
            return e.type;
    return kTypeWave;
}

int fileTypeByOpenExtension(std::string_view path)
{
    const std::string ext = lowerExtension(path);
    if (ext == "wav" || ext == "wave")
        return kTypeStandardWave;
    if (ext == "vprdp")
        return kTypeVesperonPair;
    if (ext == "r9000z" || ext == "r450z")
        return kTypeDetectorWave;
    if (ext == "mp3" || ext == "avi" || ext == "wma")
        return kTypeCodec;
    return kTypeVesperonWave;
}

int fileTypeBySaveExtension(std::string_view path)
{
    const std::string ext = lowerExtension(path);
    if (ext == "wav" || ext == "wave")
        return kTypeStandardWave;
    if (ext == "vprd")
        return kTypeVesperonWave;
    if (ext == "vprdp")
        return kTypeVesperonPair;
    if (ext == "r9000z" || ext == "r450z")
        return kTypeDetectorWave;
    return kTypeNone;
}

const char* extensionForType(int type)
{
    switch (type) {
    case 2: case 3: case 4: case 6: return "dat";
    case 9: case 11: return "vprd";
    case 10: return "vprdp";
    default: return (type >= 1 && type <= 11) ? "wav" : "dat";
    }
}

bool isSaveableType(int type)
{
    return type >= 1 && type <= 10;
}

std::string VesFilePath::plain() const
{
    const size_t at = m_path.find(" [", 2);
    return at == std::string::npos ? m_path : m_path.substr(0, at);
}

std::string VesFilePath::tag() const
{
    const size_t at = m_path.find(" [", 2);
    if (at == std::string::npos)
        return {};
    const size_t close = m_path.find(']', at + 2);
    if (close == std::string::npos)
        return m_path.substr(at + 1);
    return m_path.substr(at + 1, close - at);
}

int VesFilePath::type() const
{
    if (m_path.empty())
        return kTypeNone;
    const std::string t = tag();
    return t.empty() ? fileTypeByOpenExtension(m_path) : fileTypeByName(t);
}

std::string VesFilePath::withTag() const
{
    if (hasTag())
        return m_path;
    const int t = type();
    return (t == kTypeNone || t == kTypeStandardWave) ? m_path : tagged(m_path, t);
}

std::string VesFilePath::tagged(const std::string& plainPath, int type)
{
    return plainPath + " " + fileTypeDisplayName(type);
}

bool isDetectorVersionText(const char* text, std::size_t length)
{
    const std::string s(text, strnlen(text, length));
    for (const char* model : {"R450Z", "R9000Z"}) {
        const size_t n = std::strlen(model);
        if (s.compare(0, n, model) != 0)
            continue;
        size_t i = n;
        if (i >= s.size() || s[i] != ' ')
            return false;
        while (i < s.size() && s[i] == ' ')
            ++i;
        return i + 1 < s.size() && (s[i] == 'V' || s[i] == 'v') && std::isdigit(static_cast<unsigned char>(s[i + 1]));
    }
    return false;
}

int refineStandardWaveType(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return kTypeStandardWave;
    struct stat st {};
    const std::int64_t size = ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
    std::uint8_t head[48] = {};
    const std::int64_t got = readAt(fd, head, 48, 0);
    int type = kTypeStandardWave;
    if (got >= 12 && (std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0)) {
        type = kTypeStandardWave;  // 64-bit sizes: a plain wave (own forms, if any, are read with it)
    } else if (got < 12 || std::memcmp(head, "RIFF", 4) != 0) {
        type = kTypeCodec;
    } else if (isOwnFormType(head + 8)) {
        type = kTypeWave;
    } else if (got >= 24 && std::memcmp(head + 8, "WAVEfmt ", 8) == 0) {
        const std::int64_t riffLength = readLe32(head + 4);
        const std::int64_t fmtLength = readLe32(head + 16);
        if (got < 22 || readLe16(head + 20) != 1) {
            type = kTypeCodec;
        } else {
            std::uint8_t next[48] = {};
            if (size > riffLength + 32 && readAt(fd, next, 48, riffLength + 8) >= 12 &&
                std::memcmp(next, "RIFF", 4) == 0 && isOwnFormType(next + 8)) {
                type = kTypeWave;
            } else if (size > fmtLength + 272) {
                std::uint8_t data[252] = {};
                if (readAt(fd, data, 252, fmtLength + 20) == 252 && std::memcmp(data, "data", 4) == 0 &&
                    readLe32(data + 4) > 252) {
                    const std::uint32_t headerLength = readLe32(data + 8);
                    if (headerLength >= 146 && headerLength <= 1024 &&
                        isDetectorVersionText(reinterpret_cast<const char*>(data + 8 + 196), 48))
                        type = kTypeDetectorWave;
                }
            }
        }
    }
    ::close(fd);
    return type;
}
