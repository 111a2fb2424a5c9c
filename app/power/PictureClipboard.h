// A measurement window's picture on the clipboard: a bitmap, and the same
// drawing as SVG for programs that take vector pictures.
#pragma once

#include <QSize>
#include <QString>

#include <functional>

class QPainter;
class QRectF;

using PicturePaint = std::function<void(QPainter& p, const QRectF& target)>;

// Draws `paint` at `size` pixels into both formats and hands them to the clipboard.
void copyPictureToClipboard(const QSize& size, const QString& title, const PicturePaint& paint);
