#include "filter/FilterDocument.h"

#include "document/CVesSoundDoc.h"
#include "filter/FilterKernel.h"

bool filterDocument(CVesSoundDoc& doc, std::int64_t start, std::int64_t end, ChannelSel channel,
                    const SosCascade& filter)
{
    const SoundFormat& format = doc.format();
    const int bits = format.bitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        doc.host().message("Unknown data format, only 8, 16 and 32 bits data supported.");
        return false;
    }
    if (filter.empty() || !filter.stable())
        return false;
    FilterKernel kernel(filter, SampleLayout::of(format), channel);
    bool diverged = false;
    const bool ok = doc.processFrames(start, end, channel, UndoKind::Filter, "Filtering",
                                      [&](std::uint8_t* frames, std::int64_t count) {
                                          diverged = !kernel.process(frames, count);
                                          return !diverged;
                                      });
    if (diverged)
        doc.host().message("Filtering stopped: the filter's output is not a number. The selection is unchanged.");
    if (ok)
        doc.host().status("Filtering Done");
    return ok;
}
