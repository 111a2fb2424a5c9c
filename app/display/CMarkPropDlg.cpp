#include "display/CMarkPropDlg.h"

#include "display/CursorMarks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CMarkPropDlg::CMarkPropDlg(const AnaMarkSave& mark, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Mark properties"));
    setAccessibleName(QStringLiteral("Mark properties"));
    m_label = new QLineEdit(QString::fromStdString(mark.m_label), this);
    m_label->setMaxLength(static_cast<int>(kMarkLabelChars));
    m_label->setAccessibleName(QStringLiteral("Label"));
    m_showLabel = new QCheckBox(QStringLiteral("Display label"), this);
    m_showLabel->setChecked(mark.m_showLabel);
    m_showLabel->setAccessibleName(QStringLiteral("Display label"));
    m_type = new QComboBox(this);
    m_type->addItems({QStringLiteral("Marking cursor"), QStringLiteral("Measurement cursor"),
                      QStringLiteral("Large measurement cursor")});
    m_type->setCurrentIndex(mark.m_typ == CursorType::Measurement        ? 1
                            : mark.m_typ == CursorType::LargeMeasurement ? 2
                                                                         : 0);
    m_type->setAccessibleName(QStringLiteral("Mark displayed as"));
    m_show = new QCheckBox(QStringLiteral("Display mark"), this);
    m_show->setChecked(mark.m_show);
    m_show->setAccessibleName(QStringLiteral("Display mark"));
    m_desc = new QPlainTextEdit(QString::fromStdString(mark.m_desc), this);
    m_desc->setAccessibleName(QStringLiteral("Description"));
    connect(m_desc, &QPlainTextEdit::textChanged, this, [this] {
        const QString t = m_desc->toPlainText();
        if (t.size() > static_cast<int>(kMarkDescChars))
            m_desc->setPlainText(t.left(static_cast<int>(kMarkDescChars)));
    });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Label"), m_label);
    form->addRow(QString(), m_showLabel);
    form->addRow(QStringLiteral("Mark displayed as"), m_type);
    form->addRow(QString(), m_show);
    form->addRow(QStringLiteral("Description"), m_desc);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* remove = buttons->addButton(QStringLiteral("Remove"), QDialogButtonBox::DestructiveRole);
    remove->setAccessibleName(QStringLiteral("Remove"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(remove, &QPushButton::clicked, this, [this] { done(Removed); });
    auto* box = new QVBoxLayout(this);
    box->addLayout(form);
    box->addWidget(buttons);
}

void CMarkPropDlg::apply(AnaMarkSave& mark) const
{
    mark.m_label = limitChars(m_label->text().toStdString(), kMarkLabelChars);
    mark.m_showLabel = m_showLabel->isChecked();
    // The list holds the marking, measurement and large measurement types in order.
    mark.m_typ = static_cast<CursorType>(m_type->currentIndex() + 1);
    mark.m_show = m_show->isChecked();
    mark.m_desc = limitChars(m_desc->toPlainText().toStdString(), kMarkDescChars);
}
