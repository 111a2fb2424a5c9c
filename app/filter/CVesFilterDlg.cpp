#include "filter/CVesFilterDlg.h"

#include "core/NumberText.h"
#include "filter/CFilterRespDlg.h"
#include "filter/FilterDefinitionFile.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

CVesFilterDlg::MessageSink& messageSink()
{
    static CVesFilterDlg::MessageSink sink = [](QWidget* parent, const std::string& text) {
        QMessageBox::warning(parent, "Vesperon", QString::fromStdString(text));
    };
    return sink;
}

CVesFilterDlg::FileChooser& fileChooser()
{
    static CVesFilterDlg::FileChooser chooser = [](QWidget* parent) {
        QFileDialog d(parent, "Filter definition file");
        d.setNameFilters({"Text Files (*.txt)", "Filter Files (*.flt)", "All Files (*)"});
        d.setDefaultSuffix("txt");
        d.setFileMode(QFileDialog::ExistingFile);
        return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().front() : QString();
    };
    return chooser;
}

const char* const kTypes[] = {"Butterworth", "Chebyshev type 1", "Elliptic", "User defined"};

QLineEdit* hzEdit(QWidget* parent, const QString& name)
{
    auto* e = new QLineEdit(parent);
    e->setValidator(new QIntValidator(0, 2000000000, e));
    e->setAccessibleName(name);
    e->setMaximumWidth(110);
    return e;
}

std::int32_t hzOf(const QLineEdit* e)
{
    std::int64_t v = 0;
    return vkit::parseInt64(e->text().toStdString(), v) && v >= 0 && v <= 2000000000 ? static_cast<std::int32_t>(v) : 0;
}

}  // namespace

void CVesFilterDlg::setMessageSink(MessageSink sink)
{
    messageSink() = std::move(sink);
}

void CVesFilterDlg::setDefinitionFileChooser(FileChooser chooser)
{
    fileChooser() = std::move(chooser);
}

FilterRecord& CVesFilterDlg::programRecord()
{
    static FilterRecord record = [] {
        FilterRecord r;
        r.typeName = filterTypeName(r.type);
        return r;
    }();
    return record;
}

CVesFilterDlg::CVesFilterDlg(const FilterRecord& record, double nyquistHz, QWidget* parent)
    : QDialog(parent), m_nyquistHz(nyquistHz), m_record(record)
{
    setWindowTitle("Time Domain Filter");
    setAccessibleName("Time Domain Filter");
    auto* top = new QVBoxLayout(this);

    auto* range = new QGroupBox("Filter range", this);
    auto* grid = new QGridLayout(range);
    m_bands = new QButtonGroup(this);
    const char* const labels[] = {"Lowpass   fc:", "Highpass   fc:", "Bandpass   fl:", "Bandstop   fl:"};
    m_lowPass = hzEdit(range, "Lowpass cut-off frequency");
    m_highPass = hzEdit(range, "Highpass cut-off frequency");
    m_bandPassLow = hzEdit(range, "Bandpass lower cut-off frequency");
    m_bandPassHigh = hzEdit(range, "Bandpass upper cut-off frequency");
    m_bandStopLow = hzEdit(range, "Bandstop lower cut-off frequency");
    m_bandStopHigh = hzEdit(range, "Bandstop upper cut-off frequency");
    QLineEdit* first[] = {m_lowPass, m_highPass, m_bandPassLow, m_bandStopLow};
    QLineEdit* second[] = {nullptr, nullptr, m_bandPassHigh, m_bandStopHigh};
    for (int b = 0; b < 4; ++b) {
        m_radio[b] = new QRadioButton(labels[b], range);
        m_radio[b]->setAccessibleName(QString(labels[b]).split(' ').front());
        m_bands->addButton(m_radio[b], b);
        grid->addWidget(m_radio[b], b, 0);
        grid->addWidget(first[b], b, 1);
        grid->addWidget(new QLabel("Hz", range), b, 2);
        if (second[b]) {
            grid->addWidget(new QLabel("fu:", range), b, 3);
            grid->addWidget(second[b], b, 4);
            grid->addWidget(new QLabel("Hz", range), b, 5);
        }
    }
    grid->setColumnStretch(6, 1);
    top->addWidget(range);

    auto* form = new QGridLayout;
    auto addRow = [&](int row, const char* label, QComboBox* box) {
        auto* l = new QLabel(label, this);
        l->setBuddy(box);
        box->setAccessibleName(label);
        form->addWidget(l, row, 0);
        form->addWidget(box, row, 1);
    };
    m_type = new QComboBox(this);
    for (const char* t : kTypes)
        m_type->addItem(t);
    m_order = new QComboBox(this);
    for (const char* o : {"2", "4", "6", "8"})
        m_order->addItem(o);
    m_ripple = new QComboBox(this);
    m_ripple->setEditable(true);
    for (const char* r : {"0.2 dB", "0.5 dB", "1 dB", "2 dB", "3 dB"})
        m_ripple->addItem(r);
    m_stopband = new QComboBox(this);
    m_stopband->setEditable(true);
    for (const char* s : {"-20 dB", "-30 dB", "-40 dB", "-50 dB", "-60 dB", "-70 dB"})
        m_stopband->addItem(s);
    addRow(0, "Filter type", m_type);
    addRow(1, "Filter order", m_order);
    addRow(2, "Passband ripple", m_ripple);
    addRow(3, "Stopband gain", m_stopband);
    form->setColumnStretch(2, 1);
    top->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_responseButton = buttons->addButton("Show Frequency Response", QDialogButtonBox::ActionRole);
    m_responseButton->setAccessibleName("Show Frequency Response");
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &CVesFilterDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_responseButton, &QPushButton::clicked, this, &CVesFilterDlg::showResponse);
    top->addWidget(buttons);

    // Cut-offs never set yet get frequencies that work on this recording.
    FilterRecord shown = record;
    const auto half = static_cast<std::int32_t>(std::min(nyquistHz / 2, 2e9));
    const auto low = static_cast<std::int32_t>(std::min(15000.0, nyquistHz / 4));
    if (shown.lowPassHz == 0)
        shown.lowPassHz = half;
    if (shown.highPassHz == 0)
        shown.highPassHz = low;
    if (shown.bandPassLowHz == 0 && shown.bandPassHighHz == 0) {
        shown.bandPassLowHz = low;
        shown.bandPassHighHz = half;
    }
    if (shown.bandStopLowHz == 0 && shown.bandStopHighHz == 0) {
        shown.bandStopLowHz = low;
        shown.bandStopHighHz = half;
    }
    fill(shown);
    connect(m_type, qOverload<int>(&QComboBox::currentIndexChanged), this, &CVesFilterDlg::typeChosen);
}

