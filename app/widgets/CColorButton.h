// A push button that shows a colour: a frame, a rectangle inset by 3 pixels
// filled with the colour and the caption in white or black, whichever reads
// on it.
#pragma once

#include <QColor>
#include <QPushButton>

#include <cstdint>

class CColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColorButton(const QString& caption, QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    QColor captionColor() const { return m_caption; }
    // The caption turns white when R + G + B <= 360, black otherwise.
    void setColor(const QColor& c);
    // Colours of the colour map record (0x00BBGGRR).
    std::uint32_t colorRef() const;
    void setColorRef(std::uint32_t c);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color{156, 156, 156};
    QColor m_caption{Qt::black};
};
