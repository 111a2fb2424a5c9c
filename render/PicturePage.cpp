#include "render/PicturePage.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr double kHeaderTwips = 120;
constexpr double kFooterTwips = 100;
constexpr double kFooterLeftTwips = 100;
constexpr double kFooterRightTwips = 120;

}  // namespace

QRectF picturePlaceOnPage(const QRectF& page, double deviceDpi, const IPrintablePicture& picture)
{
    const double dpi = picture.pictureDpi() > 0 ? picture.pictureDpi() : 96;
    const QSize px = picture.pictureSize();
    const double w = std::round(px.width() * deviceDpi / dpi);
    const double h = std::round(px.height() * deviceDpi / dpi);
    const double left = page.left() + std::floor((page.width() - w) / 2);
    const double top = page.top() + std::floor((page.height() - h) / 2);
    return {left, top, w, h};
}

void paintPicturePage(QPainter& p, const QRectF& page, double deviceDpi, IPrintablePicture& picture)
{
    const auto twips = [deviceDpi](double t) { return t * deviceDpi / 1440.0; };
    const PageTexts texts = picture.pageTexts();
    p.save();
    p.setClipRect(page, Qt::IntersectClip);
    p.save();
    picture.paintPicture(p, picturePlaceOnPage(page, deviceDpi, picture), PictureMedium::Printer);
    p.restore();
    p.setPen(Qt::black);
    constexpr int kFlags = Qt::TextDontClip | Qt::TextSingleLine;
    const double wide = page.width();
    const double high = page.height();
    // Each text gets a box as wide as the page on the side of its alignment.
    const QRectF header(page.left(), page.top() + twips(kHeaderTwips), wide, high);
    p.drawText(header, Qt::AlignTop | Qt::AlignHCenter | kFlags, texts.header);
    const double base = page.bottom() - twips(kFooterTwips);
    const QRectF left(page.left() + twips(kFooterLeftTwips), base - high, wide, high);
    p.drawText(left, Qt::AlignBottom | Qt::AlignLeft | kFlags, texts.footerLeft);
    const QRectF right(page.right() - twips(kFooterRightTwips) - wide, base - high, wide, high);
    p.drawText(right, Qt::AlignBottom | Qt::AlignRight | kFlags, texts.footerRight);
    p.restore();
}
