#include "soundio/PlayList.h"

#include "core/AtomicFile.h"
#include "core/NumberText.h"

#include <charconv>
#include <limits>

namespace {

// A decimal integer that takes the whole text (an optional minus sign, digits).
template <typename T>
bool wholeDecimal(std::string_view text, T& value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    return ec == std::errc() && ptr == end;
}

// Feeds lines to a reader, each cut at kMaxLineBytes + 1 bytes so that an
// overlong line is known as such without being kept.
class LineCollector {
public:
    explicit LineCollector(PlayListRead& out) : m_out(out) {}

    // False once reading has stopped.
    bool feed(std::string_view bytes)
    {
        for (char c : bytes) {
            if (m_stopped)
                return false;
            if (c == '\n') {
                endLine();
                continue;
            }
            if (m_line.size() <= PlayListRead::kMaxLineBytes)
                m_line.push_back(c);
            else
                m_long = true;
        }
        return !m_stopped;
    }

    void finish()
    {
        if (!m_stopped && (!m_line.empty() || m_long))
            endLine();
    }

private:
    void endLine()
    {
        ++m_number;
        std::string_view line(m_line);
        if (!line.empty() && line.back() == '\r' && !m_long)
            line.remove_suffix(1);
        PlayListLine entry;
        if (line.empty() && !m_long) {
            // an empty line: passed over
        } else if (!m_long && parsePlayListLine(line, entry)) {
            entry.lineNumber = m_number;
            m_out.lines.push_back(std::move(entry));
        } else {
            m_out.formatError = true;
            m_out.errorLineNumber = m_number;
            const bool cut = m_long || line.size() > PlayListRead::kShownLineBytes;
            m_out.errorLine = std::string(line.substr(0, PlayListRead::kShownLineBytes));
            if (cut)
                m_out.errorLine += "...";
            m_stopped = true;
        }
        m_line.clear();
        m_long = false;
    }

    PlayListRead& m_out;
    std::string m_line;
    bool m_long = false;
    bool m_stopped = false;
    int m_number = 0;
};

}  // namespace

std::string PlayListRead::formatErrorText() const
{
    return "Play list file format error on line:\n" + errorLine;
}

bool parsePlayListLine(std::string_view line, PlayListLine& out)
{
    const std::size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos)
        return false;
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos)
        return false;
    const std::string_view path = line.substr(0, tab1);
    const std::string_view name = line.substr(tab1 + 1, tab2 - tab1 - 1);
    if (path.empty() || path.size() > PlayListRead::kFieldMax || name.size() > PlayListRead::kFieldMax)
        return false;
    const std::string_view rest = line.substr(tab2 + 1);
    const std::size_t tab3 = rest.find('\t');
    if (tab3 == std::string_view::npos)
        return false;
    std::int64_t rate = 0;
    std::int32_t repeat = 0;
    if (!wholeDecimal(rest.substr(0, tab3), rate) || !wholeDecimal(rest.substr(tab3 + 1), repeat))
        return false;
    out.path = std::string(path);
    out.name = std::string(name);
    out.rateHz = rate;
    out.repeat = repeat;
    return true;
}

PlayListRead parsePlayList(std::string_view text)
{
    PlayListRead r;
    LineCollector lines(r);
    lines.feed(text);
    lines.finish();
    return r;
}

PlayListRead readPlayListFile(const std::string& path)
{
    PlayListRead r;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        r.opened = false;
        return r;
    }
    LineCollector lines(r);
    char buf[8192];
    bool more = true;
    while (more) {
        const std::size_t n = std::fread(buf, 1, sizeof buf, f);
        if (n == 0)
            break;
        more = lines.feed(std::string_view(buf, n));
    }
    if (more)
        lines.finish();
    std::fclose(f);
    return r;
}

std::string formatPlayListLine(const PlayListLine& line)
{
    return line.path + '\t' + line.name + '\t' +
           vkit::formatC("%lld\t%d\r\n", static_cast<long long>(line.rateHz), static_cast<int>(line.repeat));
}

bool writePlayListFile(const std::string& path, const std::vector<PlayListLine>& lines, std::string& error)
{
    std::string text;
    for (const PlayListLine& l : lines)
        text += formatPlayListLine(l);
    std::string why;
    if (!vkit::writeFileAtomically(path, text, &why)) {
        error = "Unable to open/create file " + path;
        return false;
    }
    return true;
}
