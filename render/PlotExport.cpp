#include "render/PlotExport.h"

#include "render/PlotPainter.h"

#include <QPainter>

#include <algorithm>

namespace {

std::int64_t twipsPerPixel(const PlotLayout& layout)
{
    return std::max<std::int64_t>(1, layout.device.twipsPerPixel);
}

}  // namespace

PlotPicture::PlotPicture(const PlotLayout& layout, CVesSoundDoc& doc, PageTexts texts)
    : m_layout(layout), m_doc(doc), m_texts(std::move(texts))
{
}

QSize PlotPicture::pictureSize() const
{
    const std::int64_t tpp = twipsPerPixel(m_layout);
    return {static_cast<int>(m_layout.device.widthTwips / tpp), static_cast<int>(m_layout.device.heightTwips / tpp)};
}

double PlotPicture::pictureDpi() const
{
    return 1440.0 / static_cast<double>(twipsPerPixel(m_layout));
}

void PlotPicture::paintPicture(QPainter& p, const QRectF& target, PictureMedium medium)
{
    const QSize size = pictureSize();
    if (size.isEmpty() || target.isEmpty())
        return;
    PlotPainter painter(m_layout, m_doc);
    // Device units per screen pixel, then per twip.
    const double perPixel = target.width() / size.width();
    painter.setDeviceScale(perPixel / static_cast<double>(twipsPerPixel(m_layout)));
    // Paper and vector files are looked at with smoothing: the widened pens
    // let the spectrogram's columns meet without hairline gaps.
    painter.setVectorOutput(medium != PictureMedium::Raster);
    p.save();
    p.translate(target.topLeft());
    painter.paint(p);
    p.restore();
}

QImage renderPlotImage(const PlotLayout& layout, CVesSoundDoc& doc)
{
    PlotPicture picture(layout, doc);
    return pictureImage(picture);
}

bool writePlotPicture(const std::string& path, const PlotLayout& layout, CVesSoundDoc& doc,
                      const PictureOptions& options, std::string& error)
{
    PlotPicture picture(layout, doc);
    if (picture.pictureSize().isEmpty()) {
        error = "the plot has no area";
        return false;
    }
    return savePicture(path, picture, options, error);
}
