#include "detectorfiles/CFileHandlingList.h"

#include "detectorfiles/DetectorFileDialogs.h"
#include "detectorfiles/FileCopyAndRename.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString qtext(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

CFileHandlingList::CFileHandlingList(const std::string& folder, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("R450Z/R9000Z File Management"));
    setAccessibleName(windowTitle());

    m_list = new QTreeWidget(this);
    m_list->setAccessibleName(QStringLiteral("Detector recordings"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setColumnCount(DetectorFileList::kColumnCount);
    QStringList headings;
    for (const auto& c : DetectorFileList::kColumns)
        headings << QString::fromUtf8(c.heading);
    m_list->setHeaderLabels(headings);
    // Widths in dialog units: a quarter of the average character width each.
    const int unit = std::max(1, fontMetrics().averageCharWidth());
    for (int i = 0; i < DetectorFileList::kColumnCount; ++i)
        m_list->setColumnWidth(i, DetectorFileList::kColumns[static_cast<std::size_t>(i)].width * unit / 4);

    m_status = new QLabel(this);
    m_status->setAccessibleName(QStringLiteral("List summary"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_copyRename = new QPushButton(QStringLiteral("Copy && Rename"), this);
    m_export = new QPushButton(QStringLiteral("Export"), this);
    m_copy = new QPushButton(QStringLiteral("Copy"), this);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {m_copyRename, m_export, m_copy, m_close}) {
        b->setAccessibleName(b->text().replace(QStringLiteral("&&"), QStringLiteral("&")));
        b->setAutoDefault(false);
    }
    m_copyRename->setToolTip(QStringLiteral("Copy the selected recordings to another folder under new names"));
    m_export->setToolTip(QStringLiteral("Write the list (the selected rows, or all) to a text file"));
    m_copy->setToolTip(QStringLiteral("Put the list (the selected rows, or all) on the clipboard (Ctrl+C)"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_copyRename);
    buttons->addWidget(m_export);
    buttons->addWidget(m_copy);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto* box = new QVBoxLayout(this);
    box->addWidget(m_list, 1);
    box->addWidget(m_status);
    box->addLayout(buttons);

    connect(m_copyRename, &QPushButton::clicked, this, &CFileHandlingList::copyAndRename);
    connect(m_export, &QPushButton::clicked, this, &CFileHandlingList::exportList);
    connect(m_copy, &QPushButton::clicked, this, &CFileHandlingList::copyToClipboard);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CFileHandlingList::updateButtons);
    // Ctrl+C copies the list wherever the focus is; the list itself would
    // copy only its current cell.
    auto* copyKey = new QShortcut(QKeySequence::Copy, this);
    connect(copyKey, &QShortcut::activated, this, &CFileHandlingList::copyToClipboard);
    m_list->installEventFilter(this);

    // Rows in the list's order: ascending by file name.
    if (!m_files.load(folder)) {
        m_status->setText(qtext(m_files.error()));
    } else {
        const std::vector<DetectorFileInfo>& files = m_files.files();
        for (std::size_t i = 0; i < files.size(); ++i) {
            auto* item = new QTreeWidgetItem;
            const DetectorFileList::Row texts = DetectorFileList::rowTexts(files[i]);
            for (int c = 0; c < DetectorFileList::kColumnCount; ++c)
                item->setText(c, qtext(texts[static_cast<std::size_t>(c)]));
            item->setData(0, Qt::UserRole, static_cast<int>(i));
            m_list->addTopLevelItem(item);
        }
        QString summary = QStringLiteral("%1: %2 detector recording%3")
                              .arg(QFile::decodeName(QByteArray::fromStdString(folder)))
                              .arg(files.size())
                              .arg(files.size() == 1 ? QString() : QStringLiteral("s"));
        if (!m_files.skipped().empty()) {
            summary += QStringLiteral(", %1 other file%2 left out")
                           .arg(m_files.skipped().size())
                           .arg(m_files.skipped().size() == 1 ? QString() : QStringLiteral("s"));
            QString why;
            for (const DetectorFileInfo& s : m_files.skipped())
                why += qtext(detectorDisplayText(s.fileName()) + ": " + s.skipReason) + QLatin1Char('\n');
            why.chop(1);
            m_status->setToolTip(why);
        }
        m_status->setText(summary);
    }
    updateButtons();
    // Wide enough for every column, as far as the screen allows.
    int width = 2 * m_list->frameWidth() + 40;
    for (int i = 0; i < DetectorFileList::kColumnCount; ++i)
        width += m_list->columnWidth(i);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    resize(width, 340);
}

bool CFileHandlingList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        if (event->type() == QEvent::KeyPress)
            copyToClipboard();
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

std::vector<int> CFileHandlingList::selectedRows() const
{
    std::vector<int> rows;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (item->isSelected())
            rows.push_back(item->data(0, Qt::UserRole).toInt());
    }
    return rows;
}

DetectorFileList::Table CFileHandlingList::textTable() const
{
    return m_files.textTable(selectedRows());
}

void CFileHandlingList::updateButtons()
{
    m_copyRename->setEnabled(!m_list->selectedItems().isEmpty());
}

void CFileHandlingList::copyAndRename()
{
    std::vector<std::string> paths;
    for (int i : selectedRows())
        paths.push_back(m_files.files()[static_cast<std::size_t>(i)].path);
    if (paths.empty()) {
        detectorFileDialogs().message(this, "No files selected!", IDetectorFileDialogs::Icon::Warning);
        return;
    }
    FileCopyAndRename dlg(paths, m_files.folder(), this);
    detectorFileDialogs().execDialog(dlg);
}

void CFileHandlingList::exportList()
{
    IDetectorFileDialogs& dialogs = detectorFileDialogs();
    const std::optional<std::string> path = dialogs.exportFileName(this, m_files.folder());
    if (!path)
        return;
    std::string message;
    if (!DetectorFileList::exportTable(*path, textTable(), message))
        dialogs.message(this, message, IDetectorFileDialogs::Icon::Warning);
}

void CFileHandlingList::copyToClipboard()
{
    const std::string text = DetectorFileList::tableText(textTable(), '\t', "\n");
    QGuiApplication::clipboard()->setText(qtext(text));
}
