#include "calls/CCallsWnd.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "pulse/CallDetector.h"
#include "pulse/CallTable.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CCallsWnd::CCallsWnd(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Calls"));
    setAccessibleName(tr("Calls"));
    setObjectName("CCallsWnd");
    const std::vector<std::string> headings = callColumnHeadings();
    m_table = new QTableWidget(0, static_cast<int>(headings.size()), this);
    m_table->setAccessibleName(tr("Calls table"));
    QStringList labels;
    for (const std::string& h : headings)
        labels << QString::fromStdString(h);
    m_table->setHorizontalHeaderLabels(labels);
    m_table->verticalHeader()->setVisible(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_status = new QLabel(this);
    m_status->setAccessibleName(tr("Status"));
    m_mark = new QPushButton(tr("&Mark calls"), this);
    m_mark->setAccessibleName(tr("Mark calls"));
    auto* copy = new QPushButton(tr("&Copy"), this);
    copy->setAccessibleName(tr("Copy"));
    auto* close = new QPushButton(tr("C&lose"), this);
    close->setAccessibleName(tr("Close"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_mark);
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(900, 320);

    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (row >= 0 && row < static_cast<int>(m_calls.size()))
            emit callChosen(row);
    });
    connect(m_mark, &QPushButton::clicked, this, [this] { emit markCallsAsked(); });
    connect(copy, &QPushButton::clicked, this, &CCallsWnd::copyTable);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void CCallsWnd::setCalls(std::vector<CallMeasures> calls, const QString& status)
{
    m_calls = std::move(calls);
    m_species.clear();
    m_probabilities.clear();
    fill();
    m_status->setText(status);
    m_mark->setEnabled(!m_calls.empty());
}

void CCallsWnd::setSpecies(std::vector<std::string> species, std::vector<float> probabilities, const QString& status)
{
    if (species.size() != m_calls.size() || probabilities.size() != m_calls.size())
        return;
    m_species = std::move(species);
    m_probabilities = std::move(probabilities);
    fill();
    m_status->setText(status);
}

void CCallsWnd::fill()
{
    const bool identified = !m_species.empty();
    const int first = identified ? 2 : 0;
    const std::vector<std::string> headings = callColumnHeadings();
    QStringList labels;
    if (identified)
        labels << tr("species") << tr("probability");
    for (const std::string& h : headings)
        labels << QString::fromStdString(h);
    m_table->clear();
    m_table->setColumnCount(static_cast<int>(labels.size()));
    m_table->setHorizontalHeaderLabels(labels);
    m_table->setRowCount(static_cast<int>(m_calls.size()));
    for (int r = 0; r < static_cast<int>(m_calls.size()); ++r) {
        const auto row = static_cast<std::size_t>(r);
        if (identified) {
            m_table->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(m_species[row])));
            auto* p = new QTableWidgetItem(QString::fromStdString(vkit::formatC("%.3f", m_probabilities[row])));
            p->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(r, 1, p);
        }
        const std::vector<std::string> cells = callCells(m_calls[row]);
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(cells[static_cast<std::size_t>(c)]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(r, first + c, item);
        }
    }
    m_table->resizeColumnsToContents();
}

void CCallsWnd::copyTable()
{
    QApplication::clipboard()->setText(QString::fromStdString(callTableText(m_calls)));
}

namespace {

class ProgressSink : public ICallSink {
public:
    ProgressSink(QProgressDialog& dialog, std::vector<CallMeasures>& calls) : m_dialog(dialog), m_calls(calls) {}
    void callFound(const CallMeasures& call) override { m_calls.push_back(call); }
    bool callProgress(std::int64_t done, std::int64_t total) override
    {
        if (total > 0)
            m_dialog.setValue(static_cast<int>(1000.0 * static_cast<double>(done) / static_cast<double>(total)));
        QCoreApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog& m_dialog;
    std::vector<CallMeasures>& m_calls;
};

}  // namespace

bool findCallsWithProgress(QWidget* parent, CVesSoundDoc& doc, std::int64_t first, std::int64_t last,
                           const CallDetectorSettings& settings, std::vector<CallMeasures>& calls)
{
    QProgressDialog progress(QObject::tr("Finding calls..."), QObject::tr("Cancel"), 0, 1000, parent);
    progress.setWindowTitle(QObject::tr("Find calls"));
    progress.setAccessibleName(QObject::tr("Find calls progress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    calls.clear();
    ProgressSink sink(progress, calls);
    const CallRunStats stats = detectCalls(doc, first, last, settings, sink);
    return stats.completed;
}
