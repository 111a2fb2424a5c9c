#include "display/ViewPicture.h"

#include "display/CAnaPlot.h"
#include "widgets/CRecStatus.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "render/PlotExport.h"

#include <QPainter>

ViewPicture::ViewPicture(CVesAnaView& view) : m_view(&view) {}

QSize ViewPicture::pictureSize() const
{
    if (!m_view)
        return {};
    return PlotPicture(m_view->plot()->layout(), m_view->doc()).pictureSize();
}

double ViewPicture::pictureDpi() const
{
    if (!m_view)
        return 96;
    return PlotPicture(m_view->plot()->layout(), m_view->doc()).pictureDpi();
}

void ViewPicture::paintPicture(QPainter& p, const QRectF& target, PictureMedium medium)
{
    if (!m_view)
        return;
    CAnaPlot* plot = m_view->plot();
    PlotPicture picture(plot->layout(), m_view->doc());
    picture.paintPicture(p, target, medium);
    const QSize size = picture.pictureSize();
    if (medium == PictureMedium::Printer || size.isEmpty())
        return;
    // The cursor, drawn in the plot's pixels scaled onto the target.
    p.save();
    p.translate(target.topLeft());
    p.scale(target.width() / size.width(), target.height() / size.height());
    plot->drawCursor(p, false);
    p.restore();
}

PageTexts ViewPicture::pageTexts() const
{
    PageTexts t;
    if (!m_view)
        return t;
    t.header = QString::fromStdString(m_view->doc().title());
    t.footerLeft = QStringLiteral("Vesperon");
    t.footerRight = m_view->statusStrip()->formatText();
    return t;
}
