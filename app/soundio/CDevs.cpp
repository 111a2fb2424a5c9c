#include "soundio/CDevs.h"

#include "soundio/SoundDevices.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

QListWidget* deviceList(QWidget* owner, QVBoxLayout* layout, const QString& title,
                        const std::array<SoundDeviceEntry, SoundDeviceTables::kSlots>& table, int selected)
{
    int count = 0;
    for (const SoundDeviceEntry& e : table)
        count += e.present ? 1 : 0;
    layout->addWidget(new QLabel(title + QString::asprintf(" %2d", count), owner));
    auto* list = new QListWidget(owner);
    list->setAccessibleName(title);
    for (int i = 0; i < SoundDeviceTables::kSlots; ++i) {
        if (!table[i].present)
            continue;
        auto* item = new QListWidgetItem(QString::fromStdString(table[i].label), list);
        item->setData(Qt::UserRole, i);
        if (i == selected)
            list->setCurrentItem(item);
    }
    layout->addWidget(list);
    return list;
}

int selectedSlot(const QListWidget* list)
{
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : -1;
}

}  // namespace

CDevs::CDevs(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Sound devices"));
    setAccessibleName(QStringLiteral("Sound devices"));
    auto* layout = new QVBoxLayout(this);
    const SoundDeviceTables& t = soundDevices();
    m_in = deviceList(this, layout, QStringLiteral("Input devices"), t.inputs(), t.selectedInput());
    m_out = deviceList(this, layout, QStringLiteral("Output devices"), t.outputs(), t.selectedOutput());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(520, 420);
}

void CDevs::apply() const
{
    soundDevices().selectInput(selectedSlot(m_in));
    soundDevices().selectOutput(selectedSlot(m_out));
}

void runSoundDevices(QWidget* parent)
{
    CDevs dlg(parent);
    if (dlg.exec() == QDialog::Accepted)
        dlg.apply();
}
