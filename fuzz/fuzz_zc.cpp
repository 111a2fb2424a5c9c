// Feeds arbitrary bytes to the zero-crossing file reader; what it reads must
// write, read back to the same dots and write to the same bytes again.
#include "zcfiles/ZcCalls.h"
#include "zcfiles/ZcFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zcfile::ZcFile f;
    std::string error;
    if (!zcfile::parse(data, size, f, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const auto dots = f.dots();
    (void)zcfile::findCalls(dots, zcfile::ZcCallSettings{});
    GuanoRecord g;
    (void)f.guanoRecord(g, error);
    std::vector<std::uint8_t> once;
    if (!zcfile::encode(f, once, error))
        return 0;
    zcfile::ZcFile back;
    if (!zcfile::parse(once.data(), once.size(), back, error) || back.intervals != f.intervals ||
        back.statuses() != f.statuses())
        std::abort();
    std::vector<std::uint8_t> twice;
    if (!zcfile::encode(back, twice, error) || twice != once)
        std::abort();
    return 0;
}
