// The status strip at the bottom edge of every analysis view: a status text
// at the left, a middle text (device and playback rate, or an override), and
// the sound format of the document at the right.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

class CRecStatus : public QWidget {
    Q_OBJECT
public:
    explicit CRecStatus(QWidget* parent = nullptr);

    void setStatusText(const QString& text);
    void setMiddleText(const QString& text);
    // "Mono, 16 bits, 384000 Hz." and its siblings.
    void setFormat(int channels, int bits, std::uint32_t rateHz, std::int32_t timeExp25);

    const QString& statusText() const { return m_status; }
    const QString& middleText() const { return m_middle; }
    const QString& formatText() const { return m_format; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_status, m_middle, m_format;
};
