#include "display/CAnaPlotAccessible.h"

#include "display/CAnaPlot.h"
#include "render/PlotPainter.h"

#include <QAccessibleWidget>
#include <QRectF>
#include <QPointer>
#include <QWindow>

#include <optional>
#include <vector>

namespace {

struct PaneEntry {
    QString name;
    QString description;
    QAccessible::Role role = QAccessible::Graphic;
    TwipsRect rect;
};

// The panes of the plot's current layout, top to bottom.
std::vector<PaneEntry> panesOf(const CAnaPlot& plot)
{
    std::vector<PaneEntry> out;
    const PlotLayout& L = plot.layout();
    const bool two = L.channels.size() > 1;
    for (const ChannelPanes& ch : L.channels) {
        const QString channel = two ? (ch.channel == ChannelIndex::Left ? QStringLiteral(" of the left channel")
                                                                        : QStringLiteral(" of the right channel"))
                                    : QString();
        if (!ch.oscPane.empty())
            out.push_back({QString::fromStdString(ch.oscTitle), QStringLiteral("Oscillogram") + channel,
                           QAccessible::Chart, ch.oscPane});
        if (!ch.freqPane.empty()) {
            const bool zc = L.showZeroCross;
            out.push_back({QString::fromStdString(ch.freqTitle),
                           (zc ? QStringLiteral("Zero-crossing analysis") : QStringLiteral("Spectrogram")) + channel,
                           QAccessible::Chart, ch.freqPane});
        }
        if (!ch.colourBar.empty())
            out.push_back({QStringLiteral("Colour bar") + channel, QStringLiteral("Levels of the spectrogram colours"),
                           QAccessible::Graphic, ch.colourBar});
    }
    return out;
}

class PaneAccessible : public QAccessibleInterface {
public:
    PaneAccessible(CAnaPlot* plot, int index) : m_plot(plot), m_index(index) {}

    bool isValid() const override { return m_plot && m_index < static_cast<int>(panesOf(*m_plot).size()); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_plot ? m_plot->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_plot.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        const std::optional<PaneEntry> p = entry();
        if (!p)
            return {};
        if (t == QAccessible::Name)
            return p->name;
        if (t == QAccessible::Description)
            return p->description;
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        const std::optional<PaneEntry> p = entry();
        const PlotPainter* painter = m_plot ? m_plot->painter() : nullptr;
        if (!p || !painter)
            return {};
        const QPointF a = painter->toDevice(static_cast<double>(p->rect.left), static_cast<double>(p->rect.top));
        const QPointF b = painter->toDevice(static_cast<double>(p->rect.right), static_cast<double>(p->rect.bottom));
        const QRect local = QRectF(a, b).normalized().toAlignedRect();
        return QRect(m_plot->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override
    {
        const std::optional<PaneEntry> p = entry();
        return p ? p->role : QAccessible::Graphic;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.readOnly = true;
        s.invisible = !m_plot || !m_plot->isVisible();
        return s;
    }

private:
    std::optional<PaneEntry> entry() const
    {
        if (!m_plot)
            return std::nullopt;
        std::vector<PaneEntry> panes = panesOf(*m_plot);
        if (m_index >= static_cast<int>(panes.size()))
            return std::nullopt;
        return panes[static_cast<std::size_t>(m_index)];
    }

    QPointer<CAnaPlot> m_plot;
    int m_index;
};

class PlotAccessible : public QAccessibleWidget {
public:
    explicit PlotAccessible(CAnaPlot* plot) : QAccessibleWidget(plot, QAccessible::Graphic) {}
    ~PlotAccessible() override
    {
        for (QAccessible::Id id : m_children)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return static_cast<int>(panesOf(*plot()).size()); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        // One interface per position, kept for the plot's life (Qt's cache owns it).
        while (static_cast<int>(m_children.size()) <= index)
            m_children.push_back(QAccessible::registerAccessibleInterface(
                new PaneAccessible(plot(), static_cast<int>(m_children.size()))));
        return QAccessible::accessibleInterface(m_children[static_cast<std::size_t>(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (std::size_t i = 0; i < m_children.size(); ++i)
            if (QAccessible::accessibleInterface(m_children[i]) == child)
                return static_cast<int>(i);
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i)
            if (QAccessibleInterface* c = child(i); c && c->rect().contains(x, y))
                return c;
        return nullptr;
    }

private:
    CAnaPlot* plot() const { return static_cast<CAnaPlot*>(widget()); }
    mutable std::vector<QAccessible::Id> m_children;
};

QAccessibleInterface* plotFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("CAnaPlot") && object && object->isWidgetType())
        return new PlotAccessible(static_cast<CAnaPlot*>(object));
    return nullptr;
}

}  // namespace

void installPlotAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(plotFactory);
        return true;
    }();
    (void)installed;
}
