#include "soundio/NidaqPlayCls.h"

#include "soundio/HspDialogs.h"
#include "soundio/NidaqPlayStatus.h"
#include "soundio/SoundDevices.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace {

// Hands the thread's messages to the dialog's thread, where the status
// dialog (while open) takes them.
class QueuedHspSink : public IHspSink {
public:
    explicit QueuedHspSink(NidaqPlayCls* dialog) : m_dialog(dialog) {}
    void hspMessage(HspMessage message, HspState code, std::string text) override
    {
        QMetaObject::invokeMethod(
            m_dialog,
            [dialog = m_dialog, message, code, t = QString::fromStdString(text)] {
                if (NidaqPlayStatus* s = dialog->statusDialog())
                    s->hspMessage(message, code, t);
            },
            Qt::QueuedConnection);
    }

private:
    NidaqPlayCls* m_dialog;
};

QPushButton* button(const char* text, QWidget* parent)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setAccessibleName(QString::fromUtf8(text));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

NidaqPlayCls::NidaqPlayCls(std::unique_ptr<IDaqCard> card, const std::string& note, QWidget* parent)
    : QDialog(parent), m_card(std::move(card))
{
    setWindowTitle(QStringLiteral("High-speed playback"));
    setObjectName(QStringLiteral("NidaqPlayCls"));
    setAccessibleName(QStringLiteral("High-speed playback"));
    m_sink = std::make_unique<QueuedHspSink>(this);
    m_worker = std::make_unique<NidaqPlayWorker>(*m_card, *m_sink);

    m_list = new QTreeWidget(this);
    m_list->setAccessibleName(QStringLiteral("Play list"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({QStringLiteral("File name "), QStringLiteral("Time "), QStringLiteral("Repeat # times "),
                             QStringLiteral("Sampl.freq "), QStringLiteral("File path ")});
    // Widths in dialog units: a quarter of the average character width each.
    const int dlu = std::max(1, fontMetrics().averageCharWidth()) ;
    const int widths[] = {80, 80, 80, 80, 500};
    for (int i = 0; i < 5; ++i)
        m_list->setColumnWidth(i, widths[i] * dlu / 4);

    m_freq = new QComboBox(this);
    m_freq->setEditable(true);
    m_freq->setAccessibleName(QStringLiteral("Sampl. freq"));
    m_freq->addItem(QString());
    for (const HspFrequencyChoice& c : hspFrequencyChoices())
        m_freq->addItem(QString::fromLatin1(c.text));
    m_freq->setCurrentIndex(0);
    m_repeat = new QSpinBox(this);
    m_repeat->setRange(1, 1000000);
    m_repeat->setValue(1);
    m_repeat->setAccessibleName(QStringLiteral("Repeat # times"));

    m_cardLabel = new QLabel(this);
    m_cardLabel->setAccessibleName(QStringLiteral("Card"));
    m_cardLabel->setWordWrap(true);
    QString cardText = QStringLiteral("Card: ") + QString::fromStdString(m_card->description());
    if (!note.empty())
        cardText += QStringLiteral("\n") + QString::fromStdString(note);
    m_cardLabel->setText(cardText);

    m_play = button("Play", this);
    m_add = button("Add file", this);
    m_read = button("Read file list", this);
    m_save = button("Save file list", this);
    m_remove = button("Remove file", this);
    m_close = button("Close", this);

    auto* fields = new QGridLayout;
    auto* freqLabel = new QLabel(QStringLiteral("Sampl. freq"), this);
    freqLabel->setBuddy(m_freq);
    auto* repeatLabel = new QLabel(QStringLiteral("Repeat # times"), this);
    repeatLabel->setBuddy(m_repeat);
    fields->addWidget(freqLabel, 0, 0);
    fields->addWidget(m_freq, 0, 1);
    fields->addWidget(repeatLabel, 1, 0);
    fields->addWidget(m_repeat, 1, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_play, m_add, m_read, m_save, m_remove, m_close})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addLayout(fields);
    auto* main = new QHBoxLayout;
    main->addWidget(m_list, 1);
    main->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(main, 1);
    layout->addWidget(m_cardLabel);
    resize(900, 420);

    connect(m_play, &QPushButton::clicked, this, [this] { play(); });
    connect(m_add, &QPushButton::clicked, this, [this] { addFiles(hspDialogs().openRecordings(this)); });
    connect(m_read, &QPushButton::clicked, this, [this] {
        const std::string path = hspDialogs().openPlayList(this);
        if (!path.empty())
            readFileList(path);
    });
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (m_rows.empty()) {
            message("No list of files to save!");
            return;
        }
        const std::string path = hspDialogs().savePlayList(this);
        if (!path.empty())
            saveFileList(path);
    });
    connect(m_remove, &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(m_close, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    updateButtons();
}

NidaqPlayCls::~NidaqPlayCls()
{
    // The thread ends before the card and the rows go.
    m_worker.reset();
}

void NidaqPlayCls::message(const std::string& text)
{
    hspDialogs().message(this, text);
}

void NidaqPlayCls::updateButtons()
{
    const bool idle = !m_worker->running();
    m_play->setEnabled(idle && !m_rows.empty());
    m_remove->setEnabled(idle && !m_list->selectedItems().isEmpty());
    m_add->setEnabled(idle);
    m_read->setEnabled(idle);
}

bool NidaqPlayCls::addEntry(const std::string& path, std::int64_t rateHz, std::int32_t repeat, bool fromList)
{
    const auto fail = [&](const std::string& why) {
        message(fromList ? "Error while reading file " + path + (why.empty() ? "" : "\n" + why) : why);
        return false;
    };
    if (repeat < 1)
        return fail("The repeat count must be at least 1.");
    if (rateHz < 0)
        return fail("The sampling frequency must be above 0.");
    DaqConvertOptions opt;
    opt.tempFolder = m_tempFolder;
    HspEntryResult r = makeHspEntry(path, opt);
    for (const std::string& w : r.warnings)
        message(w);
    if (!r.entry)
        return fail(r.error);
    std::int64_t rate = 0;
    if (rateHz > 0 && rateHz != r.entry->playbackRateHz) {
        switch (hspDialogs().askFrequency(this)) {
        case IHspDialogs::Frequency::Selected: rate = rateHz; break;
        case IHspDialogs::Frequency::File: break;
        case IHspDialogs::Frequency::Cancel: return false;
        }
    }
    setHspPlayback(*r.entry, rate, repeat);
    if (const std::string why = checkHspEntryForCard(*r.entry, *m_card); !why.empty())
        return fail(why);
    appendRow(r.entry);
    return true;
}

void NidaqPlayCls::appendRow(const std::shared_ptr<HspPlayEntry>& e)
{
    m_rows.push_back(e);
    auto* item = new QTreeWidgetItem(m_list);
    item->setText(0, QString::fromStdString(e->name));
    item->setText(1, QString::fromStdString(hspDurationText(e->durationUs())));
    item->setText(2, QString::fromStdString(hspRepeatText(e->repeat)));
    item->setText(3, QString::fromStdString(hspRateText(e->playbackRateHz)));
    item->setText(4, QString::fromStdString(e->path));
    updateButtons();
}

void NidaqPlayCls::clearRows()
{
    m_list->clear();
    m_rows.clear();
    updateButtons();
}

void NidaqPlayCls::addFiles(const std::vector<std::string>& paths)
{
    const std::int64_t f = parseHspFrequency(m_freq->currentText().toStdString());
    if (f < 0)
        return;
    for (const std::string& p : paths)
        addEntry(p, f, m_repeat->value(), false);
}

void NidaqPlayCls::readFileList(const std::string& path)
{
    if (!m_rows.empty()) {
        switch (hspDialogs().askClearOld(this)) {
        case IHspDialogs::Answer::Yes: clearRows(); break;
        case IHspDialogs::Answer::No: break;
        case IHspDialogs::Answer::Cancel: return;
        }
    }
    const PlayListRead list = readPlayListFile(path);
    if (!list.opened) {
        message("Unable to open file " + path);
        return;
    }
    for (const PlayListLine& l : list.lines)
        addEntry(l.path, l.rateHz, l.repeat, true);
    if (list.formatError)
        message(list.formatErrorText());
}

void NidaqPlayCls::saveFileList(const std::string& path)
{
    if (m_rows.empty()) {
        message("No list of files to save!");
        return;
    }
    std::vector<PlayListLine> lines;
    for (const auto& e : m_rows)
        lines.push_back(hspListLine(*e));
    std::string error;
    if (!writePlayListFile(path, lines, error))
        message(error);
}

void NidaqPlayCls::removeSelected()
{
    if (m_worker->running())
        return;
    std::set<int> rows;
    for (QTreeWidgetItem* item : m_list->selectedItems())
        rows.insert(m_list->indexOfTopLevelItem(item));
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        delete m_list->takeTopLevelItem(*it);
        m_rows.erase(m_rows.begin() + *it);
    }
    updateButtons();
}

