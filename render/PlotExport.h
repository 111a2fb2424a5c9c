// Pictures of a plot: a raster image, an SVG file or a PDF page, each at the
// size the plot has on the screen (the layout's window in twips, at the
// layout's twips per pixel).
#pragma once

#include "display/PlotLayout.h"

#include <QImage>

#include <string>

class CVesSoundDoc;

enum class PictureFormat { Unknown, Raster, Svg, Pdf };

// The picture format of a file name by its extension (without regard to
// case): "svg", "pdf", or any extension Qt's image writers take (png, jpg,
// jpeg, bmp, ...); Unknown otherwise.
PictureFormat pictureFormatOf(const std::string& path);

struct PictureOptions {
    int jpegQuality = 30;  // 0 .. 99, as the export's quality dialog
    std::string title;     // SVG title and PDF document title
};

// The plot drawn into an image of the plot's size in device pixels.
QImage renderPlotImage(const PlotLayout& layout, CVesSoundDoc& doc);

// Writes the plot to `path` in the format its extension names. False with
// `error` set when the format is unknown or the file cannot be written.
bool writePlotPicture(const std::string& path, const PlotLayout& layout, CVesSoundDoc& doc,
                      const PictureOptions& options, std::string& error);
