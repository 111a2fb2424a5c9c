#include "print/PictureClipboard.h"

#include "render/PictureFile.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

namespace vprint {

QMimeData* pictureMimeData(IPrintablePicture& picture)
{
    auto* data = new QMimeData;
    const QImage image = pictureImage(picture);
    if (!image.isNull())
        data->setImageData(image);
    QByteArray svg;
    std::string error;
    if (encodePicture(picture, QByteArrayLiteral("svg"), PictureOptions{}, svg, error))
        data->setData(QString::fromLatin1(kSvgMimeType), svg);
    return data;
}

void copyPictureToClipboard(IPrintablePicture& picture)
{
    QApplication::clipboard()->setMimeData(pictureMimeData(picture));
}

}  // namespace vprint
