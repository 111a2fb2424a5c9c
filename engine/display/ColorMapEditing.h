// The logic of the colour map editor that needs no window: the check of a
// row, the name as stored, and the rows stored back into a map.
#pragma once

#include "records/VesColorMap.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int kColorMapVisibleRows = 12;
constexpr int kColorMapMaxTopRow = static_cast<int>(VesColorMap::kBands) - kColorMapVisibleRows;  // 52
constexpr int kColorMapNameChars = 30;  // characters the name field takes

// The levels as the editor's dB fields show them (thousandths of a dB, up to
// 2 decimals, trailing zeros cut).
std::string colorMapDbText(std::int32_t thousandths);

// The check of one row on scrolling and saving: a row whose DbFrom or DbTo is
// not 0 is normalised; then DbTo >= DbFrom gives the message
// "From (..) must be greater then To (..).", empty otherwise.
std::string checkColorMapRow(VesColorMapRad& band);

// The name the map stores: blanks trimmed, at most 30 characters and at most
// 31 bytes of UTF-8, cut on a character boundary.
std::string colorMapStoredName(std::string_view typed);

// The current time in 100 ns units since 1601 (UTC).
std::int64_t colorMapTimeNow();

// Stores the editor's rows into `map`: Name, ModTime, each band with
// DbFrom != DbTo normalised and counted as in use, FirstPenIx reset, and
// ColorMapRader the number of the last band in use (0 when none). Release,
// Version and Reserv keep their values.
void storeColorMapRows(VesColorMap& map, const std::array<VesColorMapRad, VesColorMap::kBands>& rows,
                       std::string_view name, std::int64_t modTime);

// Where a map from storage (the settings list, the default set, a
// recording's sets) takes its way in: upgraded and normalised.
void upgradeColorMaps(std::vector<VesColorMap>& maps);
