#include "project/RecordingTableModel.h"

#include <QBrush>
#include <QColor>

#include <sys/stat.h>

#include <algorithm>

RecordingTableModel::RecordingTableModel(Project& project, std::string root, QObject* parent)
    : QAbstractTableModel(parent), m_project(project), m_root(std::move(root))
{
    refresh();
}

int RecordingTableModel::rowCount(const QModelIndex& parent) const
{
    // The view's rows are ints; a project beyond that shows its first 2^31 - 1.
    return parent.isValid() ? 0 : static_cast<int>(std::min<std::int64_t>(m_count, 0x7fffffff));
}

int RecordingTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordingTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Path: return tr("Recording");
    case Night: return tr("Night");
    case Site: return tr("Site");
    case Calls: return tr("Calls");
    case Labels: return tr("Labels");
    case State: return tr("State");
    default: return {};
    }
}

const RecordingTableModel::Page* RecordingTableModel::page(int number) const
{
    for (auto it = m_pages.begin(); it != m_pages.end(); ++it)
        if (it->number == number) {
            m_pages.splice(m_pages.begin(), m_pages, it);
            return &m_pages.front();
        }
    Page p;
    p.number = number;
    try {
        p.rows = review::recordingPage(m_project, m_filter, m_sort, m_descending,
                                       static_cast<std::int64_t>(number) * kPageRows, kPageRows,
                                       m_lazy ? -1 : m_count);
    } catch (const std::exception& e) {
        emit failed(QString::fromStdString(e.what()));
        return nullptr;
    }
    ++m_fetches;
    // Only the rows of a page are looked at on the disk, as they come into view.
    for (const auto& r : p.rows) {
        struct stat st {};
        p.gone.push_back(!r.rec.missing && !m_root.empty() &&
                         ::stat((m_root + "/" + r.rec.path).c_str(), &st) != 0);
    }
    m_pages.push_front(std::move(p));
    if (static_cast<int>(m_pages.size()) > kCachedPages)
        m_pages.pop_back();
    return &m_pages.front();
}

std::optional<review::RecordingListRow> RecordingTableModel::rowAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return std::nullopt;
    const Page* p = page(row / kPageRows);
    const auto i = static_cast<std::size_t>(row % kPageRows);
    if (!p || i >= p->rows.size())
        return std::nullopt;
    return p->rows[i];
}

bool RecordingTableModel::isMissing(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    const Page* p = page(row / kPageRows);
    const auto i = static_cast<std::size_t>(row % kPageRows);
    return p && i < p->rows.size() && (p->rows[i].rec.missing || p->gone[i]);
}

QVariant RecordingTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ForegroundRole && role != Qt::ToolTipRole))
        return {};
    const Page* p = page(index.row() / kPageRows);
    const auto i = static_cast<std::size_t>(index.row() % kPageRows);
    if (!p || i >= p->rows.size())
        return {};
    const review::RecordingListRow& r = p->rows[i];
    const bool missing = r.rec.missing || p->gone[i];
    if (role == Qt::ForegroundRole)
        return missing || r.rec.error ? QVariant(QBrush(QColor(160, 0, 0))) : QVariant();
    if (role == Qt::ToolTipRole)
        return r.rec.error ? QString::fromStdString(*r.rec.error) : QVariant();
    switch (index.column()) {
    case Path: return QString::fromStdString(r.rec.path);
    case Night: return QString::fromStdString(r.rec.night);
    case Site: return QString::fromStdString(r.rec.site);
    case Calls: return r.rec.calls < 0 ? QVariant(tr("—")) : QVariant(r.rec.calls);
    case Labels: return QString::fromStdString(r.labels);
    case State:
        if (missing)
            return tr("missing");
        if (r.rec.error)
            return tr("unreadable");
        if (r.rec.calls < 0)
            return tr("not analysed");
        return {};
    default: return {};
    }
}

void RecordingTableModel::sort(int column, Qt::SortOrder order)
{
    using review::RecordingSort;
    RecordingSort s = RecordingSort::Path;
    switch (column) {
    case Night: s = RecordingSort::Night; break;
    case Site: s = RecordingSort::Site; break;
    case Calls: s = RecordingSort::Calls; break;
    case Labels: s = RecordingSort::Labels; break;
    default: break;
    }
    // The labels are made per row: ordering by them reads every row's, which
    // a large season cannot afford on each page.
    if (s == RecordingSort::Labels && m_count > kLabelSortLimit) {
        emit failed(tr("Sorting by labels is offered up to %1 recordings: filter by night, site or label first.")
                        .arg(kLabelSortLimit));
        return;
    }
    beginResetModel();
    m_sort = s;
    m_descending = order == Qt::DescendingOrder;
    m_pages.clear();
    endResetModel();
}

void RecordingTableModel::setFilter(const review::RecordingFilter& filter)
{
    m_filter = filter;
    refresh();
}

void RecordingTableModel::setRoot(const std::string& root)
{
    m_root = root;
    refresh();
}

void RecordingTableModel::refresh()
{
    beginResetModel();
    m_pages.clear();
    m_lazy = m_filter.notVetted;
    m_more = false;
    m_count = 0;
    if (m_lazy) {
        m_more = true;
        if (const Page* first = page(0)) {
            m_count = static_cast<std::int64_t>(first->rows.size());
            m_more = first->rows.size() == static_cast<std::size_t>(kPageRows);
        } else {
            m_more = false;
        }
    } else {
        try {
            m_count = review::countRecordings(m_project, m_filter);
        } catch (const std::exception& e) {
            emit failed(QString::fromStdString(e.what()));
        }
    }
    endResetModel();
}

bool RecordingTableModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_lazy && m_more;
}

void RecordingTableModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const Page* next = page(static_cast<int>(m_count / kPageRows));
    if (!next || next->rows.empty()) {
        m_more = false;
        return;
    }
    const auto n = static_cast<std::int64_t>(next->rows.size());
    beginInsertRows({}, static_cast<int>(m_count), static_cast<int>(m_count + n - 1));
    m_count += n;
    m_more = n == kPageRows;
    endInsertRows();
}
