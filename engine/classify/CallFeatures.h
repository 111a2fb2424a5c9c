// The numbers a species classifier sees of one call, defined in one table
// with their units. Every value comes from the call's measurements
// (pulse/CallMeasures.h), so a call stored in a project and the same call
// found again in its recording give the same features.
//
// Frequencies are in kHz and times in ms, so that the numbers a user reads
// in a trained model's feature table are the ones of the call table. A value
// that does not exist for a call (the interval of a run's first call) is NaN,
// which the trees treat as missing rather than as a number.
//
// Besides the contour's parameters there are a few numbers of the shape of
// the call's spectrum, from its contour and its box:
//   peak position   where in the swept band the strongest point lies, 0 at
//                   the lowest frequency and 1 at the highest: FM calls
//                   that peak early and late differ here
//   span octaves    log2(max freq / min freq), the sweep in octaves
//   harmonics up    the box's top over the contour's top: 1 when only the
//                   fundamental reaches the edge level, 2 or 3 when the
//                   second or third harmonic does
//   harmonics down  the contour's bottom over the box's bottom: above 1
//                   when the strongest contour is a higher harmonic
#pragma once

#include "pulse/CallMeasures.h"

#include <array>
#include <cstddef>
#include <string>

namespace classify {

struct FeatureDef {
    const char* name;   // a word for files and tables
    const char* unit;   // "kHz", "ms", "OPS", "dB", "%", "1" (a ratio)
    const char* what;   // one line for the guide and --help
};

constexpr std::size_t kFeatureCount = 21;

// The table, in the order of the values callFeatures writes.
const std::array<FeatureDef, kFeatureCount>& featureTable();

// The features of `call` into out[0 .. kFeatureCount).
void callFeatures(const CallMeasures& call, float* out);

// The table as one text ("name unit" per line): a model made with another
// table does not fit this program's features.
std::string featureTableText();

}  // namespace classify
