#include "display/CMeasureWnd.h"

#include "document/CVesSoundDoc.h"
#include "print/PaintedPicture.h"
#include "print/PictureClipboard.h"
#include "print/PicturePrinting.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// What screen readers see of a measurement window: a window of its own,
// named by its title (which says what it shows), described by its kind.
class MeasureWndAccessible : public QAccessibleWidget {
public:
    explicit MeasureWndAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Window) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return widget()->windowTitle();
        if (t == QAccessible::Description)
            return widget()->accessibleName();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* measureWndFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("CMeasureWnd") && object && object->isWidgetType())
        return new MeasureWndAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

CMeasureWnd::CMeasureWnd(CVesSoundDoc& doc, int slot, const QString& title, const QString& accessibleName, QSize size,
                         const QString& menuName, QWidget* parent)
    : QWidget(parent, Qt::Window), m_doc(doc), m_slot(slot), m_menuName(menuName)
{
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(measureWndFactory);
        return true;
    }();
    (void)accessibleInstalled;
    setWindowTitle(title);
    setAccessibleName(accessibleName);
    setAttribute(Qt::WA_DeleteOnClose);
    setGeometry(80, 80, size.width(), size.height());
    m_commands.on(kCopy, [this](int) { copyPicture(); });
    m_commands.on(kCopyAscii, [this](int) { copyAscii(); }, [this](int, CommandState& s) { s.enabled = hasResult(); });
    m_commands.on(kPrint, [this](int) { vprint::runPrint(*m_picture, this, false); });
    m_commands.on(kPrintPreview, [this](int) { vprint::openPrintPreview(m_picture, this); });
    m_commands.on(kSettingsCurrent, [this](int) { editSettings(); });
    m_commands.on(kContinuousUpdate, [this](int) {
        continuousUpdate() = !continuousUpdate();
        recalculate();
    }, [this](int, CommandState& s) { s.checked = continuousUpdate(); });
}

CMeasureWnd::~CMeasureWnd()
{
    m_closed = true;
    m_job.stop();
}

void CMeasureWnd::setPlot(QWidget* plot, const std::vector<CommandMenuItem>& ownRows)
{
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(plot);
    m_menuRows = {{kCopy, "Copy", false},
                  {kCopyAscii, "Copy Ascii", false},
                  {kPrint, "Print", false},
                  {0, nullptr, false},
                  {kSettingsCurrent, "Settings - Current diagram", false},
                  {kContinuousUpdate, "Continuous update", true}};
    m_menuRows.insert(m_menuRows.end(), ownRows.begin(), ownRows.end());
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot, &QWidget::customContextMenuRequested, this,
            [this, plot](const QPoint& at) { showContextMenu(plot->mapToGlobal(at)); });
    m_picture = std::make_shared<vprint::PaintedPicture>(
        plot, [this](QPainter& p, const QRectF& target, double unitsPerTwip) { paintPicture(p, target, unitsPerTwip); },
        [this] { return windowPageTexts(QString::fromStdString(m_doc.title()), windowTitle()); });
}

void CMeasureWnd::addMenuRowAfter(int after, const CommandMenuItem& row)
{
    auto it = std::find_if(m_menuRows.begin(), m_menuRows.end(), [after](const CommandMenuItem& r) { return r.id == after; });
    m_menuRows.insert(it == m_menuRows.end() ? it : it + 1, row);
}

void CMeasureWnd::showContextMenu(const QPoint& globalPos)
{
    execCommandMenu(this, m_menuName, m_commands, m_menuRows, globalPos);
}

bool CMeasureWnd::followSelection(std::int64_t first, std::int64_t last, ChannelSel channel)
{
    if (!continuousUpdate())
        return false;
    setRange(first, last, channel);
    return true;
}

void CMeasureWnd::stopCalculation()
{
    ++m_run;  // whatever the job still posts belongs to a run that is over
    if (!m_job.active())
        return;
    m_job.stop();
    m_done = nullptr;
    calculationStopped();
}

bool CMeasureWnd::startJob(vkit::BackgroundJob::Work work, std::function<bool()> done)
{
    m_job.stop();
    const std::uint64_t run = ++m_run;
    m_done = std::move(done);
    // The window joins the job before it goes; Qt drops what was posted to it then.
    CMeasureWnd* self = this;
    const bool started = m_job.start(std::move(work), [self, run](bool stopped) {
        if (!stopped)
            QMetaObject::invokeMethod(self, [self, run] { self->onJobDone(run); }, Qt::QueuedConnection);
    });
    if (!started)
        m_done = nullptr;
    return started;
}

void CMeasureWnd::onJobDone(std::uint64_t run)
{
    // A completion of a run that has been replaced (or stopped) since.
    if (run != m_run || !m_job.active())
        return;
    m_job.join();
    const std::function<bool()> done = std::move(m_done);
    m_done = nullptr;
    if (done && done())
        emit calculated(m_slot);
}

QImage CMeasureWnd::pictureImage(const QSize& size) const
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintPicture(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return img;
}

bool CMeasureWnd::copyPicture()
{
    vprint::copyPictureToClipboard(*m_picture);
    return true;
}

bool CMeasureWnd::copyAscii()
{
    if (!hasResult())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::clipboard()->setText(QString::fromStdString(asciiText()));
    QApplication::restoreOverrideCursor();
    return true;
}

void CMeasureWnd::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_closed)
        emit activated(m_slot);
}

void CMeasureWnd::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        stopCalculation();
        windowClosing();
        emit closing(m_slot);
    }
    event->accept();
}
