#include "document/FileProperties.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "records/GuanoRecord.h"
#include "soundfiles/VesFileReaders.h"
#include "soundfiles/VesFileType.h"

#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace {

std::string format(const char* fmt, long long v)
{
    char buf[256];
    vkit::snprintfC(buf, sizeof buf, fmt, v);
    return buf;
}

std::string formatText(const char* fmt, const std::string& v)
{
    char buf[512];
    vkit::snprintfC(buf, sizeof buf, fmt, v.c_str());
    return buf;
}

std::string timeLine(const char* label, const std::tm& t)
{
    char buf[128];
    vkit::snprintfC(buf, sizeof buf, "%s\t\t%4d-%02d-%02d %02d:%02d:%02d ", label, t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

}  // namespace

std::string durationLine(const char* label, long long t)
{
    const std::string l = std::string(label) + ":\t\t%lld ";
    if (t < 3000)
        return format((l + "microseconds").c_str(), t);
    if (t < 30000000)
        return format((l + "milliseconds").c_str(), t / 1000);
    if (t <= 3599999999LL)
        return format((l + "seconds").c_str(), t / 1000000);
    return format((l + "minutes").c_str(), t / 1000000 / 60);
}

std::vector<PropertyLine> filePropertiesText(const CVesSoundDoc& doc)
{
    std::vector<PropertyLine> out;
    auto add = [&](std::string text) { out.push_back({std::move(text), false}); };
    out.push_back({doc.title() + "\t", true});
    const SoundFormat& f = doc.format();
    const VesRecData& r = doc.recData();
    add(format("Recording size:\t\t%lld kbytes", doc.lengthBytes() / 1024));
    const long long real = doc.framesToRealMicros(doc.lengthFrames());
    add(durationLine("Recording time", real));
    add(format("Samples:\t\t%lld per second", f.samplesPerSec));
    add(format("Bytes:\t\t\t%lld per second", f.avgBytesPerSec));
    const long long play = r.m_timeExp25 > 0 ? real * r.m_timeExp25 / 1000 : real;
    add(durationLine("Play time", play));
    add(format("Samples (play):\t\t%lld per second", f.samplesPerSec));
    add(format("Bytes (play):\t\t%lld per second", f.avgBytesPerSec));
    add(format("Channels:\t\t%lld ", f.channels));
    add(format("Bits per sample:\t\t%lld ", f.bitsPerSample));
    add(formatText("Recording device:\t%s ", r.m_recDev));
    add(formatText("Recording date:\t\t%s ", r.m_recDate));
    add("Data from the sound format dialog:");
    add(formatText("Recording content:\t\t%s ", r.m_at));
    add(formatText("Recorded by:\t\t%s ", r.m_by));
    add("Recorded :\t\t" + r.m_date + " " + r.m_time);
    if (r.detectorHeaderLength() > 0) {
        const std::vector<std::string> info = detectorHeaderLines(r.m_detectorHeader.data());
        if (!info.empty()) {
            add("");
            for (std::string line : info) {
                const size_t colon = line.find(':');
                if (colon == std::string::npos || colon == 0 || colon + 1 == line.size())
                    continue;
                std::string withTab = line.substr(0, colon + 1);
                withTab += '\t';
                withTab += line.substr(colon + 1);
                add(withTab);
            }
        }
    }
    {
        GuanoRecord g;
        std::string error;
        if (doc.guano(g, error)) {
            add("");
            add("GUANO metadata:");
            for (const auto& field : g.fields())
                add(field.key.empty() ? field.value : field.key + ":\t\t" + field.value);
        } else if (!error.empty()) {
            add("");
            add(error);
        }
    }
    std::string path = doc.path();
    if (const size_t bracket = path.find('['); bracket != std::string::npos) {
        path = path.substr(0, bracket);
        while (!path.empty() && path.back() == ' ')
            path.pop_back();
    }
    struct stat st {};
    if (!path.empty() && ::stat(path.c_str(), &st) == 0) {
        add("Windows file system data:");
        std::tm t {};
        // Linux keeps no creation time in stat; the change time is the nearest.
        localtime_r(&st.st_ctime, &t);
        add(timeLine("Created:", t));
        localtime_r(&st.st_mtime, &t);
        add(timeLine("Modified:", t));
        add(format("File size:\t\t%lld kbytes ", static_cast<long long>(st.st_size) / 1024));
    }
    return out;
}
