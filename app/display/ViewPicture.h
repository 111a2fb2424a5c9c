// An analysis view as a printable picture: the plot's full drawing at the
// size it has on the screen, with the marks and (except on paper) the
// cursor the user sees; the page header is the document's title, the
// footer "Vesperon" and the sound format of the view's status strip.
#pragma once

#include "render/PrintablePicture.h"

#include <QPointer>

class CVesAnaView;

class ViewPicture : public IPrintablePicture {
public:
    explicit ViewPicture(CVesAnaView& view);

    QSize pictureSize() const override;
    double pictureDpi() const override;
    // Nothing is drawn once the view has gone.
    void paintPicture(QPainter& p, const QRectF& target, PictureMedium medium) override;
    PageTexts pageTexts() const override;

private:
    QPointer<CVesAnaView> m_view;
};
