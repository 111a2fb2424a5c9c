#include "project/ProjectWindow.h"

#include "project/RecordingTableModel.h"
#include "project/ReviewWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

// Enter on a row opens it, as a double-click does.
class RecordingTableView : public QTableView {
public:
    using QTableView::QTableView;
    std::function<void(int)> activate;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && currentIndex().isValid() && activate) {
            activate(currentIndex().row());
            return;
        }
        QTableView::keyPressEvent(e);
    }
};

}  // namespace

ProjectWindow::ProjectWindow(std::unique_ptr<Project> project, std::string path, OpenRecordingFn open,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_project(std::move(project)), m_path(std::move(path)), m_open(std::move(open))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Project %1").arg(QFileInfo(qs(m_path)).fileName()));
    setAccessibleName(tr("Project"));

    const auto combo = [this](const QString& name) {
        auto* c = new QComboBox(this);
        c->setAccessibleName(name);
        c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return c;
    };
    m_night = combo(tr("Night filter"));
    m_site = combo(tr("Site filter"));
    m_label = combo(tr("Label filter"));
    m_notVetted = new QCheckBox(tr("Not &vetted only"), this);
    m_notVetted->setAccessibleName(tr("Not vetted only"));
    fillChoices();

    auto* filters = new QHBoxLayout;
    const auto labelled = [&](const QString& text, QWidget* w) {
        auto* l = new QLabel(text, this);
        l->setBuddy(w);
        filters->addWidget(l);
        filters->addWidget(w);
    };
    labelled(tr("&Night:"), m_night);
    labelled(tr("&Site:"), m_site);
    labelled(tr("&Label:"), m_label);
    filters->addWidget(m_notVetted);
    filters->addStretch(1);

    // Sorting a season by night, site or calls goes through an index.
    review::prepareForTable(*m_project);
    m_model = new RecordingTableModel(*m_project, root(), this);
    auto* table = new RecordingTableView(this);
    table->activate = [this](int row) { openRow(row); };
    m_table = table;
    m_table->setAccessibleName(tr("Recordings"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(RecordingTableModel::Path, Qt::AscendingOrder);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // One line a row; long paths keep their file names' ends in view.
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideMiddle);
    const int em = m_table->fontMetrics().horizontalAdvance(QLatin1Char('M'));
    m_table->setColumnWidth(RecordingTableModel::Path, 40 * em);
    m_table->setColumnWidth(RecordingTableModel::Night, 8 * em);
    m_table->setColumnWidth(RecordingTableModel::Site, 9 * em);
    m_table->setColumnWidth(RecordingTableModel::Calls, 4 * em);
    m_table->setColumnWidth(RecordingTableModel::Labels, 14 * em);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { openRow(i.row()); });

    auto* review = new QPushButton(tr("&Review passes…"), this);
    review->setAccessibleName(tr("Review passes"));
    connect(review, &QPushButton::clicked, this, [this] { openReview(); });
    auto* write = new QPushButton(tr("&Write labels to files"), this);
    write->setAccessibleName(tr("Write labels to files"));
    connect(write, &QPushButton::clicked, this, [this] { writeLabels(); });
    m_status = new QLabel(this);
    m_status->setAccessibleName(tr("Status"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(review);
    buttons->addWidget(write);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(1000, 560);

    connect(m_night, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });
    connect(m_site, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });
    connect(m_label, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });
    connect(m_notVetted, &QCheckBox::toggled, this, [this] { applyFilter(); });
    connect(m_model, &RecordingTableModel::failed, this, [this](const QString& text) { m_status->setText(text); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { updateStatus(); });
    updateStatus();
}

ProjectWindow::~ProjectWindow()
{
    // The review uses the project: it goes first.
    delete m_review.data();
}

std::string ProjectWindow::root() const
{
    try {
        return m_project->root();
    } catch (const std::exception&) {
        return {};
    }
}

QString ProjectWindow::statusText() const
{
    return m_status->text();
}

void ProjectWindow::fillChoices()
{
    const auto fill = [](QComboBox* c, const QString& all, const std::vector<std::string>& values) {
        const QSignalBlocker block(c);
        const QString current = c->currentIndex() > 0 ? c->currentText() : QString();
        c->clear();
        c->addItem(all);
        for (const std::string& v : values)
            c->addItem(v.empty() ? QStringLiteral("(none)") : qs(v), qs(v));
        if (const int i = c->findText(current); i > 0)
            c->setCurrentIndex(i);
    };
    try {
        fill(m_night, tr("All nights"), review::distinctNights(*m_project));
        fill(m_site, tr("All sites"), review::distinctSites(*m_project));
        fill(m_label, tr("All labels"), review::distinctLabels(*m_project));
    } catch (const std::exception& e) {
        if (m_status)
            m_status->setText(qs(e.what()));
    }
}

void ProjectWindow::applyFilter()
{
    review::RecordingFilter f;
    const auto value = [](QComboBox* c) {
        return c->currentIndex() > 0 ? c->currentData().toString().toStdString() : std::string();
    };
    f.night = value(m_night);
    f.site = value(m_site);
    f.label = value(m_label);
    f.notVetted = m_notVetted->isChecked();
    // A site or night named "" is a real choice: it stays apart from "all".
    m_model->setFilter(f);
    updateStatus();
}

void ProjectWindow::updateStatus()
{
    const int n = static_cast<int>(m_model->totalRows());
    m_status->setText(!m_model->countComplete() ? tr("%1 recordings and more").arg(n)
                      : n == 1                  ? tr("1 recording")
                                                : tr("%1 recordings").arg(n));
}

