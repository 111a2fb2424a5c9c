// Feeds arbitrary bytes to the play-list reader, writes the entries it read
// back as list lines and reads those again: the second reading must give the
// same entries, and a line that did not fit must be shown cut to its limit.
#include "soundio/PlayList.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const PlayListRead r = parsePlayList(text);
    if (r.formatError && (r.errorLineNumber < 1 || r.errorLine.size() > PlayListRead::kShownLineBytes + 3))
        std::abort();
    std::string again;
    for (const PlayListLine& l : r.lines) {
        if (l.path.empty() || l.path.size() > PlayListRead::kFieldMax || l.name.size() > PlayListRead::kFieldMax)
            std::abort();
        again += formatPlayListLine(l);
    }
    const PlayListRead back = parsePlayList(again);
    if (back.formatError || back.lines.size() != r.lines.size())
        std::abort();
    for (std::size_t i = 0; i < r.lines.size(); ++i) {
        PlayListLine a = r.lines[i], b = back.lines[i];
        a.lineNumber = b.lineNumber = 0;
        if (!(a == b))
            std::abort();
    }
    return 0;
}
