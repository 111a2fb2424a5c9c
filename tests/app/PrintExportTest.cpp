// Pictures of an analysis view: the files of Export Graphics, the printed
// page (to a PDF file, rasterised with poppler's tools where installed), the
// print preview and the picture part of Copy, each holding the plot as the
// screen shows it.
#include "AppTestSupport.h"

#include "commands/CommandTable.h"
#include "display/CAnaPlot.h"
#include "widgets/CRecStatus.h"
#include "display/CVesAnaView.h"
#include "display/ViewPicture.h"
#include "document/CVesSoundDoc.h"
#include "print/GraphicsExportDialog.h"
#include "print/PictureExport.h"
#include "print/PicturePrinting.h"
#include "render/PictureFile.h"
#include "render/PicturePage.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QStatusBar>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QValidator>
#include <QXmlStreamReader>

#include <functional>
#include <optional>

namespace {

using apptest::pdfText;
using apptest::processEvents;

constexpr double kToneHz = 60000;

// Answers the first modal dialog for which `match` holds, whenever it shows
// (within ten seconds); a dialog that never shows fails the test.
void whenDialog(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> answer)
{
    auto* timer = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, match, answer] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && match(w)) {
            timer->stop();
            timer->deleteLater();
            answer(w);
        } else if (deadline->hasExpired()) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected dialog did not show";
            if (w)
                w->close();
        }
    });
    timer->start(10);
}

// Closes every modal dialog for which `match` holds while it lives, and
// remembers that one showed.
class DialogWatch {
public:
    explicit DialogWatch(std::function<bool(QWidget*)> match)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, match] {
            if (QWidget* w = QApplication::activeModalWidget(); w && match(w)) {
                m_seen = true;
                w->close();
            }
        });
        m_timer.start(10);
    }
    bool seen() const { return m_seen; }

private:
    QTimer m_timer;
    bool m_seen = false;
};

template <class T>
std::function<bool(QWidget*)> isA(const QString& objectName = {})
{
    return [objectName](QWidget* w) { return qobject_cast<T*>(w) && (objectName.isEmpty() || w->objectName() == objectName); };
}

bool isWhite(QRgb c)
{
    return qRed(c) > 230 && qGreen(c) > 230 && qBlue(c) > 230;
}

bool isDark(QRgb c)
{
    return qRed(c) < 60 && qGreen(c) < 60 && qBlue(c) < 60;
}

// The first page of a PDF file as an image at `dpi`; a null image when
// pdftoppm is missing.
QImage pdfPage(const std::string& pdf, int dpi, const std::string& outPrefix)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        return {};
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                         QStringLiteral("-singlefile"), QString::fromStdString(pdf),
                                         QString::fromStdString(outPrefix)});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QImage(QString::fromStdString(outPrefix + ".png"));
}

QString svgTexts(const QByteArray& svg)
{
    QXmlStreamReader xml(svg);
    QString texts;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QStringLiteral("text"))
            texts += xml.readElementText(QXmlStreamReader::IncludeChildElements) + '|';
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return texts;
}

