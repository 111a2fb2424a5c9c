// "Sound format": sampling frequency, sample width, channels, time expansion
// and the comments of a document, checked against the output device on OK.
#pragma once

#include "soundio/SoundFormatCheck.h"

#include <QDialog>

#include <cstdint>

class CVesAnaView;
class CVesSoundDoc;
struct VesDefData;
class QButtonGroup;
class QLineEdit;

class CSndFormat : public QDialog {
    Q_OBJECT
public:
    static constexpr std::uint32_t kRates[6] = {11025, 22050, 44100, 48000, 96000, 192000};
    static constexpr int kBits[4] = {8, 16, 24, 32};

    CSndFormat(CVesSoundDoc& doc, QWidget* parent = nullptr);

    SoundFormatChoice choice() const;
    std::int32_t timeExp25() const;
    // Stores what the dialog holds into the document; true when the views must recompute.
    // With `defaults`: a format set on the recording (empty, or a new
    // frequency) becomes the format of new recordings, and the recording's
    // time expansion and comments their defaults.
    bool apply(CVesSoundDoc& doc, VesDefData* defaults = nullptr) const;

    QButtonGroup* rateGroup() const { return m_rate; }
    QButtonGroup* bitsGroup() const { return m_bits; }
    QButtonGroup* channelsGroup() const { return m_chans; }
    QLineEdit* otherRate() const { return m_other; }
    QLineEdit* timeExpansion() const { return m_timeExp; }

public slots:
    void accept() override;

private:
    CVesSoundDoc& m_doc;
    bool m_empty;
    QButtonGroup* m_rate;
    QButtonGroup* m_bits;
    QButtonGroup* m_chans;
    QLineEdit* m_other;
    QLineEdit* m_timeExp;
    QLineEdit* m_contents;
    QLineEdit* m_by;
    QLineEdit* m_date;
    QLineEdit* m_time;
};

// Sound > Sound Format on the view's document.
void runSoundFormat(CVesAnaView& view);
