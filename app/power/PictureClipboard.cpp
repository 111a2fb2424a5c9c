#include "power/PictureClipboard.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QSvgGenerator>

void copyPictureToClipboard(const QSize& size, const QString& title, const PicturePaint& paint)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QRectF target(QPointF(0, 0), QSizeF(size));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        paint(p, target);
    }
    QBuffer svg;
    svg.open(QIODevice::WriteOnly);
    {
        QSvgGenerator gen;
        gen.setOutputDevice(&svg);
        gen.setSize(size);
        gen.setViewBox(QRect(QPoint(0, 0), size));
        gen.setTitle(title);
        QPainter p(&gen);
        paint(p, target);
    }
    auto* mime = new QMimeData;
    mime->setImageData(image);
    mime->setData(QStringLiteral("image/svg+xml"), svg.data());
    QApplication::clipboard()->setMimeData(mime);
    QApplication::restoreOverrideCursor();
}
