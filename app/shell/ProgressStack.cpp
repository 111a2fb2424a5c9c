#include "shell/ProgressStack.h"

#include <cmath>
#include <cstdio>

std::string ProgressStack::begin(const std::string& name)
{
    m_ops.push_back({name, std::nullopt});
    return name + "Started";
}

double ProgressStack::percent(std::int64_t done, std::int64_t total)
{
    if (total == 0)
        return static_cast<double>(done) * 100000.0;
    return static_cast<double>(done) * 100.0 / static_cast<double>(total);
}

std::string ProgressStack::format(const std::string& text, double percent)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, " %3.0f%%", percent);
    return text + buf;
}

std::optional<std::string> ProgressStack::progress(const std::string& text, std::int64_t done, std::int64_t total)
{
    if (m_ops.empty())
        return std::nullopt;
    Op& op = m_ops.back();
    const double p = percent(done, total);
    const auto whole = static_cast<long long>(std::llround(p));
    if (op.shown && *op.shown == whole)
        return std::nullopt;
    op.shown = whole;
    // The operation's name leads, unless the text is that name already.
    auto trimmed = [](std::string s) {
        s.erase(0, s.find_first_not_of(' '));
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    };
    const std::string name = trimmed(op.name);
    if (name.empty() || name == trimmed(text))
        return format(text, p);
    return name + " " + format(text, p);
}

std::string ProgressStack::end()
{
    if (!m_ops.empty())
        m_ops.pop_back();
    return "Done";
}
