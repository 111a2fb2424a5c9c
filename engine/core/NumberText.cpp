#include "core/NumberText.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <system_error>

namespace vkit {

namespace {

locale_t cLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// Switches this thread to the "C" locale for its lifetime.
class CLocaleScope {
public:
    CLocaleScope() : m_previous(cLocale() ? uselocale(cLocale()) : static_cast<locale_t>(nullptr)) {}
    ~CLocaleScope()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_previous;
};

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

std::string vformatC(const char* format, std::va_list args)
{
    CLocaleScope scope;
    char small[256];
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    std::string out;
    if (n < 0) {
        va_end(again);
        return out;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(n));
    } else {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    return out;
}

std::string formatC(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::string out = vformatC(format, args);
    va_end(args);
    return out;
}

int snprintfC(char* buffer, std::size_t size, const char* format, ...)
{
    CLocaleScope scope;
    std::va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, size, format, args);
    va_end(args);
    return n;
}

int fprintfC(std::FILE* out, const char* format, ...)
{
    CLocaleScope scope;
    std::va_list args;
    va_start(args, format);
    const int n = std::vfprintf(out, format, args);
    va_end(args);
    return n;
}

int printfC(const char* format, ...)
{
    CLocaleScope scope;
    std::va_list args;
    va_start(args, format);
    const int n = std::vprintf(format, args);
    va_end(args);
    return n;
}

double strtodC(const char* text, char** end)
{
    if (cLocale())
        return strtod_l(text, end, cLocale());
    return std::strtod(text, end);
}

bool parseDouble(std::string_view text, double& value)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return false;
    value = v;
    return true;
}

bool parseInt64(std::string_view text, std::int64_t& value)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    std::int64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return false;
    value = v;
    return true;
}

}  // namespace vkit
