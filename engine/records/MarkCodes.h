// The mark type a mark record stores (AnaMarkSave::m_typ, "Typ"): the kind
// of cursor the mark was placed with. The view's cursors use the same codes.
#pragma once

#include <cstdint>

enum class CursorType : std::int32_t {
    Unset = 0,             // a new mark record's type; shown as a marking
    Marking = 1,           // a time position on one channel
    Measurement = 2,       // a point, drawn as a small cross
    LargeMeasurement = 3,  // a point, drawn as lines across the pane
    Level = 4,             // an amplitude level
    MarkingStereo = 6,     // a time position on both channels
};
