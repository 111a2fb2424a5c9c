// Pictures of a plot: a raster image, an SVG file or a PDF page, each at the
// size the plot has on the screen (the layout's window in twips, at the
// layout's twips per pixel).
#pragma once

#include "display/PlotLayout.h"
#include "render/PictureFile.h"

#include <QImage>

#include <string>

class CVesSoundDoc;

// The full drawing of a plot (PlotPainter) as a printable picture: its size
// is the layout's window, its pixels the layout's twips per pixel.
class PlotPicture : public IPrintablePicture {
public:
    // Both must outlive the picture.
    PlotPicture(const PlotLayout& layout, CVesSoundDoc& doc, PageTexts texts = {});

    QSize pictureSize() const override;
    double pictureDpi() const override;
    void paintPicture(QPainter& p, const QRectF& target, PictureMedium medium) override;
    PageTexts pageTexts() const override { return m_texts; }

private:
    const PlotLayout& m_layout;
    CVesSoundDoc& m_doc;
    PageTexts m_texts;
};

// The plot drawn into an image of the plot's size in device pixels.
QImage renderPlotImage(const PlotLayout& layout, CVesSoundDoc& doc);

// Writes the plot to `path` in the format its extension names, replacing
// the file atomically. False with `error` set when the format is unknown or
// the file cannot be written (the file at `path` is then as it was).
bool writePlotPicture(const std::string& path, const PlotLayout& layout, CVesSoundDoc& doc,
                      const PictureOptions& options, std::string& error);
