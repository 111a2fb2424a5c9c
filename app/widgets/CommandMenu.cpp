#include "widgets/CommandMenu.h"

#include <QAction>
#include <QMenu>

void execCommandMenu(QWidget* parent, const QString& title, CommandHandlers& commands,
                     const std::vector<CommandMenuItem>& items, const QPoint& globalPos)
{
    QMenu menu(parent);
    menu.setTitle(title);
    menu.setAccessibleName(title);
    for (const CommandMenuItem& it : items) {
        if (!it.id) {
            menu.addSeparator();
            continue;
        }
        QAction* a = menu.addAction(QString::fromLatin1(it.text));
        CommandState s;
        if (!commands.commandState(it.id, s))
            s.enabled = false;
        a->setEnabled(s.enabled);
        a->setCheckable(it.checkable);
        a->setChecked(s.checked);
        const int id = it.id;
        QObject::connect(a, &QAction::triggered, &menu, [&commands, id] { commands.runCommand(id); });
    }
    menu.exec(globalPos);
}
