#include "shell/StatusPanes.h"

#include "widgets/CRecStatus.h"

#include <QLabel>
#include <QStatusBar>

StatusPanes::StatusPanes(QStatusBar* bar) : QObject(bar)
{
    const auto make = [bar](const QString& name) {
        auto* l = new QLabel(bar);
        l->setAccessibleName(name);
        bar->addPermanentWidget(l);
        return l;
    };
    m_status = make(QStringLiteral("Status pane"));
    m_middle = make(QStringLiteral("Device pane"));
    m_format = make(QStringLiteral("Format pane"));
}

void StatusPanes::follow(CRecStatus* strip)
{
    if (strip == m_strip)
        return;
    disconnect(m_connection);
    m_strip = strip;
    if (strip)
        m_connection = connect(strip, &CRecStatus::textsChanged, this, &StatusPanes::refresh);
    refresh();
}

void StatusPanes::refresh()
{
    const CRecStatus* s = m_strip.data();
    m_status->setText(s && !s->statusText().isEmpty() ? s->statusText() + QStringLiteral("  ") : QString());
    m_middle->setText(s ? s->middleText() : QString());
    m_format->setText(s ? s->formatText() : QString());
}
