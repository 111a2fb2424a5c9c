#include "soundio/CSndFormat.h"

#include "core/NumberText.h"
#include "display/CVesAnaView.h"
#include "document/CVesSoundDoc.h"
#include "records/VesSettings.h"
#include "soundio/SoundDevices.h"
#include "soundio/SoundSystem.h"
#include "soundio/WaveError.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

QButtonGroup* radioGroup(QWidget* owner, QBoxLayout* into, const QString& title, const QStringList& labels)
{
    auto* box = new QGroupBox(title, owner);
    box->setAccessibleName(title);
    auto* layout = new QHBoxLayout(box);
    auto* group = new QButtonGroup(owner);
    for (int i = 0; i < labels.size(); ++i) {
        auto* b = new QRadioButton(labels[i], box);
        b->setAccessibleName(labels[i]);
        group->addButton(b, i);
        layout->addWidget(b);
    }
    into->addWidget(box);
    return group;
}

QLineEdit* textField(QWidget* owner, QFormLayout* form, const QString& label, const std::string& text, int maxLength)
{
    auto* e = new QLineEdit(QString::fromStdString(text), owner);
    e->setMaxLength(maxLength);
    e->setAccessibleName(label);
    form->addRow(label, e);
    return e;
}

}  // namespace

CSndFormat::CSndFormat(CVesSoundDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc), m_empty(doc.lengthFrames() == 0)
{
    setWindowTitle(QStringLiteral("Sound format"));
    setAccessibleName(QStringLiteral("Sound format"));
    auto* layout = new QVBoxLayout(this);
    m_rate = radioGroup(this, layout, QStringLiteral("Samples per second"),
                        {"11 025", "22 050", "44 100", "48 k", "96 k", "192 k", "Other:"});
    m_other = new QLineEdit(this);
    m_other->setAccessibleName(QStringLiteral("Other sampling frequency"));
    layout->addWidget(m_other);
    m_bits = radioGroup(this, layout, QStringLiteral("Bits per sample"), {"8 bits", "16 bits", "24 bits", "24/32 bits"});
    m_chans = radioGroup(this, layout, QStringLiteral("Channels"), {"Mono", "Stereo"});

    const SoundFormat& f = doc.format();
    int rateIndex = 6;
    for (int i = 0; i < 6; ++i)
        if (kRates[i] == f.samplesPerSec)
            rateIndex = i;
    m_rate->button(rateIndex)->setChecked(true);
    m_other->setText(QString::number(f.samplesPerSec));
    for (int i = 0; i < 4; ++i) {
        if (kBits[i] == f.bitsPerSample)
            m_bits->button(i)->setChecked(true);
        m_bits->button(i)->setEnabled(m_empty);
    }
    if (f.channels >= 1 && f.channels <= 2)
        m_chans->button(f.channels - 1)->setChecked(true);
    for (QAbstractButton* b : m_chans->buttons())
        b->setEnabled(m_empty);

    auto* form = new QFormLayout;
    m_timeExp = textField(this, form, QStringLiteral("Time expansion"),
                          vkit::formatC("%g", doc.recData().m_timeExp25 / 1000.0), 12);
    const VesRecData& rec = doc.recData();
    m_contents = textField(this, form, QStringLiteral("Contents"), rec.m_at, 79);
    m_by = textField(this, form, QStringLiteral("Recorded by"), rec.m_by, 39);
    m_date = textField(this, form, QStringLiteral("Date"), rec.m_date, 9);
    m_time = textField(this, form, QStringLiteral("Time"), rec.m_time, 9);
    auto* with = new QLabel(QString::fromStdString(rec.m_recDev), this);
    with->setAccessibleName(QStringLiteral("Recorded with"));
    form->addRow(QStringLiteral("Recorded with"), with);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSndFormat::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

SoundFormatChoice CSndFormat::choice() const
{
    SoundFormatChoice c;
    const int r = m_rate->checkedId();
    c.rateHz = r >= 0 && r < 6 ? kRates[r] : (r == 6 ? m_other->text().trimmed().toUInt() : 0);
    const int b = m_bits->checkedId();
    c.bits = b >= 0 ? kBits[b] : m_doc.format().bitsPerSample;
    const int ch = m_chans->checkedId();
    c.channels = ch >= 0 ? ch + 1 : m_doc.format().channels;
    return c;
}

std::int32_t CSndFormat::timeExp25() const
{
    double te = 1.0;
    vkit::parseDouble(m_timeExp->text().trimmed().toStdString(), te);
    return static_cast<std::int32_t>(std::lround(te * 1000.0));
}

void CSndFormat::accept()
{
    if (m_rate->checkedId() == 6) {
        bool ok = false;
        const qulonglong v = m_other->text().trimmed().toULongLong(&ok);
        if (!ok || v < 100 || v > 5120000) {
            QMessageBox::warning(this, windowTitle(), QStringLiteral("Please enter an integer between 100 and 5120000."));
            return;
        }
    }
    double te = 0;
    if (!vkit::parseDouble(m_timeExp->text().trimmed().toStdString(), te) || te < 0.1 || te > 100) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Please enter a number between 0.1 and 100."));
        return;
    }
    const SoundFormatChoice c = choice();
    bool accepts = false;
    if (c.rateHz > 0) {
        const std::string dev = soundDevices().playbackDeviceId();
        accepts = !dev.empty() &&
                  audioBackend().queryPlayback(dev, {c.channels, c.bits, c.rateHz}) == wave::NoError;
    }
    const SoundFormatCheck check =
        checkSoundFormat(c, m_doc.format(), m_empty, accepts, soundDevices().playbackHighestFrequency());
    if (!check.error.empty()) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(check.error));
        return;
    }
    for (const std::string& q : check.questions)
        if (QMessageBox::question(this, windowTitle(), QString::fromStdString(q)) != QMessageBox::Yes)
            return;
    QDialog::accept();
}

