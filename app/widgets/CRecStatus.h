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
    // The middle text's override: shown instead of the device and its rate
    // while it is not empty.
    void setMiddleText(const QString& text);
    // The device that plays or records (shortened for the strip).
    void setDeviceName(const QString& name);
    // The device's rate R and the play speed s with its rate-change flag; R
    // is kept when it is -1, s and the flag when s is -1.
    void setRate(std::int64_t rateHz, double speed, bool rateChange);
    // "Mono, 16 bits, 384000 Hz." and its siblings.
    void setFormat(int channels, int bits, std::uint32_t rateHz, std::int32_t timeExp25);

    const QString& statusText() const { return m_status; }
    // The override when set, else the device name and the rate text.
    QString middleText() const;
    const QString& deviceName() const { return m_device; }
    const QString& formatText() const { return m_format; }

    QSize sizeHint() const override;

    // While it is longer than 26 characters: cut before the first "(" after
    // the 10th character, else before the first blank, ",", "." after the
    // 20th; a cut must leave more than 5 characters.
    static QString shortenDeviceName(const QString& name);
    // " 30000 Hz x (300000 Hz x 0.10). " and its siblings.
    static QString rateText(std::int64_t rateHz, double speed, bool rateChange);

signals:
    // The status, middle or format text changed (for the main window's panes).
    void textsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_status, m_middle, m_format, m_device;
    std::int64_t m_rateHz = 0;
    double m_speed = 1.0;
    bool m_rateChange = false;
};
