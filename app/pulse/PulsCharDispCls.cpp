#include "pulse/PulsCharDispCls.h"

#include "pulse/PulseTable.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

PulsCharDispCls::PulsCharDispCls(CVesSoundDoc& doc, const VesPulsParms& parms, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_parms(parms)
{
    setWindowTitle(QStringLiteral("Pulse characteristics"));
    setAccessibleName(QStringLiteral("Pulse characteristics"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    const auto columns = pulseTableColumns(parms);
    const auto first = pulseTableFirstRow(parms);
    m_table = new QTableWidget(0, static_cast<int>(first.size()), this);
    m_table->setAccessibleName(QStringLiteral("Pulse table"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    QStringList heads{QString()};
    for (PulseColumn c : columns)
        heads << QString::fromLatin1(pulseColumnHeading(c));
    m_table->setHorizontalHeaderLabels(heads);
    for (int c = 0; c < m_table->columnCount(); ++c)
        m_table->setColumnWidth(c, 80);
    m_table->insertRow(0);
    for (std::size_t c = 0; c < first.size(); ++c)
        m_table->setItem(0, static_cast<int>(c), new QTableWidgetItem(QString::fromStdString(first[c])));

    auto* copy = new QPushButton(QStringLiteral("Copy "), this);
    copy->setAccessibleName(QStringLiteral("Copy"));
    m_clearMarks = new QPushButton(QStringLiteral("Clear Marks"), this);
    m_clearMarks->setAccessibleName(QStringLiteral("Clear Marks"));
    m_clearMarks->hide();
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setAccessibleName(QStringLiteral("Close"));
    connect(copy, &QPushButton::clicked, this, &PulsCharDispCls::copyTable);
    connect(m_clearMarks, &QPushButton::clicked, this, &PulsCharDispCls::clearMarks);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    m_status = new QLabel(this);
    m_status->setAccessibleName(QStringLiteral("Status"));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(copy);
    buttons->addWidget(m_clearMarks);
    buttons->addWidget(close);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_table, 1);
    top->addLayout(buttons);
    auto* box = new QVBoxLayout(this);
    box->addLayout(top, 1);
    box->addWidget(m_status);
    resize(std::min(1000, 140 + 80 * m_table->columnCount()), 320);
}

void PulsCharDispCls::addRow(const PulseResult& result)
{
    m_results.push_back(result);
    const auto cells = pulseTableRow(m_parms, result);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    for (std::size_t c = 0; c < cells.size() && static_cast<int>(c) < m_table->columnCount(); ++c)
        m_table->setItem(row, static_cast<int>(c), new QTableWidgetItem(QString::fromStdString(cells[c])));
    for (int id : result.markIds)
        if (id >= 0)
            m_markIds.push_back(id);
    if (!m_markIds.empty())
        m_clearMarks->show();
}

void PulsCharDispCls::setStatus(const std::string& text)
{
    m_status->setText(QString::fromStdString(text));
}

std::string PulsCharDispCls::tableText() const
{
    return pulseTableText(m_parms, m_results);
}

void PulsCharDispCls::copyTable()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::clipboard()->setText(QString::fromStdString(tableText()));
    QApplication::restoreOverrideCursor();
}

bool PulsCharDispCls::hasMarks() const
{
    return !m_markIds.empty();
}

int PulsCharDispCls::clearMarks()
{
    const int n = removePulseMarks(m_doc, m_markIds);
    m_markIds.clear();
    m_clearMarks->hide();
    emit marksChanged();
    return n;
}