bool CSndFormat::apply(CVesSoundDoc& doc, VesDefData* defaults) const
{
    VesRecData& rec = doc.recData();
    rec.m_at = m_contents->text().toStdString();
    rec.m_by = m_by->text().toStdString();
    rec.m_date = m_date->text().toStdString();
    rec.m_time = m_time->text().toStdString();
    const SoundFormatChoice c = choice();
    bool recalc = false;
    const bool freqChanged = c.rateHz != doc.format().samplesPerSec;
    if (m_empty || freqChanged) {
        // The samples stay as they are: a new rate relabels them.
        SoundFormat f = SoundFormat::pcm(c.channels, c.bits, c.rateHz);
        if (!m_empty) {
            f.channels = doc.format().channels;
            f.bitsPerSample = doc.format().bitsPerSample;
            f.derive();
        }
        doc.setFormat(f);
        recalc = true;
        if (defaults) {
            defaults->m_chans = f.channels;
            defaults->m_bits = f.bitsPerSample;
            defaults->m_rate = static_cast<std::int32_t>(f.samplesPerSec);
        }
    }
    const std::int32_t te = timeExp25();
    if (te != rec.m_timeExp25) {
        rec.m_timeExp25 = te;
        recalc = true;
    }
    doc.setModified(true);
    if (defaults) {
        defaults->m_timeExp25 = rec.m_timeExp25;
        defaults->m_at = rec.m_at;
        defaults->m_by = rec.m_by;
        defaults->m_date = rec.m_date;
        defaults->m_time = rec.m_time;
    }
    return recalc;
}

void runSoundFormat(CVesAnaView& view)
{
    if (soundBusy())
        return;
    CSndFormat dlg(view.doc(), &view);
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (dlg.apply(view.doc(), &view.viewHost().defaultData()))
        view.doc().updateAllViews(viewupdate::Format{});
    else
        view.doc().updateAllViews(viewupdate::Repaint{});
}
