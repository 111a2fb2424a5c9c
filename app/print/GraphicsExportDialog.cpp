#include "print/GraphicsExportDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>

GraphicsExportDialog::GraphicsExportDialog(int quality, QWidget* parent) : QDialog(parent), m_quality(quality)
{
    setWindowTitle(QStringLiteral("Quality "));
    setObjectName(QStringLiteral("GraphicsExportDialog"));
    setAccessibleName(QStringLiteral("JPEG quality"));
    m_field = new QLineEdit(QString::number(quality), this);
    m_field->setAccessibleName(QStringLiteral("Quality:"));
    m_field->setMaxLength(3);
    m_field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_field));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &GraphicsExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Quality:"), m_field);
    form->addRow(buttons);
}

void GraphicsExportDialog::accept()
{
    bool ok = false;
    const int value = m_field->text().toInt(&ok);
    if (!ok || value < 0 || value > kMaxQuality) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), QStringLiteral("Invalid compression level."),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("InvalidQuality"));
        box.exec();
        m_field->setFocus();
        m_field->selectAll();
        return;
    }
    m_quality = value;
    QDialog::accept();
}
