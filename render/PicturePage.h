// One printed page of a picture: the header at the top centre, the picture
// at the size it has on the screen centred on the page (a picture larger than
// the page is centred all the same and cut at the page's edges), and the
// footer at the bottom left and right.
//
// Distances are in twips (1/1440 inch) of the page: the header's top lies
// 120 twips below the page's top edge; the footer's base line 100 twips
// above its bottom edge, its left text 100 twips from the left edge, its
// right text 120 twips from the right edge.
#pragma once

#include "render/PrintablePicture.h"

#include <QRectF>

// Where the picture goes on a page `page` (painter coordinates) of a device
// with `deviceDpi` units per inch.
QRectF picturePlaceOnPage(const QRectF& page, double deviceDpi, const IPrintablePicture& picture);

// Draws the page into `p` (the painter's font is the texts' font); the
// painter's state is left as it was found.
void paintPicturePage(QPainter& p, const QRectF& page, double deviceDpi, IPrintablePicture& picture);
