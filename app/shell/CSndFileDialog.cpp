#include "shell/CSndFileDialog.h"

#include "shell/FileDialogTables.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

int g_lastOpenAs = 0;

QStringList qtFilters(const std::vector<FileFilter>& filters)
{
    QStringList out;
    for (const FileFilter& f : filters)
        out << QString::fromStdString(qtNameFilter(f));
    return out;
}

// Adds a labelled widget below the file type list of a Qt file dialog.
void addExtraRow(QFileDialog* dialog, QLabel* label, QWidget* widget)
{
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(widget, row, 1);
    }
}

}  // namespace

CSndFileDialog::CSndFileDialog(QWidget* parent, const QString& folder)
    : QFileDialog(parent, QString(), folder)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setWindowTitle(QStringLiteral("Open"));
    resize(820, 520);
    const QStringList filters = qtFilters(parseFilterList(kOpenFilterList));
    setNameFilters(filters);
    selectNameFilter(filters.value(kOpenDefaultFilterIndex - 1));

    m_openAs = new QComboBox(this);
    m_openAs->setObjectName(QStringLiteral("1013"));
    for (const OpenAsEntry& e : openAsEntries())
        m_openAs->addItem(QString::fromUtf8(e.text), e.type);
    m_openAs->setCurrentIndex(std::clamp(g_lastOpenAs, 0, m_openAs->count() - 1));
    auto* label = new QLabel(QStringLiteral("Open as:"), this);
    label->setBuddy(m_openAs);
    addExtraRow(this, label, m_openAs);
}

int CSndFileDialog::chosenType() const
{
    return openAsType(m_openAs->currentIndex());
}

int CSndFileDialog::lastOpenAsIndex()
{
    return g_lastOpenAs;
}

void CSndFileDialog::accept()
{
    g_lastOpenAs = std::max(0, m_openAs->currentIndex());
    QFileDialog::accept();
}

CSndSaveDialog::CSndSaveDialog(QWidget* parent, const QString& initialPath, int documentType)
    : QFileDialog(parent)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setWindowTitle(QStringLiteral("Save As"));
    resize(820, 520);
    m_filters = qtFilters(saveFilters(documentType));
    setNameFilters(m_filters);
    const int index = saveFilterForType(documentType);
    m_type = saveTypeForFilter(index);
    selectNameFilter(m_filters.value(index - 1));
    setDefaultSuffix(QString::fromLatin1(saveExtensionForFilter(index)));
    if (!initialPath.isEmpty())
        selectFile(initialPath);
    connect(this, &QFileDialog::filterSelected, this, &CSndSaveDialog::onFilterSelected);
}

QString CSndSaveDialog::fileNameText() const
{
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        return edit->text();
    return {};
}

void CSndSaveDialog::chooseFilter(int index)
{
    const QString f = m_filters.value(index - 1);
    selectNameFilter(f);
    onFilterSelected(f);
}

void CSndSaveDialog::onFilterSelected(const QString& filter)
{
    const int index = static_cast<int>(m_filters.indexOf(filter)) + 1;
    if (index < 1)
        return;
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(QString::fromStdString(stripExtension(edit->text().toStdString())));
    setDefaultSuffix(QString::fromLatin1(saveExtensionForFilter(index)));
    m_type = saveTypeForFilter(index);
}
