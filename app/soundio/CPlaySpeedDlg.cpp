#include "soundio/CPlaySpeedDlg.h"

#include "core/NumberText.h"
#include "soundio/SoundDevices.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CPlaySpeedDlg::CPlaySpeedDlg(const VesPlaySpeedData& preset, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Change play speed"));
    setAccessibleName(QStringLiteral("Change play speed"));
    auto* form = new QFormLayout;
    m_device = new QComboBox(this);
    m_device->setAccessibleName(QStringLiteral("Playback device"));
    for (const SoundDeviceEntry& e : soundDevices().outputs())
        if (!e.name.empty())
            m_device->addItem(QString::fromStdString(e.name));
    if (m_device->findText(QString::fromStdString(preset.device)) < 0)
        m_device->addItem(QString::fromStdString(preset.device));
    m_device->setCurrentText(QString::fromStdString(preset.device));

    m_relative = new QComboBox(this);
    m_relative->setEditable(true);
    m_relative->setAccessibleName(QStringLiteral("Relative speed"));
    m_relative->addItems({"2.00", "1.00", "0.50", "0.25", "0.10", "0.05", "0.02", "0.01"});
    m_relative->setCurrentText(QString::fromStdString(vkit::formatC("%.2f", preset.relSpeed)));

    m_absolute = new QComboBox(this);
    m_absolute->setEditable(true);
    m_absolute->setAccessibleName(QStringLiteral("Fixed playback sampling frequency"));
    m_absolute->addItems({"Original", "22050", "44100", "48000", "96000"});
    m_absolute->setCurrentText(preset.absSpeed > 1 ? QString::number(preset.absSpeed) : QStringLiteral("Original"));
    // A fixed rate goes with the speed it is played at.
    connect(m_absolute, &QComboBox::currentTextChanged, this, [this] { m_relative->setCurrentText(QStringLiteral("1.00")); });

    form->addRow(QStringLiteral(" Playback device"), m_device);
    form->addRow(QStringLiteral("Relative to orginal sampling frequency"), m_relative);
    form->addRow(QStringLiteral("Fixed playback sampling frequency"), m_absolute);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    save->setAccessibleName(QStringLiteral("Save"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

VesPlaySpeedData CPlaySpeedDlg::result() const
{
    VesPlaySpeedData d;
    d.device = m_device->currentText().toStdString();
    double rel = 1.0;
    if (vkit::parseDouble(m_relative->currentText().trimmed().toStdString(), rel) && rel > 0)
        d.relSpeed = rel;
    const QString abs = m_absolute->currentText().trimmed();
    d.absSpeed = abs == QStringLiteral("Original") ? 0 : abs.toLongLong();
    return d;
}
