#include "zc/CZcFrame.h"

#include "zc/CZcView.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

CZcFrame::CZcFrame(CZcView* view, QWidget* parent) : QMdiSubWindow(parent), m_view(view)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(view);
    setWindowTitle(view->title() + QStringLiteral(" - Zero crossings"));
    setAccessibleName(windowTitle());
    connect(view, &CZcView::closeRequested, this, &QMdiSubWindow::close);
}

CZcView* CZcFrame::viewOf(QMdiSubWindow* window)
{
    auto* frame = qobject_cast<CZcFrame*>(window);
    return frame ? frame->view() : nullptr;
}

std::vector<std::pair<QString, QString>> zcPropertyRows(const CZcView& view)
{
    using zcfile::TextField;
    const zcfile::ZcFile& f = view.file();
    std::size_t off = 0, main = 0;
    for (const zcfile::Dot& d : view.dots()) {
        off += d.status == zcfile::DotStatus::Off;
        main += d.status == zcfile::DotStatus::Main;
    }
    const auto s = [](const std::string& t) { return QString::fromStdString(t); };
    std::vector<std::pair<QString, QString>> rows = {
        {QStringLiteral("File"), s(view.path())},
        {QStringLiteral("Type"), QStringLiteral("Anabat %1 (zero crossings)").arg(f.type)},
        {QStringLiteral("Dots"), QStringLiteral("%1 (%2 off, %3 main)").arg(view.dots().size()).arg(off).arg(main)},
        {QStringLiteral("Duration"), QStringLiteral("%1 s").arg(f.lengthUs() / 1e6, 0, 'f', 6)},
        {QStringLiteral("Division ratio"), QString::number(f.divRatio)},
        {QStringLiteral("RES1"), QStringLiteral("%1 (%2 µs per tick)").arg(f.res1).arg(f.ticksToMicros(1))},
        {QStringLiteral("VRES"), QString::number(f.vres)},
        {QStringLiteral("Start time"), f.time.present() ? s(f.time.iso()) : QStringLiteral("(none)")},
        {QStringLiteral("Tape"), s(f.text(TextField::Tape))},
        {QStringLiteral("Date"), s(f.text(TextField::Date))},
        {QStringLiteral("Location"), s(f.text(TextField::Loc))},
        {QStringLiteral("Species"), s(f.text(TextField::Species))},
        {QStringLiteral("Spec"), s(f.text(TextField::Spec))},
        {QStringLiteral("Note"), s(f.text(TextField::Note))},
        {QStringLiteral("Note 1"), s(f.text(TextField::Note1))},
        {QStringLiteral("ID"), s(f.id())},
        {QStringLiteral("GPS"), s(f.gps())},
    };
    for (const std::string& w : f.warnings)
        rows.emplace_back(QStringLiteral("Warning"), s(w));
    GuanoRecord g;
    std::string error;
    if (f.guanoRecord(g, error)) {
        for (const GuanoField& field : g.fields())
            rows.emplace_back(field.key.empty() ? QStringLiteral("GUANO") : QStringLiteral("GUANO ") + s(field.key),
                              s(field.value));
    }
    return rows;
}

CZcPropertiesDlg::CZcPropertiesDlg(const CZcView& view, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("File Properties - ") + view.title());
    setAccessibleName(windowTitle());
    const auto rows = zcPropertyRows(view);
    auto* table = new QTableWidget(static_cast<int>(rows.size()), 2, this);
    table->setAccessibleName(QStringLiteral("Properties of the zero-crossing file"));
    table->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        table->setItem(i, 0, new QTableWidgetItem(rows[static_cast<std::size_t>(i)].first));
        table->setItem(i, 1, new QTableWidgetItem(rows[static_cast<std::size_t>(i)].second));
    }
    table->horizontalHeader()->setStretchLastSection(true);
    table->resizeColumnToContents(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setAccessibleName(QStringLiteral("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(buttons);
    resize(560, 520);
}
