#include "render/PictureFile.h"

#include "core/AtomicFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace {

QString qpath(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray extensionOf(const std::string& path)
{
    return QFileInfo(qpath(path)).suffix().toLower().toLatin1();
}

PictureFormat formatOfExtension(const QByteArray& ext)
{
    if (ext.isEmpty())
        return PictureFormat::Unknown;
    if (ext == "svg")
        return PictureFormat::Svg;
    if (ext == "pdf")
        return PictureFormat::Pdf;
    return QImageWriter::supportedImageFormats().contains(ext) ? PictureFormat::Raster : PictureFormat::Unknown;
}

int dpiOf(const IPrintablePicture& picture)
{
    const double dpi = picture.pictureDpi();
    return std::isfinite(dpi) && dpi >= 1 ? static_cast<int>(std::lround(dpi)) : 96;
}

QString titleOf(const IPrintablePicture& picture, const PictureOptions& options)
{
    return options.title.empty() ? picture.pageTexts().header : qpath(options.title);
}

// Paints the picture at its pixel size into a vector device.
bool paintVector(QPaintDevice& device, IPrintablePicture& picture, std::string& error)
{
    QPainter p;
    if (!p.begin(&device)) {
        error = "the drawing could not be started";
        return false;
    }
    const QSize size = picture.pictureSize();
    picture.paintPicture(p, QRectF(QPointF(0, 0), QSizeF(size)), PictureMedium::Vector);
    if (!p.end()) {
        error = "the drawing could not be finished";
        return false;
    }
    return true;
}

}  // namespace

QString PictureFileType::filter() const
{
    QStringList globs;
    for (const QString& e : extensions)
        globs << QStringLiteral("*.") + e;
    return name + QStringLiteral(" (") + globs.join(QLatin1Char(' ')) + QLatin1Char(')');
}

PictureFormat pictureFormatOf(const std::string& path)
{
    return formatOfExtension(extensionOf(path));
}

std::vector<PictureFileType> pictureFileTypes()
{
    struct Known {
        const char* name;
        QStringList extensions;
    };
    const Known known[] = {
        {"JPEG image", {QStringLiteral("jpg"), QStringLiteral("jpeg")}},
        {"PNG image", {QStringLiteral("png")}},
        {"BMP image", {QStringLiteral("bmp")}},
        {"TIFF image", {QStringLiteral("tif"), QStringLiteral("tiff")}},
        {"WebP image", {QStringLiteral("webp")}},
    };
    const QList<QByteArray> writers = QImageWriter::supportedImageFormats();
    std::vector<PictureFileType> out;
    for (const Known& k : known)
        if (writers.contains(k.extensions.front().toLatin1()))
            out.push_back({QString::fromLatin1(k.name), k.extensions, PictureFormat::Raster});
    out.push_back({QStringLiteral("SVG drawing"), {QStringLiteral("svg")}, PictureFormat::Svg});
    out.push_back({QStringLiteral("PDF document"), {QStringLiteral("pdf")}, PictureFormat::Pdf});
    return out;
}

QImage pictureImage(IPrintablePicture& picture)
{
    const QSize size = picture.pictureSize();
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;  // no memory for it
    const int dotsPerMeter = static_cast<int>(std::lround(picture.pictureDpi() / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter p(&image);
    picture.paintPicture(p, QRectF(QPointF(0, 0), QSizeF(size)), PictureMedium::Raster);
    return image;
}

bool encodePicture(IPrintablePicture& picture, const QByteArray& extension, const PictureOptions& options,
                   QByteArray& out, std::string& error)
{
    out.clear();
    const QByteArray ext = extension.toLower();
    const QSize size = picture.pictureSize();
    if (size.isEmpty()) {
        error = "the picture has no area";
        return false;
    }
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    switch (formatOfExtension(ext)) {
    case PictureFormat::Unknown:
        error = "unknown picture format (use .png, .jpg, .jpeg, .svg or .pdf)";
        return false;
    case PictureFormat::Raster: {
        const QImage image = pictureImage(picture);
        if (image.isNull()) {
            error = "not enough memory for a picture of " + std::to_string(size.width()) + " x " +
                    std::to_string(size.height()) + " pixels";
            return false;
        }
        QImageWriter writer(&buffer, ext);
        if (ext == "jpg" || ext == "jpeg")
            writer.setQuality(std::clamp(options.jpegQuality, 0, 99));
        if (!writer.write(image)) {
            error = writer.errorString().toStdString();
            return false;
        }
        return true;
    }
    case PictureFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(dpiOf(picture));
        svg.setTitle(titleOf(picture, options));
        svg.setDescription(QStringLiteral("Vesperon"));
        return paintVector(svg, picture, error);
    }
    case PictureFormat::Pdf: {
        QPdfWriter pdf(&buffer);
        const int dpi = dpiOf(picture);
        pdf.setResolution(dpi);
        pdf.setCreator(QStringLiteral("Vesperon"));
        pdf.setTitle(titleOf(picture, options));
        const QPageSize page(QSizeF(size.width() * 72.0 / dpi, size.height() * 72.0 / dpi), QPageSize::Point,
                             QString(), QPageSize::ExactMatch);
        pdf.setPageLayout(QPageLayout(page, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
        return paintVector(pdf, picture, error);
    }
    }
    return false;
}

bool savePicture(const std::string& path, IPrintablePicture& picture, const PictureOptions& options,
                 std::string& error)
{
    QByteArray bytes;
    if (!encodePicture(picture, extensionOf(path), options, bytes, error))
        return false;
    return vkit::writeFileAtomically(path, bytes.toStdString(), &error);
}