QByteArray fileBytes(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class PrintExportTest : public apptest::AppTest {
protected:
    CVesAnaView* view = nullptr;

    void SetUp() override
    {
        const std::string wav = dir.file("tone.wav");
        apptest::writeToneWave(wav, 384000, 0.5, kToneHz, 0.5);
        start({wav});
    }

    void openView(int command)
    {
        ASSERT_TRUE(app().runCommand(command));
        processEvents();
        view = activeView();
        ASSERT_NE(view, nullptr);
    }

    // Where the plot shows the tone (plot pixels): three columns within the
    // tone's half of the plot, and the rows of the tone and of 150 kHz.
    struct Band {
        std::vector<int> xs;
        int yTone = 0, yFar = 0;
    };
    Band band() const
    {
        const CAnaPlot* plot = view->plot();
        const ChannelPanes& ch = plot->layout().channels.front();
        const double scale = plot->painter()->deviceScale();
        const int left = static_cast<int>(static_cast<double>(ch.freqPane.left) * scale) + 5;
        const int right = static_cast<int>(static_cast<double>(ch.freqPane.right) * scale) - 5;
        Band b;
        b.xs = {left + (right - left) / 10, left + (right - left) / 4, left + (right - left) * 4 / 10};
        b.yTone = static_cast<int>(plot->painter()->frequencyToDeviceY(kToneHz));
        b.yFar = static_cast<int>(plot->painter()->frequencyToDeviceY(150000));
        return b;
    }

    // The band of the tone lies where the screen has it in `img`, whose
    // plot starts at `origin` at `scale` image pixels per plot pixel.
    void expectBand(const QImage& img, const std::string& what, QPointF origin = {}, double scale = 1) const
    {
        const Band b = band();
        auto at = [&](int x, int y) {
            return img.pixel(static_cast<int>(origin.x() + x * scale), static_cast<int>(origin.y() + y * scale));
        };
        for (int x : b.xs) {
            bool coloured = false;
            for (int dy = -2; dy <= 2; ++dy)
                coloured = coloured || !isWhite(at(x, b.yTone + dy));
            EXPECT_TRUE(coloured) << what << ": no band at the tone, x " << x;
            EXPECT_TRUE(isWhite(at(x, b.yFar))) << what << ": something at 150 kHz, x " << x;
        }
    }
};

TEST_F(PrintExportTest, EveryPictureTypeHoldsThePlotAsTheScreenShowsIt)
{
    openView(cmd::NewSpectrogramView);
    const QImage screen = view->plot()->grab().toImage();
    expectBand(screen, "screen");
    ViewPicture picture(*view);
    const std::vector<PictureFileType> types = pictureFileTypes();
    ASSERT_GE(types.size(), 4u) << "JPEG, PNG, SVG and PDF at least";
    for (const PictureFileType& type : types) {
        for (const QString& ext : type.extensions) {
            const std::string path = dir.file("plot." + ext.toStdString());
            const vprint::ExportResult r = vprint::exportPictureTo(picture, QString::fromStdString(path), view, false);
            ASSERT_EQ(r.kind, vprint::ExportResult::Saved) << path << ": " << r.error;
            switch (type.format) {
            case PictureFormat::Raster: {
                const QImage img(QString::fromStdString(path));
                ASSERT_FALSE(img.isNull()) << path;
                EXPECT_EQ(img.size(), view->plot()->size()) << path;
                expectBand(img, path);
                break;
            }
            case PictureFormat::Svg: {
                const QString texts = svgTexts(fileBytes(path));
                EXPECT_TRUE(texts.contains(QStringLiteral("kHz"))) << texts.toStdString();
                EXPECT_TRUE(texts.contains(QStringLiteral("Spectrogram, FFT size"))) << texts.toStdString();
                break;
            }
            case PictureFormat::Pdf: {
                EXPECT_TRUE(fileBytes(path).startsWith("%PDF-"));
                if (const auto text = pdfText(path)) {
                    EXPECT_TRUE(text->contains(QStringLiteral("kHz"))) << text->toStdString();
                }
                const QImage page = pdfPage(path, static_cast<int>(picture.pictureDpi()), dir.file("pdfplot"));
                if (!page.isNull()) {
                    EXPECT_NEAR(page.width(), view->plot()->width(), 1);
                    expectBand(page, "PDF");
                }
                break;
            }
            case PictureFormat::Unknown: ADD_FAILURE() << "a type without a format"; break;
            }
        }
    }
}

TEST_F(PrintExportTest, TheCursorIsInPicturesButNotOnPaper)
{
    openView(cmd::NewSpectrogramView);
    const Band b = band();
    CursorRecord cursor;
    cursor.type = CursorType::Marking;
    cursor.position = view->plot()->painter()->pointAt(QPointF(b.xs[1], b.yFar)).sample;
    view->setCursorRecord(cursor);
    processEvents();
    const int x = static_cast<int>(view->plot()->painter()->sampleToDeviceX(static_cast<double>(cursor.position)));

    ViewPicture picture(*view);
    auto darkAround = [&](const QImage& img, QPointF origin) {
        for (int dx = -1; dx <= 1; ++dx)
            if (isDark(img.pixel(static_cast<int>(origin.x()) + x + dx, static_cast<int>(origin.y()) + b.yFar)))
                return true;
        return false;
    };
    const QImage image = pictureImage(picture);
    EXPECT_TRUE(darkAround(image, {})) << "no cursor in the picture";

    // A page at the screen's resolution: the plot unscaled, no cursor.
    const double dpi = picture.pictureDpi();
    QImage page(1200, 1000, QImage::Format_RGB32);
    page.fill(Qt::white);
    const QRectF pageRect(0, 0, page.width(), page.height());
    {
        QPainter p(&page);
        paintPicturePage(p, pageRect, dpi, picture);
    }
    const QRectF place = picturePlaceOnPage(pageRect, dpi, picture);
    EXPECT_EQ(place.size(), QSizeF(view->plot()->size()));
    expectBand(page, "page", place.topLeft());
    EXPECT_FALSE(darkAround(page, place.topLeft())) << "a cursor on paper";
}

TEST_F(PrintExportTest, PageCentresThePlotAndCutsWhatDoesNotFit)
{
    openView(cmd::NewSpectrogramView);
    ViewPicture picture(*view);
    const QSize px = picture.pictureSize();
    const double dpi = picture.pictureDpi();
    struct Case {
        QRectF page;
        double deviceDpi;
    } cases[] = {
        {QRectF(0, 0, px.width() + 200, px.height() + 100), dpi},             // room on every side
        {QRectF(50, 30, 2 * px.width() + 100, 2 * px.height() + 60), 2 * dpi},  // twice the resolution
        {QRectF(0, 0, px.width() - 100, px.height() - 60), dpi},              // too small
    };
    for (const Case& c : cases) {
        const QRectF r = picturePlaceOnPage(c.page, c.deviceDpi, picture);
        EXPECT_NEAR(r.width(), px.width() * c.deviceDpi / dpi, 1);
        EXPECT_NEAR(r.height(), px.height() * c.deviceDpi / dpi, 1);
        EXPECT_NEAR(r.center().x(), c.page.center().x(), 1);
        EXPECT_NEAR(r.center().y(), c.page.center().y(), 1);
    }
    // Drawn on a page smaller than the plot inside a larger image: nothing
    // lands outside the page.
    QImage img(px.width() + 200, px.height() + 200, QImage::Format_RGB32);
    img.fill(QColor(0, 0, 255));
    const QRectF page(100, 100, px.width() - 100, px.height() - 100);
    {
        QPainter p(&img);
        paintPicturePage(p, page, dpi, picture);
    }
    for (const QPoint at : {QPoint(50, 50), QPoint(img.width() - 50, img.height() - 50), QPoint(99, 150),
                            QPoint(static_cast<int>(page.right()) + 2, 150)})
        EXPECT_EQ(img.pixel(at), qRgb(0, 0, 255)) << at.x() << "," << at.y();
    EXPECT_NE(img.pixel(page.center().toPoint()), qRgb(0, 0, 255));
}

TEST_F(PrintExportTest, PrintingToAPdfFileGivesOnePageWithHeaderFooterAndPlot)
{
    openView(cmd::NewCombinedView);
    ViewPicture picture(*view);
    const std::string pdf = dir.file("page.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    std::string error;
    ASSERT_TRUE(vprint::printPictureOn(printer, picture, error)) << error;

    const QString raw = QString::fromLatin1(fileBytes(pdf));
    EXPECT_EQ(raw.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![s\\w])"))), 1);
    const QRegularExpressionMatch box =
        QRegularExpression(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)\\s*\\]")).match(raw);
    ASSERT_TRUE(box.hasMatch());
    EXPECT_NEAR(box.captured(1).toDouble(), 841.9, 1);  // A4 across
    EXPECT_NEAR(box.captured(2).toDouble(), 595.3, 1);

    const auto text = pdfText(pdf);
    const QImage page = pdfPage(pdf, 96, dir.file("page"));
    if (!text || page.isNull())
        GTEST_SKIP() << "poppler's pdftotext and pdftoppm are not installed";
    const QString format = view->statusStrip()->formatText();
    ASSERT_FALSE(format.isEmpty());
    for (const QString& s : {QStringLiteral("tone.wav"), QStringLiteral("Vesperon"), format, QStringLiteral("kHz")})
        EXPECT_TRUE(text->contains(s)) << s.toStdString() << " not in\n" << text->toStdString();
    // The title above the footer texts, in the order of the page.
    EXPECT_LT(text->indexOf(QStringLiteral("tone.wav")), text->lastIndexOf(format));

    // At 96 dpi the page holds the plot at its screen size, centred in the
    // margins (10 mm = 37.8 px).
    const double margin = 10 / 25.4 * 96;
    const QRectF paint(margin, margin, page.width() - 2 * margin, page.height() - 2 * margin);
    const QRectF place = picturePlaceOnPage(paint, 96, picture);
    EXPECT_NEAR(place.width(), view->plot()->width() * 96 / picture.pictureDpi(), 1);
    expectBand(page, "printed page", place.topLeft(), 96 / picture.pictureDpi());
}

TEST_F(PrintExportTest, PrintCommandsGoThroughTheProgramsPrinter)
{
    openView(cmd::NewSpectrogramView);
    for (int id : {cmd::FilePrint, cmd::FilePrintDirect, cmd::FilePrintPreview, cmd::FilePrintSetup, cmd::ExportGraphics})
        EXPECT_TRUE(app().commandState(id).enabled) << id;
    QPrinter& printer = vprint::sharedPrinter();
    const std::string pdf = dir.file("direct.pdf");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));

    // Print Direct asks nothing.
    {
        DialogWatch anyDialog([](QWidget*) { return true; });
        ASSERT_TRUE(app().runCommand(cmd::FilePrintDirect));
        EXPECT_FALSE(anyDialog.seen());
    }
    EXPECT_TRUE(fileBytes(pdf).startsWith("%PDF-"));
    QFile::remove(QString::fromStdString(pdf));

    // Print shows the print dialog; Cancel prints nothing, OK prints.
    whenDialog(isA<QPrintDialog>(), [](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    ASSERT_TRUE(app().runCommand(cmd::FilePrint));
    EXPECT_FALSE(vestest::fileExists(pdf));
    whenDialog(isA<QPrintDialog>(), [](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); });
    ASSERT_TRUE(app().runCommand(cmd::FilePrint));
    EXPECT_TRUE(fileBytes(pdf).startsWith("%PDF-"));

    // Print Setup changes the page of the same printer.
    whenDialog(isA<QPageSetupDialog>(), [](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    ASSERT_TRUE(app().runCommand(cmd::FilePrintSetup));
}

TEST_F(PrintExportTest, APrintPreviewShowsOnePageAndGoesWithItsView)
{
    openView(cmd::NewCombinedView);
    ASSERT_TRUE(app().runCommand(cmd::FilePrintPreview));
    processEvents();
    QPointer<QPrintPreviewDialog> preview = vprint::printPreviewOf(view);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    auto* pages = preview->findChild<QPrintPreviewWidget*>();
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->pageCount(), 1);

    // Its Print button prints through the print dialog like File > Print.
    QAction* print = nullptr;
    for (QAction* a : preview->findChildren<QAction*>())
        if (a->text() == QStringLiteral("Print"))
            print = a;
    ASSERT_NE(print, nullptr);
    const std::string pdf = dir.file("from-preview.pdf");
    vprint::sharedPrinter().setOutputFormat(QPrinter::PdfFormat);
    vprint::sharedPrinter().setOutputFileName(QString::fromStdString(pdf));
    whenDialog(isA<QPrintDialog>(), [](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); });
    print->trigger();
    EXPECT_TRUE(fileBytes(pdf).startsWith("%PDF-"));
    processEvents();
    EXPECT_TRUE(preview.isNull()) << "the preview stays after printing";
    ASSERT_TRUE(app().runCommand(cmd::FilePrintPreview));
    processEvents();
    preview = vprint::printPreviewOf(view);
    ASSERT_NE(preview, nullptr);

    // A second request shows the same preview.
    ASSERT_TRUE(app().runCommand(cmd::FilePrintPreview));
    processEvents();
    EXPECT_EQ(view->findChildren<QPrintPreviewDialog*>().size(), 1);

    // Closing the view closes its preview; the other view prints on.
    CVesAnaView* other = view;
    openView(cmd::NewSpectrogramView);
    CChildFrame::of(other)->close();
    processEvents();
    EXPECT_TRUE(preview.isNull()) << "the preview outlived its view";
    ASSERT_TRUE(app().runCommand(cmd::FilePrintPreview));
    processEvents();
    ASSERT_NE(vprint::printPreviewOf(activeView()), nullptr);
    vprint::printPreviewOf(activeView())->close();
    processEvents();
}

