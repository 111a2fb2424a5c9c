#include "filter/FilterRecord.h"

namespace {

struct TypeName {
    FilterType type;
    const char* name;
};

constexpr TypeName kTypeNames[] = {
    {FilterType::Butterworth, "Butterworth"},
    {FilterType::Chebyshev1, "Chebyshev type 1"},
    {FilterType::Elliptic, "Elliptic"},
    {FilterType::InverseChebyshev, "Chebyshev type 2"},
    {FilterType::UserDefined, "User defined"},
};

}  // namespace

const char* filterTypeName(FilterType type)
{
    for (const auto& t : kTypeNames)
        if (t.type == type)
            return t.name;
    return "";
}

FilterType filterTypeFromName(const std::string& name)
{
    for (const auto& t : kTypeNames)
        if (name == t.name)
            return t.type;
    return FilterType::None;
}
