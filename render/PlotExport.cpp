#include "render/PlotExport.h"

#include "render/PlotPainter.h"

#include <QByteArray>
#include <QFile>
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

// Screen resolution that the layout's pixels stand for in vector files.
constexpr int kDotsPerInch = 96;

QString qpath(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray extensionOf(const std::string& path)
{
    return QFileInfo(qpath(path)).suffix().toLower().toLatin1();
}

QSize pixelSize(const PlotLayout& layout)
{
    const std::int64_t tpp = std::max<std::int64_t>(1, layout.device.twipsPerPixel);
    return {static_cast<int>(layout.device.widthTwips / tpp), static_cast<int>(layout.device.heightTwips / tpp)};
}

// Twips of the layout to device units of a file at kDotsPerInch: the
// layout's pixels become the file's pixels.
double vectorScale(const PlotLayout& layout)
{
    return 1.0 / static_cast<double>(std::max<std::int64_t>(1, layout.device.twipsPerPixel));
}

// Qt reports a failed write only through the device; check what is on disk.
bool checkWritten(const QString& path, std::string& error)
{
    QFileInfo info(path);
    if (info.exists() && info.size() > 0)
        return true;
    error = "the file could not be written";
    return false;
}

// Draws the plot into an SVG or PDF device at its vector scale; the device
// writes `file`, which is checked afterwards.
bool paintVector(QPaintDevice& device, const PlotLayout& layout, CVesSoundDoc& doc, const QString& file,
                 std::string& error)
{
    QPainter p;
    if (!p.begin(&device)) {
        error = "the file could not be written";
        return false;
    }
    PlotPainter painter(layout, doc);
    painter.setDeviceScale(vectorScale(layout));
    painter.setVectorOutput(true);
    painter.paint(p);
    p.end();
    return checkWritten(file, error);
}

}  // namespace

PictureFormat pictureFormatOf(const std::string& path)
{
    const QByteArray ext = extensionOf(path);
    if (ext.isEmpty())
        return PictureFormat::Unknown;
    if (ext == "svg")
        return PictureFormat::Svg;
    if (ext == "pdf")
        return PictureFormat::Pdf;
    const auto formats = QImageWriter::supportedImageFormats();
    return formats.contains(ext) ? PictureFormat::Raster : PictureFormat::Unknown;
}

QImage renderPlotImage(const PlotLayout& layout, CVesSoundDoc& doc)
{
    const QSize size = pixelSize(layout);
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;  // no memory for it
    const int dotsPerMeter = static_cast<int>(std::lround(kDotsPerInch / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QPainter p(&image);
    PlotPainter painter(layout, doc);
    painter.paint(p);
    return image;
}

bool writePlotPicture(const std::string& path, const PlotLayout& layout, CVesSoundDoc& doc,
                      const PictureOptions& options, std::string& error)
{
    const PictureFormat format = pictureFormatOf(path);
    const QString file = qpath(path);
    const QSize size = pixelSize(layout);
    if (size.isEmpty()) {
        error = "the plot has no area";
        return false;
    }
    switch (format) {
    case PictureFormat::Unknown:
        error = "unknown picture format (use .png, .jpg, .jpeg, .svg or .pdf)";
        return false;
    case PictureFormat::Raster: {
        const QImage image = renderPlotImage(layout, doc);
        if (image.isNull()) {
            error = "not enough memory for a picture of " + std::to_string(size.width()) + " x " +
                    std::to_string(size.height()) + " pixels";
            return false;
        }
        QImageWriter writer(file, extensionOf(path));
        const QByteArray ext = extensionOf(path);
        if (ext == "jpg" || ext == "jpeg")
            writer.setQuality(std::clamp(options.jpegQuality, 0, 99));
        if (!writer.write(image)) {
            error = writer.errorString().toStdString();
            return false;
        }
        return true;
    }
    case PictureFormat::Svg: {
        QFile::remove(file);
        QSvgGenerator svg;
        svg.setFileName(file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(kDotsPerInch);
        svg.setTitle(qpath(options.title));
        svg.setDescription(QStringLiteral("Vesperon"));
        return paintVector(svg, layout, doc, file, error);
    }
    case PictureFormat::Pdf: {
        QFile::remove(file);
        QPdfWriter pdf(file);
        pdf.setResolution(kDotsPerInch);
        pdf.setCreator(QStringLiteral("Vesperon"));
        pdf.setTitle(qpath(options.title));
        const QPageSize page(QSizeF(size.width() * 72.0 / kDotsPerInch, size.height() * 72.0 / kDotsPerInch),
                             QPageSize::Point, QString(), QPageSize::ExactMatch);
        pdf.setPageLayout(QPageLayout(page, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
        return paintVector(pdf, layout, doc, file, error);
    }
    }
    return false;
}
