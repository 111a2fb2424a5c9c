// A picture that a window can put on paper, into a picture file or on the
// clipboard: anything that paints its whole drawing into a rectangle of a
// QPainter at any scale. The analysis views and the measurement windows
// implement it; app/print prints, previews, exports and copies it, and
// render/PicturePage lays it out on a page.
#pragma once

#include <QSize>
#include <QString>

class QPainter;
class QRectF;

// Where a picture goes; it decides what the drawing leaves out and how wide
// its pens are.
enum class PictureMedium {
    Raster,   // an image (export, clipboard bitmap): as on the screen, with marks and cursors
    Vector,   // SVG or PDF file, clipboard SVG: marks and cursors, pens widened for viewers
    Printer,  // paper and print preview: marks, no cursors
};

// The texts of a printed page: the header at the top centre, the footer at
// the bottom left and right.
struct PageTexts {
    QString header;
    QString footerLeft;
    QString footerRight;
};

// The page texts of a measurement window (power spectrum, rate histograms):
// the document's title above, "Vesperon by Vallomer" and the window's title
// below.
inline PageTexts windowPageTexts(const QString& documentTitle, const QString& windowTitle)
{
    return {documentTitle, QStringLiteral("Vesperon by Vallomer"), windowTitle};
}

class IPrintablePicture {
public:
    virtual ~IPrintablePicture() = default;

    // The size the picture has on the screen, in screen pixels, and the
    // pixels per inch of that screen: together the picture's size on paper.
    virtual QSize pictureSize() const = 0;
    virtual double pictureDpi() const = 0;
    // Draws the whole picture scaled to fill `target` (painter coordinates).
    // The painter's state is left as it was found.
    virtual void paintPicture(QPainter& p, const QRectF& target, PictureMedium medium) = 0;
    // Header and footer of the printed page; the header is also the title of
    // PDF and SVG files.
    virtual PageTexts pageTexts() const = 0;
};
