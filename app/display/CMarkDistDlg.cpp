#include "display/CMarkDistDlg.h"

#include "display/CursorMarks.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CMarkDistDlg::CMarkDistDlg(std::vector<std::vector<std::string>> table, QWidget* parent)
    : QDialog(parent), m_table(std::move(table))
{
    setWindowTitle(QStringLiteral("Mark distances"));
    setAccessibleName(QStringLiteral("Mark distances"));
    const int n = m_table.empty() ? 0 : static_cast<int>(m_table.size()) - 1;
    m_list = new QTableWidget(n, n, this);
    m_list->setAccessibleName(QStringLiteral("Distances between marks"));
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int k = 0; k < n; ++k) {
        m_list->setHorizontalHeaderItem(k, new QTableWidgetItem(QString::fromStdString(m_table[0][k + 1])));
        m_list->setVerticalHeaderItem(k, new QTableWidgetItem(QString::fromStdString(m_table[k + 1][0])));
        for (int c = 0; c < n; ++c)
            m_list->setItem(k, c, new QTableWidgetItem(QString::fromStdString(m_table[k + 1][c + 1])));
    }
    m_list->resizeColumnsToContents();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("Copy "), QDialogButtonBox::ActionRole);
    copy->setAccessibleName(QStringLiteral("Copy"));
    connect(copy, &QPushButton::clicked, this, &CMarkDistDlg::copyToClipboard);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* box = new QVBoxLayout(this);
    box->addWidget(m_list);
    box->addWidget(buttons);
    resize(std::min(900, 160 + 90 * n), std::min(600, 120 + 30 * n));
}

void CMarkDistDlg::copyToClipboard()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::clipboard()->setText(QString::fromStdString(tableText(m_table)));
    QApplication::restoreOverrideCursor();
}
