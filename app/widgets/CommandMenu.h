// A window's own context menu built from its command handlers: one entry per
// item (a zero id is a separator), enabled and checked as the handlers say,
// running the command when chosen.
#pragma once

#include "commands/CommandRouter.h"

#include <QPoint>
#include <QString>

#include <vector>

class QWidget;

struct CommandMenuItem {
    int id;  // 0: a separator
    const char* text;
    bool checkable;
};

// Shows the menu at `globalPos` and waits for the choice.
void execCommandMenu(QWidget* parent, const QString& title, CommandHandlers& commands,
                     const std::vector<CommandMenuItem>& items, const QPoint& globalPos);
