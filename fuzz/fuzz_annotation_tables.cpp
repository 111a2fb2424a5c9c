// Feeds arbitrary text to both annotation table readers; a table that reads
// is written again and must read back with as many rows.
#include "records/AnnotationTable.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    AnnotationTable t, back;
    std::string error;
    if (readSelectionTable(text, t, error)) {
        if (!readSelectionTable(writeSelectionTable(t), back, error) || back.rows.size() != t.rows.size())
            std::abort();
    }
    if (readLabelTrack(text, t, error)) {
        if (!readLabelTrack(writeLabelTrack(t), back, error) || back.rows.size() != t.rows.size())
            std::abort();
    }
    (void)looksLikeSelectionTable(text);
    return 0;
}
