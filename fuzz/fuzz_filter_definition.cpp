// Feeds arbitrary text to the filter definition file reader, and what it
// accepts to the design step that factors it into sections.
#include "filter/FilterDefinitionFile.h"
#include "filter/FilterDesign.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FilterDefinition d = parseFilterDefinition(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!d.ok)
        return 0;
    if (d.order < 1 || d.order > FilterRecord::kMaxOrder)
        std::abort();
    FilterRecord r;
    r.type = FilterType::UserDefined;
    r.order = d.order;
    r.A = d.A;
    r.B = d.B;
    const FilterDesignResult result = designFilter(r, 192000);
    if (result.ok && !result.sections.stable())
        std::abort();
    return 0;
}
