#include "display/CUserColorMapsDlg.h"

#include "widgets/CColorButton.h"
#include "widgets/CNumEdit.h"

#include <QApplication>
#include <QColorDialog>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

std::function<QColor(const QColor&, QWidget*)>& chooser()
{
    static std::function<QColor(const QColor&, QWidget*)> c = [](const QColor& initial, QWidget* parent) {
        return QColorDialog::getColor(initial, parent, QStringLiteral("Color"));
    };
    return c;
}

const NumEditFormat kDbField{3, -200000, 20000, true, false};
const NumEditFormat kCountField{0, 1, 999, false, false};

// The dB fields show 2 decimals of thousandths.
void setDb(CNumEdit* e, std::int32_t thousandths)
{
    e->setText(QString::fromStdString(colorMapDbText(thousandths)));
}

// The focus left an edit: `left` runs once.
class FocusOut : public QObject {
public:
    FocusOut(QWidget* w, std::function<void()> left) : QObject(w), m_left(std::move(left)) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::FocusOut)
            m_left();
        return false;
    }

private:
    std::function<void()> m_left;
};

}  // namespace

void CColorMapEditDlg::setColorChooser(std::function<QColor(const QColor&, QWidget*)> c)
{
    chooser() = std::move(c);
}

CColorMapEditDlg::CColorMapEditDlg(const VesColorMap& map, QWidget* parent) : QDialog(parent), m_map(map), m_work(map.m_bands)
{
    setWindowTitle(QStringLiteral("Spectrogram Color mapping"));
    setAccessibleName(windowTitle());
    auto* box = new QVBoxLayout(this);
    auto* head = new QGridLayout;
    m_name = new QLineEdit(QString::fromStdString(map.m_name), this);
    m_name->setMaxLength(kColorMapNameChars);
    m_name->setAccessibleName(QStringLiteral("Name"));
    head->addWidget(new QLabel(QStringLiteral("Name"), this), 0, 0);
    head->addWidget(m_name, 0, 1);
    m_lastUpdate = new QLabel(this);
    m_lastUpdate->setAccessibleName(QStringLiteral("Last update"));
    if (map.m_modTime != 0) {
        const qint64 ms = (map.m_modTime / 10000) - 11644473600LL * 1000;
        const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toLocalTime();
        const QLocale loc;
        m_lastUpdate->setText(QStringLiteral("%1 %2").arg(loc.toString(t.date(), QLocale::ShortFormat),
                                                         loc.toString(t.time(), QLocale::ShortFormat)));
    }
    head->addWidget(new QLabel(QStringLiteral("Last update"), this), 1, 0);
    head->addWidget(m_lastUpdate, 1, 1);
    box->addLayout(head);

    auto* rowsBox = new QHBoxLayout;
    auto* grid = new QGridLayout;
    const QStringList titles = {QString(), QStringLiteral("From (dB)"), QStringLiteral("To (dB)"),
                                QStringLiteral("Step (dB)"), QStringLiteral("Count"), QStringLiteral("From"),
                                QStringLiteral("To")};
    for (int c = 0; c < titles.size(); ++c)
        grid->addWidget(new QLabel(titles[c], this), 0, c);
    for (int r = 0; r < kColorMapVisibleRows; ++r) {
        Row& w = m_rows[static_cast<std::size_t>(r)];
        w.number = new QLabel(this);
        w.from = new CNumEdit(kDbField, this);
        w.to = new CNumEdit(kDbField, this);
        w.step = new CNumEdit(kDbField, this);
        w.count = new CNumEdit(kCountField, this);
        w.colFrom = new CColorButton(QStringLiteral("From"), this);
        w.colTo = new CColorButton(QStringLiteral("To"), this);
        const QString n = QString::number(r + 1);
        w.from->setAccessibleName("From (dB) " + n);
        w.to->setAccessibleName("To (dB) " + n);
        w.step->setAccessibleName("Step (dB) " + n);
        w.count->setAccessibleName("Count " + n);
        w.colFrom->setAccessibleName("From colour " + n);
        w.colTo->setAccessibleName("To colour " + n);
        for (CNumEdit* e : {w.from, w.to, w.step})
            e->setMaximumWidth(80);
        w.count->setMaximumWidth(60);
        const BandField fields[] = {BandField::DbFrom, BandField::DbTo, BandField::DbStep, BandField::Count};
        CNumEdit* edits[] = {w.from, w.to, w.step, w.count};
        for (int k = 0; k < 4; ++k)
            new FocusOut(edits[k], [this, r, f = fields[k]] { leftField(r, f); });
        for (CColorButton* b : {w.colFrom, w.colTo})
            connect(b, &QPushButton::clicked, this, [this, b] {
                const QColor c = chooser()(b->color(), this);
                if (c.isValid())
                    b->setColor(c);
            });
        QWidget* cells[] = {w.number, w.from, w.to, w.step, w.count, w.colFrom, w.colTo};
        for (int c = 0; c < 7; ++c)
            grid->addWidget(cells[c], r + 1, c);
    }
    rowsBox->addLayout(grid, 1);
    m_scroll = new QScrollBar(Qt::Vertical, this);
    m_scroll->setRange(0, kColorMapMaxTopRow);
    m_scroll->setPageStep(kColorMapVisibleRows);
    m_scroll->setSingleStep(1);
    m_scroll->setAccessibleName(QStringLiteral("Bands"));
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_scrolling || v == m_top)
            return;
        if (!scrollTo(v)) {
            m_scrolling = true;
            m_scroll->setValue(m_top);
            m_scrolling = false;
        }
    });
    rowsBox->addWidget(m_scroll);
    box->addLayout(rowsBox);

    auto* buttons = new QHBoxLayout;
    auto* saveBtn = new QPushButton(QStringLiteral("Save"), this);
    m_saveAsNew = new QPushButton(QStringLiteral("Save As New"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_saveAsNew->setEnabled(!map.m_name.empty());
    connect(saveBtn, &QPushButton::clicked, this, [this] { save(Saved); });
    connect(m_saveAsNew, &QPushButton::clicked, this, [this] { save(SavedAsNew); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch(1);
    for (QPushButton* b : {saveBtn, m_saveAsNew, cancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    box->addLayout(buttons);
    fillRows();
}

void CColorMapEditDlg::fillRows()
{
    for (int r = 0; r < kColorMapVisibleRows; ++r) {
        const VesColorMapRad& b = m_work[static_cast<std::size_t>(m_top + r)];
        const Row& w = m_rows[static_cast<std::size_t>(r)];
        w.number->setText(QString::asprintf("%02d", m_top + r + 1));
        setDb(w.from, b.m_dbFrom);
        setDb(w.to, b.m_dbTo);
        setDb(w.step, b.m_dbStep);
        w.count->setValue(b.m_count);
        w.colFrom->setColorRef(b.m_colFrom);
        w.colTo->setColorRef(b.m_colTo);
    }
}

void CColorMapEditDlg::leftField(int r, BandField field)
{
    const Row& w = m_rows[static_cast<std::size_t>(r)];
    const NumEditRead v[] = {w.from->read(), w.to->read(), w.step->read(), w.count->read()};
    for (const NumEditRead& x : v)
        if (!x.ok())
            return;
    VesColorMapRad b = m_work[static_cast<std::size_t>(m_top + r)];
    b.m_dbFrom = static_cast<std::int32_t>(v[0].value);
    b.m_dbTo = static_cast<std::int32_t>(v[1].value);
    b.m_dbStep = static_cast<std::int32_t>(v[2].value);
    b.m_count = static_cast<std::int32_t>(v[3].value);
    normalizeColorMapBand(b, field);
    setDb(w.from, b.m_dbFrom);
    setDb(w.to, b.m_dbTo);
    setDb(w.step, b.m_dbStep);
    w.count->setValue(b.m_count);
}

bool CColorMapEditDlg::takeVisibleRows()
{
    for (int r = 0; r < kColorMapVisibleRows; ++r) {
        const Row& w = m_rows[static_cast<std::size_t>(r)];
        VesColorMapRad b = m_work[static_cast<std::size_t>(m_top + r)];
        b.m_colFrom = w.colFrom->colorRef();
        b.m_colTo = w.colTo->colorRef();
        std::int64_t v[4] = {};
        CNumEdit* edits[] = {w.from, w.to, w.step, w.count};
        for (int k = 0; k < 4; ++k)
            if (!edits[k]->readValue(v[k]))
                return false;
        b.m_dbFrom = static_cast<std::int32_t>(v[0]);
        b.m_dbTo = static_cast<std::int32_t>(v[1]);
        b.m_dbStep = static_cast<std::int32_t>(v[2]);
        b.m_count = static_cast<std::int32_t>(v[3]);
        const std::string msg = checkColorMapRow(b);
        if (!msg.empty()) {
            CNumEdit::showMessage(this, msg);
            w.to->setFocus();
            return false;
        }
        // The edits of the row are kept whether or not the view moves on.
        m_work[static_cast<std::size_t>(m_top + r)] = b;
    }
    return true;
}

bool CColorMapEditDlg::scrollTo(int position)
{
    position = std::clamp(position, 0, kColorMapMaxTopRow);
    if (position == m_top)
        return true;
    if (!takeVisibleRows())
        return false;
    m_top = position;
    fillRows();
    m_scrolling = true;
    m_scroll->setValue(m_top);
    m_scrolling = false;
    return true;
}

bool CColorMapEditDlg::save(Result how)
{
    if (!takeVisibleRows())
        return false;
    if (colorMapStoredName(m_name->text().toStdString()).empty()) {
        CNumEdit::showMessage(this, "Name may not be blank!");
        return false;
    }
    done(how);
    return true;
}

VesColorMap CColorMapEditDlg::storedMap() const
{
    VesColorMap m = m_map;
    storeColorMapRows(m, m_work, m_name->text().toStdString(), colorMapTimeNow());
    return m;
}

// ---------------------------------------------------------------------------

CUserColorMapsDlg::CUserColorMapsDlg(IColorMapStore& maps, QWidget* parent) : QDialog(parent), m_maps(maps)
{
    setWindowTitle(QStringLiteral("User defined color mappings"));
    setAccessibleName(windowTitle());
    auto* box = new QHBoxLayout(this);
    m_list = new QListWidget(this);
    m_list->setAccessibleName(QStringLiteral("User color maps"));
    for (const VesColorMap& m : m_maps.userColorMaps())
        m_list->addItem(QString::fromStdString(m.m_name));
    box->addWidget(m_list, 1);
    auto* col = new QVBoxLayout;
    auto* ret = new QPushButton(QStringLiteral("Return"), this);
    m_change = new QPushButton(QStringLiteral("Change"), this);
    auto* add = new QPushButton(QStringLiteral("New"), this);
    m_delete = new QPushButton(QStringLiteral("Delete"), this);
    for (QPushButton* b : {ret, m_change, add, m_delete}) {
        b->setAccessibleName(b->text());
        col->addWidget(b);
    }
    col->addStretch(1);
    box->addLayout(col);
    connect(ret, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_change, &QPushButton::clicked, this, &CUserColorMapsDlg::change);
    connect(add, &QPushButton::clicked, this, &CUserColorMapsDlg::newMap);
    connect(m_delete, &QPushButton::clicked, this, &CUserColorMapsDlg::deleteMap);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &CUserColorMapsDlg::updateButtons);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CUserColorMapsDlg::change);
    m_change->setEnabled(false);
    m_delete->setEnabled(false);
}

void CUserColorMapsDlg::updateButtons()
{
    const bool any = !m_list->selectedItems().isEmpty();
    m_change->setEnabled(any);
    m_delete->setEnabled(any);
}

void CUserColorMapsDlg::change()
{
    std::vector<VesColorMap>& maps = m_maps.userColorMaps();
    const int i = m_list->currentRow();
    if (i < 0 || static_cast<std::size_t>(i) >= maps.size() || m_list->selectedItems().isEmpty()) {
        QApplication::beep();
        return;
    }
    CColorMapEditDlg editor(maps[static_cast<std::size_t>(i)], this);
    const int how = editor.exec();
    if (how == CColorMapEditDlg::Cancelled)
        return;
    const VesColorMap stored = editor.storedMap();
    if (how == CColorMapEditDlg::Saved) {
        maps[static_cast<std::size_t>(i)] = stored;
        m_list->item(i)->setText(QString::fromStdString(stored.m_name));
    } else {
        maps.push_back(stored);
        m_list->addItem(QString::fromStdString(stored.m_name));
    }
    m_maps.saveUserColorMaps();
}

void CUserColorMapsDlg::newMap()
{
    CColorMapEditDlg editor(VesColorMap{}, this);
    if (editor.exec() == CColorMapEditDlg::Cancelled)
        return;
    const VesColorMap stored = editor.storedMap();
    m_maps.userColorMaps().push_back(stored);
    m_list->addItem(QString::fromStdString(stored.m_name));
    m_maps.saveUserColorMaps();
}

void CUserColorMapsDlg::deleteMap()
{
    std::vector<VesColorMap>& maps = m_maps.userColorMaps();
    const int i = m_list->currentRow();
    if (i < 0 || static_cast<std::size_t>(i) >= maps.size() || m_list->selectedItems().isEmpty()) {
        QApplication::beep();
        return;
    }
    maps.erase(maps.begin() + i);
    delete m_list->takeItem(i);
    m_maps.saveUserColorMaps();
    updateButtons();
}
