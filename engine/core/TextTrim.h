// Blanks around a text: spaces and tabs at either end, and the carriage
// return a CRLF line leaves at its end.
#pragma once

#include <string_view>

namespace vkit {

inline std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

}  // namespace vkit
