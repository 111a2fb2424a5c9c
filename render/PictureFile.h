// Picture files of any IPrintablePicture: raster images through Qt's image
// writers, SVG and PDF drawings, all encoded in memory and written to disk
// in one atomic step, so that a failed or abandoned save leaves the file
// that was there before untouched and no partial file behind.
#pragma once

#include "render/PrintablePicture.h"

#include <QByteArray>
#include <QImage>
#include <QStringList>

#include <string>
#include <vector>

struct PictureOptions {
    int jpegQuality = 30;  // 0 .. 99, as the export's quality dialog
    std::string title;     // SVG title and PDF document title (empty: the picture's header)
};

enum class PictureFormat { Unknown, Raster, Svg, Pdf };

// The picture format of a file name by its extension (without regard to
// case): "svg", "pdf", or any extension Qt's image writers take (png, jpg,
// jpeg, bmp, ...); Unknown otherwise.
PictureFormat pictureFormatOf(const std::string& path);

// One choice of a save dialog's type list.
struct PictureFileType {
    QString name;            // "PNG image"
    QStringList extensions;  // lower case, without the dot; the first is the default
    PictureFormat format = PictureFormat::Unknown;
    bool isJpeg() const { return extensions.contains(QStringLiteral("jpg")); }
    // "PNG image (*.png)"
    QString filter() const;
};

// The types a picture can be saved as, in this order: JPEG, PNG, BMP, TIFF
// and WebP where Qt has writers for them, then SVG and PDF.
std::vector<PictureFileType> pictureFileTypes();

// The picture drawn into an image of its screen size (Raster medium), with
// the screen's resolution recorded in the image. A null image when there is
// no area or no memory for it.
QImage pictureImage(IPrintablePicture& picture);

// The picture encoded as the format of `extension` ("png", "jpg", "svg",
// "pdf", ...). False with `error` set when the format is unknown or the
// picture cannot be drawn.
bool encodePicture(IPrintablePicture& picture, const QByteArray& extension, const PictureOptions& options,
                   QByteArray& out, std::string& error);

// Encodes the picture in the format of `path`'s extension and replaces the
// file at `path` atomically. False with `error` set (the system's text for
// a failed write); the file at `path` is then as it was.
bool savePicture(const std::string& path, IPrintablePicture& picture, const PictureOptions& options,
                 std::string& error);
