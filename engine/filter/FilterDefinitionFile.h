// Filter definition files: a user's own difference equation as text.
//
//   ; comments run from the last ';' of a line to its end
//   4              the order n (1..49)
//   1.0            n + 1 lines of denominator coefficients A[0..n]
//   ...
//   0.0625         n + 1 lines of numerator coefficients B[0..n]
//   ...
//
// Blank lines before the order are skipped; a blank line inside a block
// stands for 0; lines after the numerator are ignored. Numbers are read with
// '.' as the decimal separator whatever the locale.
#pragma once

#include "filter/FilterRecord.h"

#include <string>
#include <string_view>

struct FilterDefinition {
    bool ok = false;
    std::string message;  // why the file was refused
    int order = 0;
    std::array<double, FilterRecord::kCoefficients> A{};
    std::array<double, FilterRecord::kCoefficients> B{};
};

// Reads the text of a definition file.
FilterDefinition parseFilterDefinition(std::string_view text);
// Reads the file at `path` (at most 1 MiB of it: longer files are refused).
FilterDefinition readFilterDefinitionFile(const std::string& path);
