// Pictures of a power spectrum and of a pulse histogram as the desktop
// program's windows draw them (render/PowerPlotPainter, RatePlotPainter),
// written to an image file. Without the drawing library the functions say
// so and write nothing.
#pragma once

#include "power/PowerCalc.h"
#include "pulse/RateHistogram.h"
#include "records/VesSettings.h"

#include <string>

// The window's picture at `width` × `height` pixels into `path` (PNG, JPEG,
// BMP… by its extension). False with `error` set when it cannot be written.
bool writePowerPicture(const std::string& path, const PowerResult& result, const VesPowerParms& parms, int width,
                       int height, std::string& error);
bool writeHistogramPicture(const std::string& path, const RateHistogram& histogram, const std::string& rangeText,
                           int width, int height, std::string& error);
