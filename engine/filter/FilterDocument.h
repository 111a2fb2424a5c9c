// Filtering a stretch of a recording in place, with undo.
#pragma once

#include "document/ChannelSelection.h"
#include "filter/SosCascade.h"

#include <cstdint>

class CVesSoundDoc;

// Runs `filter` over frames [start, end) of the channel selection, with the
// undo "Undo Filter" and the progress "Filtering". The filter's state runs on
// across the pieces the store is mapped in. A filter that yields a value
// that is not a number stops, restores the stretch and tells the host.
bool filterDocument(CVesSoundDoc& doc, std::int64_t start, std::int64_t end, ChannelSel channel,
                    const SosCascade& filter);