void NidaqPlayCls::play()
{
    if (m_rows.empty() || m_worker->running())
        return;
    // Nothing plays unless the card can play every row.
    for (const auto& e : m_rows)
        if (const std::string why = checkHspEntryForCard(*e, *m_card); !why.empty()) {
            message(e->name + ": " + why);
            return;
        }
    if (!acquireSoundBusy())
        return;
    std::vector<std::shared_ptr<const HspPlayEntry>> list(m_rows.begin(), m_rows.end());
    if (!m_worker->start(std::move(list))) {
        releaseSoundBusy();
        message("Can't start replay (CreateThread failed)!");
        return;
    }
    updateButtons();
    NidaqPlayStatus status(*m_worker, this);
    m_status = &status;
    status.exec();
    m_worker->end();
    m_worker->join();
    m_status = nullptr;
    releaseSoundBusy();
    updateButtons();
}

void NidaqPlayCls::done(int result)
{
    // Closing stops the thread and lets every row (and its converted file) go.
    m_worker->end();
    m_worker->join();
    clearRows();
    QDialog::done(result);
}

void runHighSpeedPlayback(QWidget* parent, const DaqCardSettings& settings)
{
    std::string note;
    std::unique_ptr<IDaqCard> card = makeDaqCard(settings, note);
    NidaqPlayCls dlg(std::move(card), note, parent);
    dlg.exec();
}
