// Pictures of a plot: raster images, SVG and PDF files are written at the
// plot's size and can be read back; unknown types and unwritable paths fail
// with a reason.
#include "render/PlotExport.h"

#include "DocTestSupport.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using vestest::RecordingHost;
using vestest::TempDir;

class PictureTest : public ::testing::Test {
protected:
    RecordingHost host;
    CVesSoundDoc doc{host};
    VesAnaParms parms;
    PlotLayout layout;
    TempDir dir;

    void SetUp() override
    {
        // 50 ms of a 30 kHz tone at 192 kHz, shown with both panes and a colour bar.
        constexpr std::uint32_t rate = 192000;
        std::vector<std::uint8_t> bytes;
        for (std::uint32_t i = 0; i < rate / 20; ++i) {
            const auto v = static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * std::numbers::pi * 30000.0 * i / rate)));
            bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        }
        vestest::fillDocument(doc, 1, 16, rate, bytes);
        parms.m_ampPlot = true;
        parms.m_spectPlot = true;
        parms.m_scale = true;
        parms.m_plotSize = 50000;
        layout = PrepareLayout(parms, SoundInfo::of(doc), PlotDevice::fromScreen(640, 360, 150000));
    }

    bool write(const std::string& name, std::string& error, int quality = 30)
    {
        PictureOptions options;
        options.jpegQuality = quality;
        options.title = "tone.wav";
        return writePlotPicture(dir.file(name), layout, doc, options, error);
    }
};

TEST_F(PictureTest, FormatFollowsTheExtension)
{
    EXPECT_EQ(pictureFormatOf("a.png"), PictureFormat::Raster);
    EXPECT_EQ(pictureFormatOf("a.JPG"), PictureFormat::Raster);
    EXPECT_EQ(pictureFormatOf("a.jpeg"), PictureFormat::Raster);
    EXPECT_EQ(pictureFormatOf("dir.d/a.Svg"), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatOf("a.pdf"), PictureFormat::Pdf);
    EXPECT_EQ(pictureFormatOf("a.emf"), PictureFormat::Unknown);
    EXPECT_EQ(pictureFormatOf("noextension"), PictureFormat::Unknown);
}

TEST_F(PictureTest, RasterImagesHaveThePlotsSize)
{
    for (const char* name : {"plot.png", "plot.jpg", "plot.JPEG"}) {
        std::string error;
        ASSERT_TRUE(write(name, error)) << name << ": " << error;
        QImage image;
        ASSERT_TRUE(image.load(QString::fromStdString(dir.file(name)))) << name;
        EXPECT_EQ(image.size(), QSize(640, 360)) << name;
    }
    // The JPEG quality reaches the encoder.
    std::string error;
    ASSERT_TRUE(write("low.jpg", error, 5));
    ASSERT_TRUE(write("high.jpg", error, 95));
    EXPECT_LT(QFile(QString::fromStdString(dir.file("low.jpg"))).size(),
              QFile(QString::fromStdString(dir.file("high.jpg"))).size());
}

TEST_F(PictureTest, SvgIsWellFormedXmlAtThePlotsSize)
{
    std::string error;
    ASSERT_TRUE(write("plot.svg", error)) << error;
    QFile file(QString::fromStdString(dir.file("plot.svg")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    bool root = true;
    int shapes = 0;
    QString texts;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (root) {
            EXPECT_EQ(xml.name(), QStringLiteral("svg"));
            EXPECT_EQ(xml.attributes().value("viewBox"), QStringLiteral("0 0 640 360"));
            root = false;
        } else if (xml.name() == QStringLiteral("rect") || xml.name() == QStringLiteral("path") ||
                   xml.name() == QStringLiteral("polyline")) {
            ++shapes;
        } else if (xml.name() == QStringLiteral("text")) {
            texts += xml.readElementText(QXmlStreamReader::IncludeChildElements) + '|';
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_FALSE(root) << "no root element";
    EXPECT_GT(shapes, 100) << "columns, axes and the colour bar";
    EXPECT_TRUE(texts.contains(QStringLiteral("Amplitude"))) << texts.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Spectrogram, FFT size"))) << texts.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("kHz"))) << texts.toStdString();
}

TEST_F(PictureTest, PdfHasOnePageOfThePlotsSize)
{
    std::string error;
    ASSERT_TRUE(write("plot.pdf", error)) << error;
    const auto bytes = vestest::readFile(dir.file("plot.pdf"));
    const QByteArray pdf(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    EXPECT_TRUE(pdf.startsWith("%PDF-1.")) << pdf.left(16).toStdString();
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
    const QString text = QString::fromLatin1(pdf);
    EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![s\\w])"))), 1);
    // 640 x 360 pixels at 96 per inch: 480 x 270 points.
    const QRegularExpressionMatch box =
        QRegularExpression(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)\\s*\\]")).match(text);
    ASSERT_TRUE(box.hasMatch());
    EXPECT_NEAR(box.captured(1).toDouble(), 480, 1);
    EXPECT_NEAR(box.captured(2).toDouble(), 270, 1);
}

TEST_F(PictureTest, UnknownTypesAndUnwritablePathsFail)
{
    std::string error;
    EXPECT_FALSE(write("plot.emf", error));
    EXPECT_NE(error.find("unknown picture format"), std::string::npos) << error;
    for (const char* name : {"missing/plot.png", "missing/plot.svg", "missing/plot.pdf"}) {
        error.clear();
        EXPECT_FALSE(write(name, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_FALSE(vestest::fileExists(dir.file(name))) << name;
    }
}

}  // namespace