bool ProjectWindow::openRow(int row)
{
    const auto r = m_model->rowAt(row);
    if (!r)
        return false;
    const std::string file = root().empty() ? r->rec.path : root() + "/" + r->rec.path;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        projectDialogs().message(this, "The recording " + file +
                                           " is missing: it was moved or deleted since it was added to the project. "
                                           "Its calls and labels are kept.");
        return false;
    }
    std::optional<CallPlace> place;
    try {
        if (const auto pass = review::passAt(*m_project, r->rec.id, 0, Project::kStoredPassGapMs)) {
            const CallMeasures& c = pass->calls.front().m;
            place = CallPlace{c.startFrame, c.endFrame, c.minFreqHz, c.maxFreqHz};
        }
    } catch (const std::exception& e) {
        m_status->setText(qs(e.what()));
    }
    return m_open ? m_open(file, place) : false;
}

ReviewWindow* ProjectWindow::openReview()
{
    if (!m_review) {
        m_review = new ReviewWindow(*m_project, root(), m_model->filter(), m_open, this);
        m_review->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_review, &ReviewWindow::labelsChanged, this, [this] {
            m_model->refresh();
            updateStatus();
        });
    }
    bool shown = false;
    if (const QModelIndex i = m_table->currentIndex(); i.isValid())
        if (const auto r = m_model->rowAt(i.row()); r && r->rec.calls > 0)
            shown = m_review->showPass(r->rec.id, 0);
    if (!shown)
        m_review->showFirst();
    m_review->show();
    m_review->raise();
    m_review->activateWindow();
    m_review->setFocus();
    return m_review;
}

int ProjectWindow::writeLabels()
{
    if (!projectDialogs().ask(this, "Write the manual labels into the recordings' files (GUANO \"Species Manual ID\")?"
                                    " Nothing else in the files changes."))
        return 0;
    m_status->setText(tr("Writing labels…"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    review::WriteLabelsResult r;
    try {
        r = review::writeLabelsToFiles(*m_project, root(), [](std::int64_t, std::int64_t) {
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return true;
        });
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        projectDialogs().message(this, std::string("The labels were not all written: ") + e.what());
        return 0;
    }
    QApplication::restoreOverrideCursor();
    QString text = tr("Labels written into %1 file(s); %2 already had them.").arg(r.written).arg(r.unchanged);
    m_status->setText(text);
    if (!r.failures.empty()) {
        std::string msg = text.toStdString() + "\n" + std::to_string(r.failures.size()) +
                          " file(s) could not be written and were left unchanged:\n";
        for (std::size_t i = 0; i < r.failures.size() && i < 10; ++i)
            msg += r.failures[i] + "\n";
        if (r.failures.size() > 10)
            msg += "…\n";
        projectDialogs().message(this, msg);
    }
    m_model->refresh();
    return r.written;
}

// ---- opening ----

namespace {

IProjectDialogs* g_dialogs = nullptr;

bool isFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string lastProjectFolder;

}  // namespace

IProjectDialogs& projectDialogs()
{
    static CProjectDialogs real;
    return g_dialogs ? *g_dialogs : real;
}

void setProjectDialogs(IProjectDialogs* dialogs)
{
    g_dialogs = dialogs;
}

ProjectWindow* openProjectWindow(QWidget* parent, const std::string& path, const OpenRecordingFn& open)
{
    IProjectDialogs& dialogs = projectDialogs();
    std::string file = path;
    if (file.empty()) {
        const auto chosen = dialogs.projectFile(parent, lastProjectFolder);
        if (!chosen)
            return nullptr;
        file = *chosen;
    }
    lastProjectFolder = QFileInfo(qs(file)).absolutePath().toStdString();
    std::unique_ptr<Project> project;
    try {
        project = Project::open(file);
    } catch (const ProjectError& e) {
        std::string hint;
        switch (e.kind()) {
        case ProjectError::Kind::Locked:
            hint = "\nAnother program is writing to it; try again when it has finished.";
            break;
        case ProjectError::Kind::NewerSchema: hint = "\nOpen it with the newer Vesperon that made it."; break;
        case ProjectError::Kind::NotAProject:
            hint = "\nA project is made with \"vesperon-cli project init\".";
            break;
        default: break;
        }
        dialogs.message(parent, "The project was not opened: " + std::string(e.what()) + hint);
        return nullptr;
    } catch (const std::exception& e) {
        dialogs.message(parent, "The project was not opened: " + std::string(e.what()));
        return nullptr;
    }
    try {
        const std::string root = project->root();
        if (!root.empty() && !isFolder(root) &&
            dialogs.ask(parent, "The folder of this project's recordings, " + root +
                                    ", is not there any more. Has it moved? Choose its new place to find the "
                                    "recordings again (nothing is changed until the new folder is checked).")) {
            if (const auto chosen = dialogs.chooseFolder(parent, "The new place of " + root, lastProjectFolder)) {
                int checked = 0;
                if (review::rootHoldsRecordings(*project, *chosen, 5, &checked)) {
                    project->setRoot(*chosen);
                } else {
                    dialogs.message(parent, *chosen + " does not hold this project's recordings (the contents of " +
                                                std::to_string(checked) +
                                                " checked files differ or are absent); the project keeps " + root +
                                                ". Its recordings show as missing.");
                }
            }
        }
    } catch (const std::exception& e) {
        dialogs.message(parent, std::string("The project's folder was not changed: ") + e.what());
    }
    auto* w = new ProjectWindow(std::move(project), file, open, parent);
    w->show();
    w->raise();
    return w;
}
