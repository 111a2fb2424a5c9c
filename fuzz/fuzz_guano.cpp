// Feeds arbitrary bytes to the GUANO parser, writes what it read back and
// parses that again: the second reading must give the same fields.
#include "records/GuanoRecord.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    GuanoRecord g;
    std::string error, warning;
    if (!GuanoRecord::parse(data, size, g, error, &warning))
        return 0;
    (void)g.number("TE");
    if (const std::string* ts = g.find("Timestamp"))
        (void)shiftGuanoTimestamp(*ts, 12.345);
    GuanoRecord::SaveContext ctx;
    ctx.lengthSeconds = 1.5;
    ctx.lengthChanged = true;
    ctx.samplerate = 384000;
    ctx.timeExpansion = 10;
    ctx.startRealSeconds = -3.25;
    const auto bytes = g.toBytes();
    GuanoRecord back;
    if (!GuanoRecord::parse(bytes, back, error))
        std::abort();
    // A record that did not start with the version gains it when written.
    const std::size_t extra = back.fields().size() - g.fields().size();
    if (extra > 1)
        std::abort();
    for (std::size_t i = 0; i < g.fields().size(); ++i)
        if (back.fields()[i + extra].key != g.fields()[i].key || back.fields()[i + extra].value != g.fields()[i].value)
            std::abort();
    g.applySave(ctx);
    (void)wamdTimeExpansion(data, size);
    return 0;
}
