// Feeds arbitrary text to the species selection-table reader and matches what
// it reads against a fixed call.
#include "classify/SpeciesTable.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<classify::SpeciesSelection> rows;
    std::string error;
    if (classify::readSpeciesTable(text, rows, error)) {
        if (rows.empty())
            std::abort();
        CallMeasures c;
        c.startMs = 100;
        c.endMs = 105;
        c.durationMs = 5;
        c.peakFreqHz = 45000;
        if (classify::speciesOfCalls({c}, rows).size() != 1)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
