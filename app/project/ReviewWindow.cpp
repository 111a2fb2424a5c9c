#include "project/ReviewWindow.h"

#include "core/RegCls.h"
#include "display/PlotLayout.h"
#include "display/ViewPolicy.h"
#include "document/CVesSoundDoc.h"
#include "render/PlotExport.h"

#include <QCompleter>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

// Messages of the document that draws the pass end up in the status line.
class ReviewDocHost : public IDocHost {
public:
    std::string last;
    void message(const std::string& text) override { last = text; }
};

namespace {

constexpr int kMaxQuickLabels = 9;
// Shown around a pass, so that its first and last calls are not at the edges.
constexpr double kMarginMs = 20;

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

QString number(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

}  // namespace

PassPicture::PassPicture(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 160);
    setAccessibleName(tr("Pass spectrogram"));
}

void PassPicture::setPicture(const QImage& image, const QString& text)
{
    m_image = image;
    m_text = text;
    setAccessibleDescription(text);
    update();
}

void PassPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    if (!m_image.isNull())
        p.drawImage(QPoint(0, 0), m_image);
    else
        p.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, m_text);
    if (hasFocus()) {
        p.setPen(QPen(palette().highlight(), 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

ReviewWindow::ReviewWindow(Project& project, std::string root, review::RecordingFilter filter, OpenRecordingFn open,
                           QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_project(project),
      m_root(std::move(root)),
      m_filter(std::move(filter)),
      m_open(std::move(open)),
      m_docHost(std::make_unique<ReviewDocHost>())
{
    setWindowTitle(tr("Review passes"));
    setAccessibleName(tr("Review passes"));

    m_title = new QLabel(this);
    m_title->setAccessibleName(tr("Pass"));
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_picture = new PassPicture(this);
    auto* gapLabel = new QLabel(tr("Pass &gap:"), this);
    m_gap = new QSpinBox(this);
    m_gap->setAccessibleName(tr("Pass gap in milliseconds"));
    m_gap->setRange(10, 600000);
    m_gap->setSingleStep(100);
    m_gap->setSuffix(tr(" ms"));
    m_gap->setValue(static_cast<int>(m_passGapMs));
    m_gap->setToolTip(tr("Calls closer than this (end to start) belong to one pass"));
    gapLabel->setBuddy(m_gap);
    connect(m_gap, &QSpinBox::valueChanged, this, [this](int ms) { setPassGapMs(ms); });

    m_calls = new QTableWidget(0, 10, this);
    m_calls->setAccessibleName(tr("Calls of the pass"));
    m_calls->setHorizontalHeaderLabels({tr("Call"), tr("Start ms"), tr("Length ms"), tr("Fmax kHz"), tr("Fmin kHz"),
                                        tr("Fc kHz"), tr("Fk kHz"), tr("SNR dB"), tr("Automatic"), tr("Manual")});
    m_calls->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_calls->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_calls->verticalHeader()->hide();
    m_calls->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_calls->horizontalHeader()->setStretchLastSection(true);
    m_calls->verticalHeader()->setDefaultSectionSize(m_calls->fontMetrics().height() + 6);
    m_calls->setMaximumHeight(170);
    // The arrows move between passes, not rows: the table is read, not walked.
    m_calls->setFocusPolicy(Qt::NoFocus);

    m_autoLabel = new QLabel(this);
    m_autoLabel->setAccessibleName(tr("Automatic label"));
    m_manualLabel = new QLabel(this);
    m_manualLabel->setAccessibleName(tr("Manual label"));
    m_quickRow = new QLabel(this);
    m_quickRow->setAccessibleName(tr("Quick labels"));
    m_quickRow->setWordWrap(true);

    auto* codeLabel = new QLabel(tr("Species &code:"), this);
    m_code = new QLineEdit(this);
    m_code->setAccessibleName(tr("Species code"));
    m_code->setPlaceholderText(tr("type a code, Enter stores it"));
    codeLabel->setBuddy(m_code);
    connect(m_code, &QLineEdit::returnPressed, this, [this] {
        const std::string code = m_code->text().trimmed().toStdString();
        if (code.empty())
            return;
        if (label(code)) {
            m_code->clear();
            m_picture->setFocus();
        }
    });

    const auto button = [this](const QString& text, const QString& name, auto fn) {
        auto* b = new QPushButton(text, this);
        b->setAccessibleName(name);
        // The keys of the window do the same; buttons keep no focus so
        // that the arrows and letters always reach the review.
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, fn);
        return b;
    };
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(button(tr("← Previous"), tr("Previous pass"), [this] { previous(); }));
    buttons->addWidget(button(tr("Accept (A)"), tr("Accept the automatic label"), [this] { accept(); }));
    buttons->addWidget(button(tr("Noise (N)"), tr("Mark as noise"), [this] { noise(); }));
    buttons->addWidget(button(tr("Open recording (O)"), tr("Open the recording at the pass"), [this] { openRecording(); }));
    buttons->addWidget(button(tr("Next →"), tr("Next pass"), [this] { next(); }));

    m_status = new QLabel(this);
    m_status->setAccessibleName(tr("Status"));

    auto* code = new QHBoxLayout;
    code->addWidget(codeLabel);
    code->addWidget(m_code, 1);
    auto* labels = new QHBoxLayout;
    labels->addWidget(m_autoLabel, 1);
    labels->addWidget(m_manualLabel, 1);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(m_title, 1);
    top->addWidget(gapLabel);
    top->addWidget(m_gap);
    layout->addLayout(top);
    layout->addWidget(m_picture, 1);
    layout->addLayout(labels);
    layout->addWidget(m_calls);
    layout->addWidget(m_quickRow);
    layout->addLayout(code);
    layout->addLayout(buttons);
    layout->addWidget(m_status);
    setFocusProxy(m_picture);
    resize(820, 680);

    // The labels the project already uses, most common first, are the quick
    // labels and the code field's completions.
    std::vector<std::pair<std::int64_t, std::string>> used;
    std::vector<std::string> all;
    try {
        project.summary({SummaryKey::Species}, Project::kStoredPassGapMs, [&](const SummaryRow& r) {
            all.push_back(r.keys[0]);
            if (r.keys[0] != Project::kUnidentified && r.keys[0] != review::kNoiseLabel)
                used.emplace_back(-r.calls, r.keys[0]);
        });
    } catch (const std::exception& e) {
        say(qs(e.what()));
    }
    std::sort(used.begin(), used.end());
    for (const auto& [count, name] : used)
        if (static_cast<int>(m_quick.size()) < kMaxQuickLabels)
            m_quick.push_back(name);
    showQuickLabels();
    QStringList completions;
    for (const std::string& s : all)
        completions << qs(s);
    auto* completer = new QCompleter(completions, m_code);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_code->setCompleter(completer);
}

void ReviewWindow::showQuickLabels()
{
    QString row;
    for (std::size_t i = 0; i < m_quick.size(); ++i)
        row += QStringLiteral("%1 %2   ").arg(i + 1).arg(qs(m_quick[i]));
    m_quickRow->setText(row.isEmpty() ? tr("No labels yet: type a code (/).") : tr("Keys: ") + row);
}

ReviewWindow::~ReviewWindow() = default;

void ReviewWindow::setPassGapMs(double ms)
{
    if (ms == m_passGapMs)
        return;
    m_passGapMs = ms;
    {
        const QSignalBlocker block(m_gap);
        m_gap->setValue(static_cast<int>(ms));
    }
    // The pass that holds the first call shown, cut anew.
    if (m_pass)
        showPass(m_pass->rec.id, m_pass->firstNumber());
}

std::string ReviewWindow::userName()
{
    if (const QString user = qEnvironmentVariable("USER"); !user.isEmpty())
        return user.toStdString();
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        return pw->pw_name;
    return "unknown";
}

QString ReviewWindow::statusText() const
{
    return m_status->text();
}

void ReviewWindow::say(const QString& text)
{
    m_status->setText(text);
}

bool ReviewWindow::showFirst()
{
    try {
        present(review::nextPass(m_project, nullptr, m_filter, m_passGapMs, true));
    } catch (const std::exception& e) {
        say(qs(e.what()));
        return false;
    }
    if (!m_pass)
        say(tr("No pass to review with this filter."));
    return m_pass.has_value();
}

bool ReviewWindow::showPass(std::int64_t recordingId, int number)
{
    try {
        auto pass = review::passAt(m_project, recordingId, number, m_passGapMs);
        if (!pass)
            return false;
        present(std::move(pass));
    } catch (const std::exception& e) {
        say(qs(e.what()));
        return false;
    }
    return true;
}

bool ReviewWindow::next()
{
    if (!m_pass)
        return showFirst();
    try {
        auto pass = review::nextPass(m_project, &*m_pass, m_filter, m_passGapMs, true);
        if (!pass) {
            say(tr("This is the last pass."));
            return false;
        }
        present(std::move(pass));
    } catch (const std::exception& e) {
        say(qs(e.what()));
        return false;
    }
    return true;
}

bool ReviewWindow::previous()
{
    if (!m_pass)
        return false;
    try {
        auto pass = review::nextPass(m_project, &*m_pass, m_filter, m_passGapMs, false);
        if (!pass) {
            say(tr("This is the first pass."));
            return false;
        }
        present(std::move(pass));
    } catch (const std::exception& e) {
        say(qs(e.what()));
        return false;
    }
    return true;
}

bool ReviewWindow::store(const std::function<bool()>& decide, const QString& done)
{
    if (!m_pass)
        return false;
    const review::Pass decided = *m_pass;
    try {
        if (!decide())
            return false;
    } catch (const std::exception& e) {
        // A locked or read-only project: nothing was stored, the pass stays.
        say(tr("Not stored: %1").arg(qs(e.what())));
        return false;
    }
    emit labelsChanged();
    // On to the next pass; with a not-vetted filter the one decided drops out.
    const bool moved = next();
    if (!moved)
        showPass(decided.rec.id, decided.firstNumber());
    say(done + (moved ? QString() : tr(" — that was the last pass.")));
    return true;
}

bool ReviewWindow::accept()
{
    const QString label = m_pass ? qs(m_pass->autoLabel()) : QString();
    if (m_pass && label.isEmpty()) {
        say(tr("This pass has no automatic label to accept: give a code or N for noise."));
        return false;
    }
    return store(
        [this] {
            return review::acceptPass(m_project, *m_pass, userName(),
                                      QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString());
        },
        tr("Accepted %1 for %2.").arg(label, m_pass ? qs(m_pass->rec.path) : QString()));
}

bool ReviewWindow::label(const std::string& text)
{
    const bool stored = store(
        [this, text] {
            review::labelPass(m_project, *m_pass, text, userName(),
                              QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString());
            return true;
        },
        tr("Labelled %1 as %2.").arg(m_pass ? qs(m_pass->rec.path) : QString(), qs(text)));
    // A new species label gets the next free key.
    if (stored && text != review::kNoiseLabel && static_cast<int>(m_quick.size()) < kMaxQuickLabels &&
        std::find(m_quick.begin(), m_quick.end(), text) == m_quick.end()) {
        m_quick.push_back(text);
        showQuickLabels();
    }
    return stored;
}

bool ReviewWindow::openRecording()
{
    if (!m_pass || !m_open)
        return false;
    const std::string file = m_root.empty() ? m_pass->rec.path : m_root + "/" + m_pass->rec.path;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        projectDialogs().message(this, "The recording " + file + " is missing: it was moved or deleted since it "
                                       "was added to the project.");
        return false;
    }
    CallPlace place;
    place.startFrame = m_pass->calls.front().m.startFrame;
    place.endFrame = m_pass->calls.back().m.endFrame;
    place.lowHz = m_pass->calls.front().m.minFreqHz;
    place.highHz = m_pass->calls.front().m.maxFreqHz;
    for (const review::ReviewCall& c : m_pass->calls) {
        place.lowHz = std::min(place.lowHz, c.m.minFreqHz);
        place.highHz = std::max(place.highHz, c.m.maxFreqHz);
    }
    return m_open(file, place);
}

void ReviewWindow::present(std::optional<review::Pass> pass)
{
    m_pass = std::move(pass);
    m_calls->setRowCount(0);
    say({});
    if (!m_pass) {
        m_title->clear();
        m_autoLabel->clear();
        m_manualLabel->clear();
        m_picture->setPicture({}, tr("No pass to review."));
        return;
    }
    const review::Pass& p = *m_pass;
    m_title->setText(tr("%1 — night %2, site %3 — calls %4 to %5")
                         .arg(qs(p.rec.path), qs(p.rec.night), qs(p.rec.site))
                         .arg(p.firstNumber())
                         .arg(p.lastNumber()));
    const std::string autoLabel = p.autoLabel();
    double confidence = 0;
    int withAuto = 0;
    for (const review::ReviewCall& c : p.calls)
        if (c.autoLabel == autoLabel && !autoLabel.empty())
            confidence += c.autoConfidence, ++withAuto;
    m_autoLabel->setText(autoLabel.empty() ? tr("Automatic label: none")
                                           : tr("Automatic label: %1 (%2 of %3 calls, mean confidence %4)")
                                                 .arg(qs(autoLabel))
                                                 .arg(withAuto)
                                                 .arg(p.calls.size())
                                                 .arg(number(confidence / withAuto, 2)));
    const std::string manual = p.manualLabel();
    const review::ReviewCall& first = p.calls.front();
    m_manualLabel->setText(p.vetted() ? tr("Manual label: %1 (by %2, %3)")
                                            .arg(manual.empty() ? tr("mixed") : qs(manual), qs(first.vettedBy),
                                                 qs(first.vettedAt))
                                      : tr("Manual label: not vetted"));
    m_calls->setRowCount(static_cast<int>(p.calls.size()));
    for (int row = 0; row < static_cast<int>(p.calls.size()); ++row) {
        const review::ReviewCall& c = p.calls[static_cast<std::size_t>(row)];
        const QStringList cells = {QString::number(c.m.call),         number(c.m.startMs, 1),
                                   number(c.m.durationMs, 2),         number(c.m.maxFreqHz / 1000, 1),
                                   number(c.m.minFreqHz / 1000, 1),   number(c.m.charFreqHz / 1000, 1),
                                   number(c.m.kneeFreqHz / 1000, 1),  number(c.m.snrDb, 1),
                                   c.autoLabel.empty() ? QString() : QStringLiteral("%1 %2").arg(qs(c.autoLabel), number(c.autoConfidence, 2)),
                                   qs(c.manualLabel)};
        for (int col = 0; col < cells.size(); ++col)
            m_calls->setItem(row, col, new QTableWidgetItem(cells[col]));
    }
    render();
}

void ReviewWindow::render()
{
    if (!m_pass)
        return;
    const review::Pass& p = *m_pass;
    const std::string file = m_root.empty() ? p.rec.path : m_root + "/" + p.rec.path;
    if (m_docPath != file) {
        m_doc.reset();
        m_docPath = file;
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0) {
            m_picture->setPicture({}, tr("The recording %1 is missing: it was moved or deleted since it was added. "
                                         "Its calls and labels are kept.")
                                          .arg(qs(file)));
            return;
        }
        auto doc = std::make_unique<CVesSoundDoc>(*m_docHost);
        if (!doc->open(file)) {
            m_picture->setPicture({}, tr("The recording %1 cannot be read: %2").arg(qs(file), qs(m_docHost->last)));
            return;
        }
        m_doc = std::move(doc);
    }
    if (!m_doc)
        return;
    const QSize size = m_picture->size().expandedTo(QSize(320, 160));
    // The user's own view settings (colours, level threshold, contrast, FFT),
    // so that a pass looks as it does in the program's views.
    VesAnaParms parms;
    {
        const vkit::RegCls reg;
        parms.load(reg);
    }
    setViewPanes(parms, ViewKind::Spectrogram);
    const double rate = static_cast<double>(std::max<std::int64_t>(1, p.rec.rate));
    const std::int64_t margin = static_cast<std::int64_t>(kMarginMs / 1000 * rate);
    const std::int64_t length = m_doc->lengthFrames();
    const std::int64_t from = std::clamp<std::int64_t>(p.calls.front().m.startFrame - margin, 0, std::max<std::int64_t>(0, length - 1));
    std::int64_t to = 0;
    for (const review::ReviewCall& c : p.calls)
        to = std::max(to, c.m.endFrame);
    to = std::clamp<std::int64_t>(to + margin, from + 1, std::max<std::int64_t>(from + 1, length));
    parms.m_plotStart = from;
    parms.m_plotEnd = -1;
    parms.m_plotSize = std::max<std::int64_t>(1, m_doc->framesToRealMicros(to - from));
    const PlotDevice device = PlotDevice::fromScreen(size.width(), size.height(), 150000);
    const PlotLayout layout = PrepareLayout(parms, SoundInfo::of(*m_doc), device);
    QImage image = renderPlotImage(layout, *m_doc);
    if (!layout.channels.empty() && !layout.channels.front().freqPane.empty()) {
        const TwipsRect& pane = layout.channels.front().freqPane;
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        // Blue stands apart from every level colour of the built-in schemes.
        painter.setPen(QPen(QColor(0, 80, 230), 2));
        QFont font = painter.font();
        font.setBold(true);
        painter.setFont(font);
        for (const review::ReviewCall& c : p.calls) {
            const auto x = [&](std::int64_t frame) {
                return static_cast<int>(layout.toPixelsX(std::llround(layout.sampleToX(static_cast<double>(frame)))));
            };
            const auto y = [&](double hz) { return static_cast<int>(layout.toPixelsY(layout.frequencyToY(hz, pane))); };
            const QRect box = QRect(QPoint(x(c.m.startFrame), y(c.m.maxFreqHz)), QPoint(x(c.m.endFrame), y(c.m.minFreqHz)))
                                  .normalized()
                                  .adjusted(-2, -2, 2, 2);
            painter.drawRect(box);
            painter.drawText(box.topLeft() + QPoint(0, -3), QString::number(c.m.call));
        }
    }
    m_picture->setPicture(image, tr("Spectrogram of calls %1 to %2 of %3")
                                     .arg(p.firstNumber())
                                     .arg(p.lastNumber())
                                     .arg(qs(p.rec.path)));
}

void ReviewWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    render();
}

void ReviewWindow::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (key) {
    case Qt::Key_A:
    case Qt::Key_Space: accept(); return;
    case Qt::Key_N: noise(); return;
    case Qt::Key_O: openRecording(); return;
    case Qt::Key_Right:
    case Qt::Key_Down: next(); return;
    case Qt::Key_Left:
    case Qt::Key_Up: previous(); return;
    case Qt::Key_Slash: m_code->setFocus(); return;
    case Qt::Key_Escape:
        if (m_code->hasFocus()) {
            m_code->clear();
            m_picture->setFocus();
        } else {
            close();
        }
        return;
    default: break;
    }
    if (key >= Qt::Key_1 && key <= Qt::Key_9) {
        const auto i = static_cast<std::size_t>(key - Qt::Key_1);
        if (i < m_quick.size())
            label(m_quick[i]);
        else
            say(tr("No label has the key %1.").arg(i + 1));
        return;
    }
    QWidget::keyPressEvent(event);
}