TEST_F(PrintExportTest, ExportGraphicsLeavesTheFileAloneUntilThePictureIsWritten)
{
    openView(cmd::NewSpectrogramView);
    const std::string jpg = dir.file("old.jpg");
    const QByteArray precious("not a picture, but the user's");
    vestest::writeFile(jpg, vestest::Bytes(precious.begin(), precious.end()));

    // The save dialog, "replace it?" Yes, then the quality: 100 is refused,
    // and Cancel keeps the file.
    auto chooseFile = [](const std::string& path, bool replace) {
        return [path, replace](QWidget* w) {
            auto* dlg = qobject_cast<QFileDialog*>(w);
            if (replace)
                whenDialog(isA<QMessageBox>(), [](QWidget* box) {
                    qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
                });
            // Typed into the name field, as the user does.
            auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(path));
            static_cast<QDialog*>(dlg)->accept();
        };
    };
    QStringList refusals;
    whenDialog(isA<QFileDialog>(QStringLiteral("ExportGraphicsDialog")), chooseFile(jpg, true));
    whenDialog(isA<GraphicsExportDialog>(), [&refusals](QWidget* w) {
        auto* dlg = qobject_cast<GraphicsExportDialog*>(w);
        EXPECT_EQ(dlg->field()->text(), QStringLiteral("30"));
        whenDialog(isA<QMessageBox>(QStringLiteral("InvalidQuality")), [&refusals, dlg](QWidget* box) {
            refusals << qobject_cast<QMessageBox*>(box)->text();
            qobject_cast<QMessageBox*>(box)->accept();
            dlg->reject();
        });
        dlg->field()->setText(QStringLiteral("100"));
        dlg->accept();
    });
    ASSERT_TRUE(app().runCommand(cmd::ExportGraphics));
    EXPECT_EQ(refusals, QStringList{QStringLiteral("Invalid compression level.")});
    EXPECT_EQ(fileBytes(jpg), precious) << "Cancel destroyed the file";

    // The same with quality 80: a JPEG of the plot's size replaces it.
    whenDialog(isA<QFileDialog>(QStringLiteral("ExportGraphicsDialog")), chooseFile(jpg, true));
    whenDialog(isA<GraphicsExportDialog>(), [](QWidget* w) {
        auto* dlg = qobject_cast<GraphicsExportDialog*>(w);
        dlg->field()->setText(QStringLiteral("80"));
        dlg->accept();
    });
    ASSERT_TRUE(app().runCommand(cmd::ExportGraphics));
    EXPECT_EQ(QImage(QString::fromStdString(jpg)).size(), view->plot()->size());

    // A PNG asks no quality; the writing shows as the long operation "Copy Graphics".
    const std::string png = dir.file("plain.png");
    DialogWatch quality(isA<GraphicsExportDialog>());
    QStringList shown;
    const auto watch = QObject::connect(app().mainFrame()->statusBar(), &QStatusBar::messageChanged,
                                        [&shown](const QString& text) { shown << text; });
    whenDialog(isA<QFileDialog>(QStringLiteral("ExportGraphicsDialog")), chooseFile(png, false));
    ASSERT_TRUE(app().runCommand(cmd::ExportGraphics));
    QObject::disconnect(watch);
    EXPECT_FALSE(quality.seen());
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), view->plot()->size());
    EXPECT_TRUE(shown.contains(QStringLiteral("Copy GraphicsStarted"))) << shown.join(QLatin1Char('|')).toStdString();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.back(), QStringLiteral("Done"));
}

