#include "shell/CChildFrame.h"

#include "display/CVesAnaView.h"
#include "shell/CAppDocument.h"
#include "shell/CVesSoundApp.h"

#include <QCloseEvent>

CChildFrame::CChildFrame(CVesAnaView* view, QWidget* parent) : QMdiSubWindow(parent), m_view(view)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(view);
    setProperty("vesFrame", true);
}

CChildFrame* CChildFrame::of(const CVesAnaView* view)
{
    for (QWidget* w = view ? view->parentWidget() : nullptr; w; w = w->parentWidget())
        if (auto* f = qobject_cast<CChildFrame*>(w))
            return f;
    return nullptr;
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    CAppDocument& doc = CAppDocument::of(*m_view);
    if (doc.app().busy()) {
        event->ignore();
        return;
    }
    if (!doc.closing() && doc.views().size() == 1 && !doc.saveModified()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}
