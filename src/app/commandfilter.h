// The command table and the filter for commands from the core.
//
// Every command JexUI knows by name is one row of commands::table(): its group says what the
// filter (the notifier's HandleCmd, S by reference) does with it, its handler what the main
// window's HandleCmd runs. A command that opens a form is run as the form's registration says
// (forms::command); one that only a registration names is consumed. Commands known by a part of
// their text ("UI_OPEN:", "UI_HELP:", "NAV:") are no rows: the filter and HandleCmd look for
// those texts.
#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace jex {

class CommandQueue;
class frmMDI;

namespace commands {

enum class Group {
  Consumed,      // taken into JexUI's queue, S emptied
  Voices,        // as Consumed; the voices dialog's operation of that name (any case in HandleCmd)
  QueuedToo,     // queued, S left for the core as well
  WhileInFront,  // consumed only while JexUI is the foreground application (HELP)
  Own,           // JexUI's own: the filter leaves it to the core, HandleCmd runs it
};

struct Command {
  QString name;
  Group group;
  // Null: the form whose registration names the command runs it; without one, nothing runs.
  void (*run)(frmMDI& mainWindow, const QString& name);
};

// The table, defined beside the main window's operations (frmmdi_commands.cpp).
const QList<Command>& table();
// The row of name (exact); null when JexUI does not know it.
const Command* find(const QString& name);
// The group of a command from the core: its row's; Consumed for one that only a form's
// registration names; else Own (the core's, unless the filter knows it by its text).
Group groupOf(const QString& name);

}  // namespace commands

// mainWindow is localised again on "UI_LNGCHANGE".
void FilterCommand(QString& s, CommandQueue& queue, QWidget* mainWindow);

}  // namespace jex
