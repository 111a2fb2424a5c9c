// The plot of a pulse interval or pulse length window: draws the histogram
// through render/RatePlotPainter; the pointer shows time and count under it,
// a click places a marker there.
#pragma once

#include "render/RatePlotPainter.h"

#include <QWidget>

class CRatePlot : public QWidget {
    Q_OBJECT
public:
    explicit CRatePlot(QWidget* parent = nullptr);

    RatePicture& picture() { return m_picture; }
    const RatePicture& picture() const { return m_picture; }
    RatePlotPainter painterForSize() const { return RatePlotPainter(m_picture, QRectF(rect())); }
    void setStatus(const std::string& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::string pointText(const QPointF& at, const char* countFormat) const;

    RatePicture m_picture;
    std::string m_status;
};
