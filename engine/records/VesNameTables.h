// The names the settings dialogs and property texts show for stored codes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vesnames {

struct ColorScheme {
    std::int32_t code;
    std::string_view name;
};

// The built-in colour schemes and the user-defined one (code 100), in the
// order the settings dialog lists them.
inline constexpr std::array<ColorScheme, 9> kColorSchemes = {{
    {0, "Yellow & Red"},
    {1, "Black & White"},
    {2, "Grey"},
    {3, "Red"},
    {4, "Blue"},
    {5, "Red, Green & Blue"},
    {6, "Yellow & Blue"},
    {7, "Yellow, Red & Blue"},
    {100, "User defined"},
}};
inline constexpr std::int32_t kUserColorScheme = 100;

// Filter types by code (0-based position).
inline constexpr std::array<std::string_view, 5> kFilterTypes = {
    "Butterworth", "Chebyshev type 1", "Elliptic", "FIR linear phase", "User defined"};

// File naming of the automatic recording by code (FileSwitch).
inline constexpr std::array<std::string_view, 6> kFileNaming = {
    "Single file", "Sequence number", "Date and sequence number", "Date and time", "Time (hhmmss)",
    "Time (hhmmss_mmm)"};

// Marks of the automatic recording by code (FileMarks).
inline constexpr std::array<std::string_view, 5> kMarkTypes = {
    "No marks", "Sequence number", "Time (hhmmss)", "Time (hhmmss_mmm)", "Relative time"};

// The scheme's name, "Unknown color" for any other code.
std::string_view colorSchemeName(std::int32_t code);
// The filter type's name, empty for a code outside the table.
std::string_view filterTypeName(std::int32_t code);
// The naming's name, "Unknown file type (<code>)" for any other code.
std::string fileNamingName(std::int32_t code);
// The mark type's name, "Unknown mark type (<code>)" for any other code.
std::string markTypeName(std::int32_t code);

}  // namespace vesnames
