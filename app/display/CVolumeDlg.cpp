#include "display/CVolumeDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

CVolumeDlg::CVolumeDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Change volume"));
    m_percent = new QSpinBox(this);
    m_percent->setRange(10, 1000);
    m_percent->setValue(100);
    m_percent->setAccessibleName(QStringLiteral("New volume/amplitude in %"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("New volume/amplitude in %"), m_percent);
    form->addRow(buttons);
}

int CVolumeDlg::percent() const
{
    return m_percent->value();
}