TEST_F(PrintExportTest, FailedWritesSayWhyAndLeaveNoFile)
{
    openView(cmd::NewSpectrogramView);
    ViewPicture picture(*view);
    const std::string notADir = dir.file("file.txt");
    vestest::writeFile(notADir, vestest::Bytes{'x'});
    for (const char* name : {"plot.png", "plot.jpg", "plot.svg", "plot.pdf"}) {
        const std::string path = notADir + "/" + name;
        const vprint::ExportResult r = vprint::exportPictureTo(picture, QString::fromStdString(path), view, false);
        EXPECT_EQ(r.kind, vprint::ExportResult::Failed) << name;
        EXPECT_NE(r.error.find("Not a directory"), std::string::npos) << name << ": " << r.error;
    }
    // A name that is no picture type is refused and the file kept.
    const std::string emf = dir.file("keep.emf");
    vestest::writeFile(emf, vestest::Bytes{'k'});
    const vprint::ExportResult r = vprint::exportPictureTo(picture, QString::fromStdString(emf), view, false);
    EXPECT_EQ(r.kind, vprint::ExportResult::Failed);
    EXPECT_EQ(fileBytes(emf), QByteArray("k"));

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(notADir + "/page.pdf"));
    std::string error;
    EXPECT_FALSE(vprint::printPictureOn(printer, picture, error));
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
}

