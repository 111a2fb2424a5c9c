// A printable picture of a window that draws itself through a paint function
// taking a painter, a target rectangle and the device units per twip (the
// measurement windows): its size is the size of the widget that shows it on
// the screen, and its page texts come from the window.
#pragma once

#include "render/PrintablePicture.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace vprint {

class PaintedPicture : public IPrintablePicture {
public:
    using Paint = std::function<void(QPainter& p, const QRectF& target, double unitsPerTwip)>;
    using Texts = std::function<PageTexts()>;

    PaintedPicture(QWidget* screen, Paint paint, Texts texts)
        : m_screen(screen), m_paint(std::move(paint)), m_texts(std::move(texts))
    {
    }

    QSize pictureSize() const override { return m_screen ? m_screen->size() : QSize(); }
    double pictureDpi() const override { return m_screen ? m_screen->logicalDpiX() : 96.0; }
    // The drawing scaled to the target: on paper as many device units per
    // twip as the target has per twip of the screen picture.
    void paintPicture(QPainter& p, const QRectF& target, PictureMedium) override
    {
        const QSize size = pictureSize();
        if (!m_screen || size.isEmpty())
            return;
        const double twipsWide = size.width() * 1440.0 / pictureDpi();
        m_paint(p, target, target.width() / twipsWide);
    }
    PageTexts pageTexts() const override { return m_texts ? m_texts() : PageTexts{}; }

private:
    QPointer<QWidget> m_screen;  // nothing is drawn once it has gone
    Paint m_paint;
    Texts m_texts;
};

}  // namespace vprint
