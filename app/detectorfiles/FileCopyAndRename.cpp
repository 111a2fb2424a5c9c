#include "detectorfiles/FileCopyAndRename.h"

#include "detectorfiles/DetectorFileDialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

QString qpath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string spath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

FileCopyAndRename::FileCopyAndRename(std::vector<std::string> paths, std::string sourceFolder, QWidget* parent)
    : QDialog(parent), m_paths(std::move(paths)), m_source(std::move(sourceFolder))
{
    setWindowTitle(QStringLiteral("Copy And Rename"));
    setAccessibleName(windowTitle());

    m_destination = new QLineEdit(this);
    m_destination->setAccessibleName(QStringLiteral("Copy to directory"));
    m_destination->setMinimumWidth(380);
    m_browse = new QPushButton(QStringLiteral("Browse"), this);
    m_browse->setAccessibleName(QStringLiteral("Browse"));
    m_browse->setAutoDefault(false);
    m_addDate = new QCheckBox(QStringLiteral("Add date and time before the orignal name."), this);
    m_addDate->setAccessibleName(m_addDate->text());
    m_prefix = new QLineEdit(this);
    m_prefix->setAccessibleName(QStringLiteral("Add this as a prefix to all file names"));
    m_suffix = new QLineEdit(this);
    m_suffix->setAccessibleName(QStringLiteral("Add this as a suffix to all file names"));
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->setAccessibleName(QStringLiteral("OK and Cancel"));
    box->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    box->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));

    auto* grid = new QGridLayout;
    auto* destLabel = new QLabel(QStringLiteral("Copy to directory"), this);
    destLabel->setBuddy(m_destination);
    grid->addWidget(destLabel, 0, 0, 1, 2);
    grid->addWidget(m_destination, 1, 0);
    grid->addWidget(m_browse, 1, 1);
    grid->addWidget(m_addDate, 2, 0, 1, 2);
    auto* prefixLabel = new QLabel(m_prefix->accessibleName(), this);
    prefixLabel->setBuddy(m_prefix);
    grid->addWidget(prefixLabel, 3, 0, 1, 2);
    grid->addWidget(m_prefix, 4, 0, 1, 2);
    auto* suffixLabel = new QLabel(m_suffix->accessibleName(), this);
    suffixLabel->setBuddy(m_suffix);
    grid->addWidget(suffixLabel, 5, 0, 1, 2);
    grid->addWidget(m_suffix, 6, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(box);

    connect(m_browse, &QPushButton::clicked, this, &FileCopyAndRename::browse);
    connect(box, &QDialogButtonBox::accepted, this, &FileCopyAndRename::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    m_destination->setText(qpath(initialDestination(detectorFolders().destination, m_source)));
}

std::string FileCopyAndRename::initialDestination(const std::string& remembered, const std::string& sourceFolder)
{
    const std::string d = remembered.empty() ? sourceFolder : remembered;
    if (d.size() > 3)
        return d;
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty() || !QDir().mkpath(docs))
        return {};
    return spath(docs);
}

void FileCopyAndRename::browse()
{
    DetectorFolders& folders = detectorFolders();
    folders.destination = spath(m_destination->text());
    const std::optional<std::string> chosen = detectorFileDialogs().chooseFolder(
        this, "Please select a folder for storing copied files :", folders.destination);
    if (!chosen)
        return;
    folders.destination = folderOfChoice(*chosen);
    m_destination->setText(qpath(folders.destination));
}

void FileCopyAndRename::accept()
{
    IDetectorFileDialogs& dialogs = detectorFileDialogs();
    const std::string dest = spath(m_destination->text());
    const std::string problem = DetectorFileCopy::checkDestination(dest, m_source);
    if (!problem.empty()) {
        dialogs.message(this, problem, IDetectorFileDialogs::Icon::Warning);
        return;  // the dialog stays open
    }
    CopyRenameOptions options;
    options.addDate = m_addDate->isChecked();
    options.prefix = m_prefix->text().toStdString();
    options.suffix = m_suffix->text().toStdString();

    QProgressDialog progress(QStringLiteral("Copying..."), QStringLiteral("Cancel"), 0,
                             static_cast<int>(m_paths.size()), this);
    progress.setWindowTitle(QStringLiteral("Copy And Rename"));
    progress.setAccessibleName(QStringLiteral("Copy progress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    m_result = DetectorFileCopy::run(
        m_paths, dest, options,
        [&](const DetectorFileCopy::Failure& f) {
            // The question must not hide behind the progress, nor the
            // progress come up over it: it shows again with the next file.
            progress.reset();
            return dialogs.askContinue(this, DetectorFileCopy::failureText(f) + "\nContinue copying?");
        },
        [&](std::size_t index, std::size_t) {
            progress.setValue(static_cast<int>(index));
            progress.setLabelText(qpath(m_paths[index]));
            return !progress.wasCanceled();
        });
    progress.reset();
    dialogs.message(this, DetectorFileCopy::summary(m_result.copied, dest), IDetectorFileDialogs::Icon::Information);
    QDialog::accept();
}