TEST_F(PrintExportTest, QualityDialogTakesZeroTo99)
{
    const struct {
        const char* text;
        bool taken;
    } cases[] = {{"", false}, {"100", false}, {"0", true}, {"99", true}, {"42", true}};
    for (const auto& c : cases) {
        GraphicsExportDialog dlg(GraphicsExportDialog::kDefaultQuality);
        dlg.field()->setText(QString::fromLatin1(c.text));
        QString message;
        if (!c.taken)
            whenDialog(isA<QMessageBox>(QStringLiteral("InvalidQuality")), [&message](QWidget* box) {
                message = qobject_cast<QMessageBox*>(box)->text();
                qobject_cast<QMessageBox*>(box)->accept();
            });
        dlg.accept();
        EXPECT_EQ(dlg.result() == QDialog::Accepted, c.taken) << c.text;
        if (c.taken)
            EXPECT_EQ(dlg.quality(), QString::fromLatin1(c.text).toInt());
        else
            EXPECT_EQ(message, QStringLiteral("Invalid compression level.")) << c.text;
    }
    GraphicsExportDialog dlg;
    QString letters = QStringLiteral("4a");
    int pos = 0;
    EXPECT_EQ(dlg.field()->validator()->validate(letters, pos), QValidator::Invalid) << "digits only";
}

TEST_F(PrintExportTest, CopyPutsABitmapAndSvgOnTheClipboard)
{
    openView(cmd::NewSpectrogramView);
    view->selectAll();
    ASSERT_TRUE(app().runCommand(cmd::EditCopy));
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasImage());
    const QImage image = qvariant_cast<QImage>(data->imageData());
    EXPECT_EQ(image.size(), view->plot()->size());
    expectBand(image, "clipboard bitmap");
    ASSERT_TRUE(data->hasFormat(QStringLiteral("image/svg+xml")));
    const QString texts = svgTexts(data->data(QStringLiteral("image/svg+xml")));
    EXPECT_TRUE(texts.contains(QStringLiteral("kHz"))) << texts.toStdString();
    EXPECT_TRUE(view->doc().canPaste()) << "the samples were copied too";
}

}  // namespace
