#include "records/VesNameTables.h"

namespace vesnames {

namespace {

template <std::size_t N>
const std::string_view* byCode(const std::array<std::string_view, N>& table, std::int32_t code)
{
    return (code >= 0 && static_cast<std::size_t>(code) < N) ? &table[static_cast<std::size_t>(code)] : nullptr;
}

}  // namespace

std::string_view colorSchemeName(std::int32_t code)
{
    for (const auto& s : kColorSchemes)
        if (s.code == code)
            return s.name;
    return "Unknown color";
}

std::string_view filterTypeName(std::int32_t code)
{
    const auto* name = byCode(kFilterTypes, code);
    return name ? *name : std::string_view();
}

std::string fileNamingName(std::int32_t code)
{
    const auto* name = byCode(kFileNaming, code);
    return name ? std::string(*name) : "Unknown file type (" + std::to_string(code) + ")";
}

std::string markTypeName(std::int32_t code)
{
    const auto* name = byCode(kMarkTypes, code);
    return name ? std::string(*name) : "Unknown mark type (" + std::to_string(code) + ")";
}

}  // namespace vesnames