void CVesFilterDlg::fill(const FilterRecord& r)
{
    m_filling = true;
    const int typeIndex = m_type->findText(QString::fromStdString(r.typeName.empty() ? filterTypeName(r.type) : r.typeName));
    m_type->setCurrentIndex(typeIndex >= 0 ? typeIndex : 0);
    if (r.type == FilterType::UserDefined)
        m_loaded = r;
    m_lowPass->setText(QString::number(r.lowPassHz));
    m_highPass->setText(QString::number(r.highPassHz));
    m_bandPassLow->setText(QString::number(r.bandPassLowHz));
    m_bandPassHigh->setText(QString::number(r.bandPassHighHz));
    m_bandStopLow->setText(QString::number(r.bandStopLowHz));
    m_bandStopHigh->setText(QString::number(r.bandStopHighHz));
    const int orderIndex = m_order->findText(QString::number(r.order));
    if (orderIndex >= 0)
        m_order->setCurrentIndex(orderIndex);
    else
        m_order->setCurrentIndex(0);
    m_ripple->setEditText(QString::fromStdString(vkit::formatC("%2.1f db", r.rippleTenthDb / 10.0)));
    m_stopband->setEditText(QString::fromStdString(vkit::formatC("%d db", r.stopbandDb)));
    const int band = static_cast<int>(r.band);
    if (band >= 0 && band < 4)
        m_radio[band]->setChecked(true);
    m_filling = false;
    updateEnabling();
}

void CVesFilterDlg::updateEnabling()
{
    const FilterType t = filterTypeFromName(m_type->currentText().toStdString());
    const bool user = t == FilterType::UserDefined;
    for (QWidget* w : std::initializer_list<QWidget*>{m_lowPass, m_highPass, m_bandPassLow, m_bandPassHigh, m_bandStopLow,
                                                      m_bandStopHigh, m_order})
        w->setEnabled(!user);
    for (QRadioButton* r : m_radio)
        r->setEnabled(!user);
    m_ripple->setEnabled(t == FilterType::Chebyshev1 || t == FilterType::Elliptic);
    m_stopband->setEnabled(t == FilterType::Elliptic);
}

void CVesFilterDlg::typeChosen(int)
{
    updateEnabling();
    if (m_filling || filterTypeFromName(m_type->currentText().toStdString()) != FilterType::UserDefined)
        return;
    const QString path = fileChooser()(this);
    m_loaded = FilterRecord{};
    m_loaded.type = FilterType::UserDefined;
    m_loaded.order = 0;  // "OK" reports the order until a file is read
    if (path.isEmpty())
        return;
    const FilterDefinition d = readFilterDefinitionFile(path.toStdString());
    if (!d.ok) {
        message(d.message);
        return;
    }
    m_loaded.order = d.order;
    m_loaded.A = d.A;
    m_loaded.B = d.B;
}

bool CVesFilterDlg::collectAndDesign(FilterRecord& r, SosCascade& sections)
{
    r.typeName = m_type->currentText().toStdString();
    r.type = filterTypeFromName(r.typeName);
    if (r.type == FilterType::UserDefined) {
        r.order = m_loaded.order;
        r.A = m_loaded.A;
        r.B = m_loaded.B;
    } else {
        r.order = m_order->currentText().toInt();
    }
    std::int32_t v = 0;
    if (rippleFromText(m_ripple->currentText().toStdString(), v))
        r.rippleTenthDb = v;
    if (stopbandFromText(m_stopband->currentText().toStdString(), v))
        r.stopbandDb = v;
    const int band = m_bands->checkedId();
    r.band = band >= 0 ? static_cast<FilterBand>(band) : FilterBand::None;
    r.lowPassHz = hzOf(m_lowPass);
    r.highPassHz = hzOf(m_highPass);
    r.bandPassLowHz = hzOf(m_bandPassLow);
    r.bandPassHighHz = hzOf(m_bandPassHigh);
    r.bandStopLowHz = hzOf(m_bandStopLow);
    r.bandStopHighHz = hzOf(m_bandStopHigh);
    const FilterDesignResult d = designFilter(r, m_nyquistHz);
    if (!d.ok) {
        message(d.message);
        return false;
    }
    sections = d.sections;
    return true;
}

void CVesFilterDlg::accept()
{
    FilterRecord r = m_record;
    SosCascade s;
    if (!collectAndDesign(r, s))
        return;
    m_record = r;
    m_sections = s;
    QDialog::accept();
}

void CVesFilterDlg::showResponse()
{
    FilterRecord r = m_record;
    SosCascade s;
    if (!collectAndDesign(r, s))
        return;
    CFilterRespDlg dlg(s, m_nyquistHz, this);
    dlg.exec();
}

void CVesFilterDlg::message(const std::string& text)
{
    messageSink()(this, text);
}
