// The recordings of a project as a table model that never holds the table:
// the number of rows is counted by SQL, and rows are fetched a page at a time
// (LIMIT/OFFSET in the chosen order) into a small cache of pages, so that a
// project of a million recordings costs a few pages of memory.
#pragma once

#include "project/Project.h"

#include <QAbstractTableModel>

#include <list>
#include <optional>
#include <string>
#include <vector>

class RecordingTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Path, Night, Site, Calls, Labels, State, ColumnCount };
    static constexpr int kPageRows = 256;
    static constexpr int kCachedPages = 8;
    static constexpr int kLabelSortLimit = 100000;

    // `root` is where the recordings lie; files gone from there show as missing.
    RecordingTableModel(Project& project, std::string root, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // With "not vetted" the rows are not counted ahead (that reads every
    // recording's calls): they grow a page at a time as the view scrolls.
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    void setFilter(const review::RecordingFilter& filter);
    const review::RecordingFilter& filter() const { return m_filter; }
    void setRoot(const std::string& root);
    // Counts and fetches again (after labels changed).
    void refresh();

    // The row, fetching its page when needed; nothing past the end.
    std::optional<review::RecordingListRow> rowAt(int row) const;
    // Whether the file of a row is missing (stored so, or gone now).
    bool isMissing(int row) const;
    // Pages fetched from the database so far (for tests of the paging).
    int pagesFetched() const { return m_fetches; }
    std::int64_t totalRows() const { return m_count; }
    // False while rows of a "not vetted" filter remain to be fetched.
    bool countComplete() const { return !m_more; }

signals:
    // A database fault while fetching (another program holds a lock, ...).
    void failed(const QString& message) const;

private:
    struct Page {
        int number = 0;
        std::vector<review::RecordingListRow> rows;
        std::vector<bool> gone;  // the file is no longer there
    };
    const Page* page(int number) const;

    Project& m_project;
    std::string m_root;
    review::RecordingFilter m_filter;
    review::RecordingSort m_sort = review::RecordingSort::Path;
    bool m_descending = false;
    std::int64_t m_count = 0;
    bool m_lazy = false;  // counted as fetched (the not-vetted filter)
    bool m_more = false;  // a lazy count with rows still to fetch
    mutable std::list<Page> m_pages;  // most recently used first
    mutable int m_fetches = 0;
};
