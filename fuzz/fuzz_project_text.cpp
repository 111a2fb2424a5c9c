// Feeds arbitrary bytes to the project's readers of outside text: the GUANO
// record (site, detector, timestamp), file names and folder paths with dates,
// and a recording header's date and time. Whatever they accept must be a
// real time whose night and text form are well made.
#include "project/ProjectText.h"
#include "records/GuanoRecord.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void checkTime(const std::optional<LocalTime>& t)
{
    if (!t)
        return;
    if (!validLocalTime(*t))
        std::abort();
    if (nightOf(*t).size() != 10 || formatLocalTime(*t).size() != 23)
        std::abort();
}

void checkLabel(const std::string& label)
{
    if (label.size() > 120)
        std::abort();
    for (char c : label)
        if (static_cast<unsigned char>(c) < 0x20)
            std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkTime(parseIsoTimestamp(text));
    checkTime(parseNameTimestamp(text));
    const std::size_t half = size / 2;
    checkTime(parseHeaderTimestamp(text.substr(0, half), text.substr(half)));
    for (int level = 0; level < 5; ++level)
        checkLabel(folderLevel(text, level));
    checkLabel(cleanLabel(text));
    GuanoRecord g;
    std::string error;
    if (GuanoRecord::parse(data, size, g, error)) {
        checkLabel(guanoSite(g));
        checkLabel(guanoDetector(g));
        if (const std::string* ts = g.find("Timestamp"))
            checkTime(parseIsoTimestamp(*ts));
    }
    return 0;
}
