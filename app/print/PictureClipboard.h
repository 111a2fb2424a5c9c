// The picture part of Copy: a bitmap of the picture at its screen size and,
// beside it, the same picture as SVG (image/svg+xml), which office programs
// and vector editors paste as a drawing.
#pragma once

#include "render/PrintablePicture.h"

class QMimeData;

namespace vprint {

inline constexpr const char* kSvgMimeType = "image/svg+xml";

// The clipboard data of `picture` (the caller owns it): the image, and the
// SVG unless it could not be drawn.
QMimeData* pictureMimeData(IPrintablePicture& picture);

// Replaces the clipboard's contents with the picture.
void copyPictureToClipboard(IPrintablePicture& picture);

}  // namespace vprint
