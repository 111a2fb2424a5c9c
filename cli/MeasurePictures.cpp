#include "MeasurePictures.h"

#ifdef VES_HAVE_RENDER
#include "render/HeadlessGui.h"
#include "render/PowerPlotPainter.h"
#include "render/RatePlotPainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

namespace {

template <class Paint>
bool writeImage(const std::string& path, int width, int height, Paint paint, std::string& error)
{
    const auto app = makeHeadlessGuiApplication();
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        paint(p, QRectF(0, 0, width, height));
    }
    QImageWriter writer(QString::fromStdString(path));
    if (!writer.write(img)) {
        error = "cannot write " + path + ": " + writer.errorString().toStdString();
        return false;
    }
    return true;
}

}  // namespace

bool writePowerPicture(const std::string& path, const PowerResult& result, const VesPowerParms& parms, int width,
                       int height, std::string& error)
{
    PowerPicture pic;
    pic.result = &result;
    pic.parms = parms;
    pic.rateHz = result.rateHz;
    pic.startMicros = result.rateHz > 0 ? static_cast<std::int64_t>(static_cast<double>(result.start) * 1e6 / result.rateHz) : 0;
    pic.endMicros = result.rateHz > 0 ? static_cast<std::int64_t>(static_cast<double>(result.end) * 1e6 / result.rateHz) : 0;
    pic.showRange = true;
    return writeImage(path, width, height, [&](QPainter& p, const QRectF& r) { PowerPlotPainter(pic, r).paint(p); },
                      error);
}

bool writeHistogramPicture(const std::string& path, const RateHistogram& histogram, const std::string& rangeText,
                           int width, int height, std::string& error)
{
    RatePicture pic;
    pic.histogram = &histogram;
    pic.rangeText = rangeText;
    return writeImage(path, width, height, [&](QPainter& p, const QRectF& r) { RatePlotPainter(pic, r).paint(p); },
                      error);
}

#else

bool writePowerPicture(const std::string&, const PowerResult&, const VesPowerParms&, int, int, std::string& error)
{
    error = "this vesperon-cli was built without pictures";
    return false;
}

bool writeHistogramPicture(const std::string&, const RateHistogram&, const std::string&, int, int, std::string& error)
{
    error = "this vesperon-cli was built without pictures";
    return false;
}

#endif
