#include "display/CAnaSettingsDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>

CPlotSizeField::CPlotSizeField(QWidget* parent) : QWidget(parent)
{
    m_edit = new CNumEdit(plotSizeFormat(), this);
    m_edit->setAccessibleName(QStringLiteral("Milliseconds per plot"));
    m_up = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_down = new QToolButton(this);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setAutoRepeatDelay(400);
        b->setAutoRepeatInterval(100);
        b->setFixedWidth(20);
        connect(b, &QToolButton::pressed, this, [this] { m_held.start(); });
    }
    m_up->setAccessibleName(QStringLiteral("Longer plot"));
    m_down->setAccessibleName(QStringLiteral("Shorter plot"));
    connect(m_up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepBy(-1); });
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_edit, 1);
    row->addWidget(m_up);
    row->addWidget(m_down);
}

void CPlotSizeField::load(std::int64_t micros)
{
    m_loaded = micros;
    m_edit->setValue(micros);
}

std::int64_t CPlotSizeField::stepFor(std::int64_t loadedMicros, std::int64_t heldMs)
{
    static constexpr std::int64_t kSteps[] = {10, 500, 1000, 5000, 10000, 100000, 1000000};
    static constexpr std::int64_t kAfterMs[] = {0, 1000, 3000, 5000, 7000, 10000, 13000};
    const std::int64_t scale = loadedMicros < 1000 ? 1 : loadedMicros < 100000 ? 10 : 100;
    std::size_t i = 0;
    while (i + 1 < std::size(kSteps) && heldMs >= kAfterMs[i + 1])
        ++i;
    return kSteps[i] * scale;
}

void CPlotSizeField::stepBy(int direction)
{
    const NumEditRead r = readNumEdit(m_edit->text().toStdString(), NumEditFormat{3, INT64_MIN / 2, INT64_MAX / 2, true, false});
    const std::int64_t now = r.ok() ? r.value : m_loaded;
    const std::int64_t held = m_held.isValid() ? m_held.elapsed() : 0;
    const std::int64_t next = std::clamp<std::int64_t>(now + direction * stepFor(m_loaded, held), 1, kMaxPlotSizeMicros);
    m_edit->setValue(next);
}

// ---------------------------------------------------------------------------

CAnaSettingsDlg::CAnaSettingsDlg(const QString& title, const VesAnaParms& parms, std::int64_t rate, bool defaults,
                                 std::array<int, 3> msgs, QWidget* parent)
    : QDialog(parent), m_parms(parms), m_rate(rate), m_defaults(defaults), m_msgs(msgs)
{
    setWindowTitle(defaults ? title + QStringLiteral(" - Default values") : title);
    setAccessibleName(windowTitle());
    setModal(false);
    m_form = new QFormLayout;
    m_plotSize = new CPlotSizeField(this);
    m_form->addRow(QStringLiteral("Milliseconds per plot"), m_plotSize);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Apply | QDialogButtonBox::Cancel, this);
    connect(m_buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this, [this] { ok(); });
    connect(m_buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] { apply(); });
    connect(m_buttons->button(QDialogButtonBox::Cancel), &QPushButton::clicked, this, [this] { reject(); });
}

void CAnaSettingsDlg::finishLayout()
{
    auto* box = new QVBoxLayout(this);
    box->addLayout(m_form);
    box->addWidget(m_buttons);
    load(m_parms);
    refreshDerived();
}

QComboBox* CAnaSettingsDlg::combo(const QStringList& items, const QString& name)
{
    auto* c = new QComboBox;
    c->addItems(items);
    c->setAccessibleName(name);
    return c;
}

QSpinBox* CAnaSettingsDlg::addFontSizeRow()
{
    auto* box = new QSpinBox(this);
    box->setRange(1, 72);
    box->setAccessibleName(QStringLiteral("Font size"));
    form()->addRow(QStringLiteral("Font size"), box);
    return box;
}

QComboBox* CAnaSettingsDlg::addFrequencyGridRow()
{
    QComboBox* c = combo({}, QStringLiteral("Frequency grid"));
    c->addItem(QStringLiteral("None"), -1);
    c->addItem(QStringLiteral("1 / value"), 0);
    for (int i = 1; i <= 5; ++i)
        c->addItem(QStringLiteral("%1 / tick mark").arg(i), i);
    form()->addRow(QStringLiteral("Frequency grid"), c);
    return c;
}

QComboBox* CAnaSettingsDlg::addTimeGridRow(const QString& stepText)
{
    QComboBox* c = combo({}, QStringLiteral("Time grid"));
    c->addItem(QStringLiteral("None"), 0);
    for (int i = 1; i <= 5; ++i)
        c->addItem(stepText.arg(i), i);
    form()->addRow(QStringLiteral("Time grid"), c);
    return c;
}

QCheckBox* CAnaSettingsDlg::checkBox(const QString& text)
{
    auto* c = new QCheckBox(text, this);
    c->setAccessibleName(text.trimmed());
    return c;
}

void CAnaSettingsDlg::selectData(QComboBox* c, int value, const QString& text)
{
    int i = c->findData(value);
    if (i < 0) {
        c->addItem(text, value);
        i = c->count() - 1;
    }
    c->setCurrentIndex(i);
}

bool CAnaSettingsDlg::validated()
{
    VesAnaParms candidate = m_parms;
    if (!store(candidate, true))
        return false;
    const std::string msg = check(candidate);
    if (!msg.empty()) {
        CNumEdit::showMessage(this, msg);
        return false;
    }
    m_parms = candidate;
    return true;
}

bool CAnaSettingsDlg::apply()
{
    if (!validated())
        return false;
    emit viewMessage(m_msgs[1]);
    refreshDerived();
    return true;
}

bool CAnaSettingsDlg::ok()
{
    if (!validated())
        return false;
    m_closeSent = true;
    emit viewMessage(m_msgs[2]);
    return true;
}

void CAnaSettingsDlg::reject()
{
    if (!m_closeSent) {
        m_closeSent = true;
        emit viewMessage(m_msgs[0]);
    }
}

void CAnaSettingsDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    reject();
}
